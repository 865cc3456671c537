#include "cli/MediumRoot.h"

#include "cli/UsageError.h"
#include "common/TessaroError.h"
#include "settings/DriveSetting.h"

#include <QCommandLineParser>
#include <QFileInfo>

QString mediumRoot(const QCommandLineParser& options, const DriveSetting& setting, const char* command)
{
    const bool drive = options.isSet(QStringLiteral("drive"));
    const bool root = options.isSet(QStringLiteral("root"));
    if (drive && root)
        throw UsageError(QStringLiteral("%1 takes --drive or --root, not both").arg(QLatin1String(command)));
    if (root) {
        const QString given = options.value(QStringLiteral("root"));
        if (given.isEmpty())
            throw UsageError(QStringLiteral("--root takes a folder; the empty name is none"));
        if (!QFileInfo::exists(given))
            throw TessaroError(
                QStringLiteral("Cannot read the folder %1: No such file or directory").arg(given));
        return QFileInfo(given).absoluteFilePath();
    }
    const QString found = setting.driveTable().rootOf(mediumLetter(options, setting));
    if (found.isEmpty())
        throw TessaroError(QStringLiteral("No disc in the drive"));
    return found;
}

QChar mediumLetter(const QCommandLineParser& options, const DriveSetting& setting)
{
    if (!options.isSet(QStringLiteral("drive")))
        return setting.ReadDriveSetting();
    const QString text = options.value(QStringLiteral("drive"));
    if (text.isEmpty() || !text.at(0).isLetter() || text.at(0).unicode() > 127 ||
        (text.size() > 1 && text.mid(1) != QLatin1String(":")))
        throw UsageError(QStringLiteral("--drive takes a drive letter"));
    return text.at(0).toLower();
}
