#include "app/ui/MessageBoxes.h"
#include "app/ui/TessaroApplication.h"
#include "app/ui/UnMyForm.h"
#include "catalogue/AppPaths.h"
#include "common/TessaroError.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    MessageBoxes messages;
    TessaroApplication app(argc, argv, messages);
    const AppPaths paths = AppPaths::forThisProgram();
    paths.prepareFolders();
    try {
        paths.createMissingCatalogue();
    } catch (const TessaroError& error) {
        // Connecting then fails and says so in the window; the reason goes to the log.
        std::fprintf(stderr, "tessaro: %s\n", error.message().toLocal8Bit().constData());
    }
    TPersonalForm form(messages, paths.catalogue(), paths.settings());
    form.show();
    return app.exec();
}
