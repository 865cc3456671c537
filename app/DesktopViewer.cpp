#include "app/DesktopViewer.h"

#include <QMimeDatabase>
#include <QProcess>

bool DesktopViewer::installedFor(const QString& file)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(file, QMimeDatabase::MatchExtension);
    // A viewer may be registered under any of the type's names (help files: x-chm).
    for (const QString& name : QStringList{type.name()} + type.aliases()) {
        QProcess query;
        query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), name});
        if (!query.waitForStarted(2000))
            return true;
        if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit)
            return true;
        if (!query.readAllStandardOutput().trimmed().isEmpty())
            return true;
    }
    return false;
}
