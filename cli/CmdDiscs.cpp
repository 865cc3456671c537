#include "catalogue/Connection.h"
#include "catalogue/DiscLabel.h"
#include "catalogue/Query.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/Output.h"
#include "common/TessaroError.h"

int cmdDiscs(const CliContext& context)
{
    if (!context.args.isEmpty())
        throw TessaroError(QStringLiteral("discs takes no arguments"));
    Connection connection;
    connection.connect(context.cataloguePath);
    Query work(connection);
    work.openWith(
        QStringLiteral("select cd.id as id, cd.tipo as tipo, cd.etichetta as etichetta, cd.data as data,"
                       " (select count(*) from files where files.id_cd = cd.id) as files"
                       " from cd order by cd.id desc"));
    for (; !work.eof(); work.next()) {
        const QString line = QStringList{fieldText(discLabel(work.fieldAsString(QStringLiteral("tipo")),
                                                             work.fieldAsInt(QStringLiteral("id")))),
                                         fieldText(work.fieldAsString(QStringLiteral("etichetta"))),
                                         fieldText(work.fieldAsString(QStringLiteral("data"))),
                                         QString::number(work.fieldAsInt(QStringLiteral("files")))}
                                 .join(QLatin1Char('\t'));
        Output::line(line);
    }
    return 0;
}
