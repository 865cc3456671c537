#include "bench/support/LocateDatabase.h"

#include "bench/support/ProcessTiming.h"
#include "catalogue/Connection.h"
#include "catalogue/Statement.h"

#include <QByteArray>
#include <QFile>

bool buildLocateDatabase(const QString& catalogue, const QString& database, const QString& build)
{
    const QString list = database + QStringLiteral(".paths");
    {
        Connection connection;
        connection.connect(catalogue);
        QFile out(list);
        if (!out.open(QIODevice::WriteOnly))
            return false;
        Statement rows(connection, "select path || nome from files");
        QByteArray line;
        while (rows.step()) {
            const std::string_view text = rows.text(0);
            line = QByteArray(text.data(), qsizetype(text.size()));
            line.replace('\\', '/');
            line.append('\n');
            if (out.write(line) != line.size()) {
                out.remove();
                return false;
            }
        }
    }
    const bool built = Timing::processMillis({build, QStringLiteral("-p"), QStringLiteral("-l"),
                                              QStringLiteral("no"), list, database}) >= 0;
    QFile::remove(list);
    return built;
}
