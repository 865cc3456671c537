#include "catalogue/Catalogue.h"
#include "catalogue/Transaction.h"
#include "cli/Commands.h"
#include "cli/FileRowWriter.h"
#include "cli/UsageError.h"
#include "search/DuplicateFinder.h"

#include <QCommandLineParser>

int cmdDuplicates(const CliContext& context)
{
    const QCommandLineParser& options = *context.options;
    qint64 minSize = 0;
    if (options.isSet(QStringLiteral("min-size"))) {
        bool ok = false;
        minSize = options.value(QStringLiteral("min-size")).toLongLong(&ok);
        if (!ok || minSize < 0)
            throw UsageError(QStringLiteral("--min-size takes a number of bytes, not '%1'")
                                 .arg(options.value(QStringLiteral("min-size"))));
    }
    FileRowWriter writer(options);
    context.catalogue.connect(context.cataloguePath, Connection::Access::ReadOnly);
    std::vector<DuplicateFinder::Copy> copies;
    {
        Transaction read(context.catalogue.connection(), Transaction::Kind::Deferred);
        if (writer.form() == FileRowWriter::Form::Count) {
            writer.end(DuplicateFinder::count(context.catalogue.connection(), minSize));
            return 0;
        }
        copies = DuplicateFinder::find(context.catalogue.connection(), minSize);
        writer.knowDiscs(context.catalogue);
    }
    writer.begin();
    for (const DuplicateFinder::Copy& copy : copies)
        writer.row(copy.disc, copy.path, copy.name, copy.date, copy.size);
    writer.end(qint64(copies.size()));
    return 0;
}
