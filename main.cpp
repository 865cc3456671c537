#include "app/MessageBoxes.h"
#include "app/TessaroApplication.h"
#include "app/UnMyForm.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Connection.h"

int main(int argc, char* argv[])
{
    MessageBoxes messages;
    TessaroApplication app(argc, argv, messages);
    // The one catalogue session, made before and ended after every window that uses it.
    Catalogue catalogue;
    TPersonalForm form(messages, catalogue, Connection::defaultPath());
    form.show();
    return app.exec();
}
