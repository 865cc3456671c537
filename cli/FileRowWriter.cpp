#include "cli/FileRowWriter.h"

#include "cli/FieldText.h"
#include "cli/JsonText.h"
#include "cli/Output.h"
#include "cli/UsageError.h"

#include <QCommandLineParser>
#include <QStringList>
#include <cstdio>

namespace
{
// RFC 4180: a field holding a comma, a quote or a line break is quoted, quotes doubled. The
// value itself stays exact: CSV is for programs, which need the names as they are.
QString csvField(const QString& value)
{
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) &&
        !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

FileRowWriter::FileRowWriter(const QCommandLineParser& options)
{
    int chosen = 0;
    for (const auto& [name, each] : {std::pair{"count", Form::Count}, std::pair{"csv", Form::Csv},
                                     std::pair{"json", Form::Json}, std::pair{"null", Form::Null}}) {
        if (options.isSet(QLatin1String(name))) {
            form_ = each;
            ++chosen;
        }
    }
    if (chosen > 1)
        throw UsageError(QStringLiteral("--count, --csv, --json and --null exclude each other"));
}

void FileRowWriter::begin()
{
    if (form_ == Form::Csv)
        Output::write(QStringLiteral("disc,file,date,size\r\n"));
}

void FileRowWriter::row(const QString& disc, const QString& path, const QString& name, const QString& date,
                        qint64 size)
{
    const QString bytes = QString::number(size);
    const QString file = path + name;
    switch (form_) {
    case Form::Count:
        break;
    case Form::Csv:
        Output::write(
            QStringList{csvField(disc), csvField(file), csvField(date), bytes}.join(QLatin1Char(',')) +
            QStringLiteral("\r\n"));
        break;
    case Form::Json:
        Output::line(JsonObject()
                         .text("disc", disc)
                         .text("uuid", uuids_.of(disc))
                         .text("path", path)
                         .text("name", name)
                         .text("date", date)
                         .number("size", size)
                         .line());
        break;
    case Form::Null:
        // One field, as xargs -0 takes it: the label, then the name from its first backslash.
        Output::write(disc + file + QChar(0));
        break;
    case Form::Tabs:
        Output::line(
            QStringList{fieldText(disc), fieldText(file), fieldText(date), bytes}.join(QLatin1Char('\t')));
    }
}

void FileRowWriter::end(qint64 found, bool quiet)
{
    if (form_ == Form::Count) {
        Output::line(QString::number(found));
        return;
    }
    // The count on standard error only once every row has arrived.
    Output::finish();
    if (!quiet)
        std::fprintf(stderr, "%lld files found\n", static_cast<long long>(found));
}
