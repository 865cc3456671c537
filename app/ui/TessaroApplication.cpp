#include "app/ui/TessaroApplication.h"

#include "app/ui/BalloonHintFilter.h"
#include "common/IMessages.h"
#include "common/TessaroError.h"
#include "common/ui/Panels.h"
#include "common/ui/ProgramStyle.h"
#include "resources/Art.h"
#include "search/ui/ExtensionIcons.h"

#include <QIcon>

TessaroApplication::TessaroApplication(int& argc, char** argv, IMessages& messages)
    : QApplication(argc, argv), messages_(messages)
{
    // No display name: Qt would add it to every other window title, the frame of a "Confirm"
    // box included.
    setApplicationName(QStringLiteral("Tessaro"));
    setQuitOnLastWindowClosed(true);
    // First: a new style would bring its own palette.
    setStyle(new ProgramStyle);
    // The windows are laid out in fixed pixels for one small face and painted in fixed
    // colours; popups, menus and message boxes take them from here.
    setFont(Panels::windowFont());
    setPalette(Panels::windowPalette());
    setWindowIcon(QIcon(QString(Art::appIcon)));
    // Every themed icon, the message boxes' buttons included, comes from the same theme
    // from the first window on.
    ExtensionIcons::setUpIconTheme();
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
