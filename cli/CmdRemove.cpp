#include "catalogue/Connection.h"
#include "catalogue/DiscStore.h"
#include "catalogue/Query.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/Output.h"
#include "common/TessaroError.h"

namespace
{
// Labels compare with the letters A to Z folded, as the catalogue compares text.
bool sameLabel(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        QChar x = a.at(i);
        QChar y = b.at(i);
        if (x >= QLatin1Char('a') && x <= QLatin1Char('z'))
            x = QChar(x.unicode() - 32);
        if (y >= QLatin1Char('a') && y <= QLatin1Char('z'))
            y = QChar(y.unicode() - 32);
        if (x != y)
            return false;
    }
    return true;
}
} // namespace

int cmdRemove(const CliContext& context)
{
    if (context.args.size() != 1)
        throw TessaroError(QStringLiteral("usage: remove LABEL"));
    const QString wanted = context.args.first();
    Connection connection;
    connection.connect(context.cataloguePath);
    Query work(connection);
    for (const DiscStore::DiscRow& disc : DiscStore::discRows(work)) {
        if (!sameLabel(disc.label(), wanted))
            continue;
        // Another program may remove the disc, and hand its id to a new one, after the list was read.
        if (!DiscStore::removeIfUnchanged(connection, work, disc))
            throw TessaroError(DiscStore::noLongerThere(disc.label()));
        Output::line(QStringLiteral("Removed ") + fieldText(disc.label()));
        return 0;
    }
    throw TessaroError(QStringLiteral("No disc %1 in the catalogue").arg(wanted));
}
