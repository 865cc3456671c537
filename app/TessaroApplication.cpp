#include "app/TessaroApplication.h"

#include "app/AppInfo.h"
#include "common/IMessages.h"
#include "common/TessaroError.h"

TessaroApplication::TessaroApplication(int& argc, char** argv, IMessages& messages)
    : QApplication(argc, argv), messages_(messages)
{
    setApplicationName(QStringLiteral("Tessaro"));
    setApplicationDisplayName(AppInfo::Title);
    setQuitOnLastWindowClosed(true);
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
