#include "app/ui/MessageBoxes.h"
#include "app/ui/TessaroApplication.h"
#include "app/ui/UnMyForm.h"
#include "catalogue/Connection.h"

int main(int argc, char* argv[])
{
    MessageBoxes messages;
    TessaroApplication app(argc, argv, messages);
    TPersonalForm form(messages, Connection::defaultPath());
    form.show();
    return app.exec();
}
