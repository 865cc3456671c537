#include "catalogue/Connection.h"
#include "catalogue/DiscLabel.h"
#include "catalogue/DiscStore.h"
#include "catalogue/Query.h"
#include "catalogue/Statements.h"
#include "catalogue/Transaction.h"
#include "cli/Commands.h"
#include "common/TessaroError.h"

#include <cstdio>

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
    // Both statements or neither: a failure must not leave a disc row without its files.
    Transaction transaction(connection);
    qint64 id = 0;
    QString label;
    work.openWith(Statements::DiscList);
    for (; !work.eof(); work.next()) {
        const QString candidate =
            discLabel(work.fieldAsString(QStringLiteral("tipo")), work.fieldAsInt(QStringLiteral("id")));
        if (sameLabel(candidate, wanted)) {
            id = work.fieldAsInt(QStringLiteral("id"));
            label = candidate;
            break;
        }
    }
    work.close();
    if (id <= 0)
        throw TessaroError(QStringLiteral("No disc %1 in the catalogue").arg(wanted));
    DiscStore::removeDisc(work, id);
    transaction.commit();
    std::printf("Removed %s\n", qPrintable(label));
    return 0;
}
