#include "app/TessaroApplication.h"

#include "app/AppInfo.h"
#include "app/BalloonHintFilter.h"
#include "common/IMessages.h"
#include "common/TessaroError.h"
#include "resources/Art.h"

#include <QFont>
#include <QIcon>

TessaroApplication::TessaroApplication(int& argc, char** argv, IMessages& messages)
    : QApplication(argc, argv), messages_(messages)
{
    setApplicationName(QStringLiteral("Tessaro"));
    setApplicationDisplayName(AppInfo::Title);
    setQuitOnLastWindowClosed(true);
    // The windows are laid out in fixed pixel positions for a small 8-point face.
    QFont face = font();
    face.setPointSize(8);
    setFont(face);
    setWindowIcon(QIcon(QString(Art::appIcon)));
    BalloonHintFilter::install();
}

bool TessaroApplication::notify(QObject* receiver, QEvent* event)
{
    QString text;
    try {
        return QApplication::notify(receiver, event);
    } catch (const TessaroError& error) {
        text = error.message();
    } catch (const std::exception& error) {
        text = QString::fromLocal8Bit(error.what());
    }
    messages_.showError(text);
    return false;
}
