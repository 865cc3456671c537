#include "app/WindowOptions.h"
#include "app/ui/MessageBoxes.h"
#include "app/ui/TessaroApplication.h"
#include "app/ui/UnMyForm.h"
#include "catalogue/AppPaths.h"
#include "catalogue/Catalogue.h"
#include "common/TessaroError.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    // Help and the version need no display: answered before the application opens one.
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words.append(QString::fromLocal8Bit(argv[i]));
    if (WindowOptions::asksForTextOnly(words)) {
        const bool help = words.contains(QLatin1String("-h")) || words.contains(QLatin1String("--help"));
        std::fputs(
            (help ? WindowOptions::helpText() : WindowOptions::versionText()).toLocal8Bit().constData(),
            stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    MessageBoxes messages;
    TessaroApplication app(argc, argv, messages);
    // Qt has taken its own options (-platform, -style, ...) out of the arguments by now.
    const WindowOptions options =
        WindowOptions::parse(app.arguments().mid(1), qEnvironmentVariable("TESSARO_CATALOGUE"));
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "tessaro: %s (see 'tessaro --help')\n", options.error.toLocal8Bit().constData());
        return 2;
    }
    const AppPaths paths = AppPaths::forThisProgram();
    paths.prepareFolders();
    if (options.catalogue.isEmpty()) {
        try {
            paths.createMissingCatalogue();
        } catch (const TessaroError& error) {
            // Connecting then fails and says so in the window; the reason goes to the log.
            std::fprintf(stderr, "tessaro: %s\n", error.message().toLocal8Bit().constData());
        }
    }
    // The one catalogue session, made before and ended after every window that uses it.
    Catalogue catalogue;
    TPersonalForm form(messages, catalogue,
                       options.catalogue.isEmpty() ? paths.catalogue() : options.catalogue, paths.settings());
    form.show();
    return app.exec();
}
