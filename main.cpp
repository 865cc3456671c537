#include "app/MessageBoxes.h"
#include "app/TessaroApplication.h"
#include "app/UnMyForm.h"
#include "catalogue/Connection.h"

int main(int argc, char* argv[])
{
    MessageBoxes messages;
    TessaroApplication app(argc, argv, messages);
    TPersonalForm form(messages, Connection::defaultPath());
    form.show();
    return app.exec();
}
