// libFuzzer target: arbitrary search criteria (pattern, disc label, extension, dates, name form)
// through the statement builder and the search engine on a small catalogue whose discs are answered from
// their search index (in pieces of every size, so that the pieces' filters are tried), by the
// statement alone, or (after a fuzzed file was added, with or without the triggers that drop
// its disc's index) by whichever the engine finds still exact. Every answer must equal what the statement
// itself returns. The one error allowed is SQLite's refusal of a pattern over 50,000 bytes, with its own
// words; any other error, a difference in the rows, a crash or a sanitizer report is a finding.
//
// Built and run by tools/fuzz.
#include "catalogue/Connection.h"
#include "catalogue/DiscStore.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"
#include "catalogue/Statement.h"
#include "catalogue/Statements.h"
#include "catalogue/searchindex/DiscIndexFeed.h"
#include "catalogue/searchindex/IndexBody.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "catalogue/searchindex/SearchPattern.h"
#include "common/TessaroError.h"
#include "search/SearchEngine.h"
#include "search/SearchStatement.h"

#include <QDir>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <memory>
#include <unistd.h>

namespace
{
const QString kTooComplex = QStringLiteral("LIKE or GLOB pattern too complex");

// What the run tried, printed when it ends.
struct Tally {
    long long searches = 0, rowsCompared = 0, refused = 0, withAddedFile = 0, reindexed = 0;
} tally;

struct Catalogue {
    QString path;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<Query> work;
    std::unique_ptr<SearchEngine> engine;
};

void addDisc(Query& work, qint64 id, const QString& type)
{
    work.execWith(Statements::InsertDisc, {{QStringLiteral("vid"), id},
                                           {QStringLiteral("vetichetta"), QStringLiteral("FUZZ")},
                                           {QStringLiteral("vtipo"), type},
                                           {QStringLiteral("vdata"), QStringLiteral("2024-01-01 00:00:00")}});
}

void addFile(Query& work, qint64 disc, const QString& path, const QString& name, qint64 size,
             const QString& date)
{
    const qint64 id = DiscStore::allocateFileId(work);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    work.execWith(Statements::InsertFile,
                  {{QStringLiteral("vid"), id},
                   {QStringLiteral("vid_cd"), disc},
                   {QStringLiteral("vnome"), name},
                   {QStringLiteral("vpath"), path},
                   {QStringLiteral("vestensione"), dot < 0 ? QString(QLatin1String("")) : name.mid(dot)},
                   {QStringLiteral("vdimensione"), size},
                   {QStringLiteral("vdata"), date}});
}

// Discs 1, 3, 7 and 12345 have a search index; 2 has none; 8 holds a NUL and 9 bytes that
// are not UTF-8, which no index takes.
Catalogue& catalogue()
{
    static Catalogue cat = [] {
        Catalogue c;
        char folder[] = "/tmp/tessaro-fuzz-XXXXXX";
        if (!mkdtemp(folder))
            std::abort();
        c.path = QString::fromLatin1(folder) + QStringLiteral("/archive.mdb");
        // Runs after the catalogue's connection has closed at exit.
        static QString remove;
        remove = QString::fromLatin1(folder);
        std::atexit([] {
            QDir(remove).removeRecursively();
            std::fprintf(
                stderr,
                "search_fuzz: %lld searches, %lld rows compared, %lld patterns over the limit refused, "
                "%lld searches after adding a file (%lld with the index rebuilt)\n",
                tally.searches, tally.rowsCompared, tally.refused, tally.withAddedFile, tally.reindexed);
        });
        Schema::createCatalogue(c.path);
        c.connection = std::make_unique<Connection>();
        c.connection->connect(c.path);
        c.work = std::make_unique<Query>(*c.connection);
        c.engine = std::make_unique<SearchEngine>(*c.connection);
        Query& work = *c.work;
        const QStringList paths = {QStringLiteral("\\"),
                                   QStringLiteral("\\docs\\"),
                                   QStringLiteral("\\Photos\\2005\\"),
                                   QStringLiteral("\\a\\b\\c\\"),
                                   QStringLiteral("\\100% sure\\"),
                                   QStringLiteral("\\under_score\\"),
                                   QStringLiteral("\\back\\slash\\"),
                                   QString::fromUtf8("\\\xc3\xbcn\xc3\xaf\\"),
                                   QStringLiteral("\\x\\")};
        const QStringList names = {QStringLiteral("report.doc"),
                                   QStringLiteral("Report.DOC"),
                                   QStringLiteral("a.jpg"),
                                   QStringLiteral("IMG_0001.JPG"),
                                   QStringLiteral("50%.txt"),
                                   QStringLiteral("a_b.txt"),
                                   QStringLiteral("star*.txt"),
                                   QStringLiteral("it's"),
                                   QStringLiteral("say \"hi\""),
                                   QStringLiteral("tab\there"),
                                   QStringLiteral("new\nline"),
                                   QStringLiteral(" lead"),
                                   QStringLiteral("trail "),
                                   QString::fromUtf8("\xe6\x97\xa5\xe6\x9c\xac.txt"),
                                   QString::fromUtf8("\xf0\x9f\x98\x80.png"),
                                   QStringLiteral("noext"),
                                   QStringLiteral(".hidden"),
                                   QStringLiteral("a.tar.gz"),
                                   QStringLiteral("x\\y.txt"),
                                   QString::fromUtf8("\xc3\x80\xc3\x89.TXT"),
                                   QStringLiteral("%"),
                                   QStringLiteral("_"),
                                   QStringLiteral("..."),
                                   QString::fromUtf8("\xef\xbf\xbd.bin"),
                                   QString::fromUtf8("\xe2\x84\xaa\xc5\xbf \xc3\x9f\xce\xa3.k")};
        const QStringList dates = {
            QStringLiteral("2020-01-01 00:00:00"), QStringLiteral("1969-12-31 23:59:59"),
            QStringLiteral("0001-01-01 00:00:00"), QStringLiteral("9999-12-31 23:59:59"),
            QStringLiteral("2038-01-19 04:14:08"), QStringLiteral("2020-02-30 10:00:00"),
            QStringLiteral("2021-03-28 02:30:00")};
        const QStringList oddDates = {QStringLiteral("garbage"), QString(QLatin1String("")),
                                      QStringLiteral("2020-01-01T00:00:00"), QStringLiteral("2020-1-1 0:0:0"),
                                      QStringLiteral("99999-01-01 00:00:00")};
        const qint64 sizes[] = {0, 1, -1, 5000000000LL, 9223372036854775807LL};
        c.connection->exec("BEGIN");
        addDisc(work, 1, QStringLiteral("C"));
        addDisc(work, 2, QStringLiteral("D"));
        addDisc(work, 3, QStringLiteral("C"));
        addDisc(work, 7, QStringLiteral("c"));
        addDisc(work, 8, QStringLiteral("D"));
        addDisc(work, 9, QStringLiteral("D"));
        addDisc(work, 12345, QStringLiteral("D"));
        int n = 0;
        for (const QString& path : paths)
            for (const QString& name : names) {
                for (qint64 disc : {1, 2})
                    addFile(work, disc, path, name, sizes[n % 5], dates[n % dates.size()]);
                ++n;
            }
        for (const QString& date : dates + oddDates)
            addFile(work, 3, QStringLiteral("\\dates\\"), date + QStringLiteral(".log"), 3, date);
        addFile(work, 7, QStringLiteral("\\"), QStringLiteral("lower type.txt"), 7, dates[0]);
        addFile(work, 8, QStringLiteral("\\"), QStringLiteral("nul") + QChar(0) + QStringLiteral("name.txt"),
                8, dates[0]);
        addFile(work, 12345, QStringLiteral("\\big\\"), QStringLiteral("high id.iso"), 9, dates[1]);
        c.connection->exec("insert into files (id, id_cd, nome, path, estensione, dimensione, data) values "
                           "((select max(id) + 1 from files), 9, cast(x'62ff61642e747874' as text), '\\', "
                           "'.txt', 10, '2020-01-01 00:00:00')");
        SearchIndex::indexMissing(*c.connection);
        // Pieces of a few entries, so that runs of a folder cross pieces and filters skip some.
        SearchIndex::indexDisc(*c.connection, 1, 5);
        SearchIndex::indexDisc(*c.connection, 3, 2);
        c.connection->exec("delete from search_index where id_cd = 2");
        c.connection->exec("COMMIT");
        return c;
    }();
    return cat;
}

// A string of the input, read as UTF-8 or as UTF-16 code units (lone surrogates and all).
QString text(FuzzedDataProvider& input, size_t maxBytes)
{
    const bool utf16 = input.ConsumeBool();
    const std::string bytes = input.ConsumeRandomLengthString(maxBytes);
    if (!utf16)
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * 2);
    return QString::fromStdU16String(units);
}

QDateTime moment(FuzzedDataProvider& input)
{
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return {};
    case 1:
        return QDateTime(
            QDate(input.ConsumeIntegralInRange<int>(-10000, 100000), input.ConsumeIntegral<int>(),
                  input.ConsumeIntegral<int>()),
            QTime(input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>()));
    default:
        return QDateTime(
            QDate(input.ConsumeIntegralInRange<int>(1, 9999), input.ConsumeIntegralInRange<int>(1, 12),
                  input.ConsumeIntegralInRange<int>(1, 28)),
            QTime(input.ConsumeIntegralInRange<int>(0, 23), input.ConsumeIntegralInRange<int>(0, 59),
                  input.ConsumeIntegralInRange<int>(0, 59)));
    }
}

// Patterns over SQLite's limit, or right at it, come from repeating the input's pattern.
QString stretched(const QString& pattern, int how)
{
    if (how == 0)
        return pattern;
    const QString piece = pattern.isEmpty() ? QStringLiteral("a") : pattern;
    const qsizetype pieceBytes = std::max<qsizetype>(1, piece.toUtf8().size());
    const QString out = piece.repeated(SearchPattern::kMaxBytes / pieceBytes + 1);
    if (how == 1)
        return out;
    // Exactly at the limit: ASCII only, so that characters and bytes agree.
    QString ascii;
    for (QChar c : out)
        ascii += c.unicode() < 128 && c.unicode() > 32 ? c : QLatin1Char('%');
    return ascii.left(SearchPattern::kMaxBytes);
}

// Control characters and NULs as \xHH, so that a finding prints whole.
QString visible(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\n'))
            out +=
                QStringLiteral("\\x") + QString::number(c.unicode(), 16).rightJustified(2, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

[[noreturn]] void finding(const char* what, const SearchStatement& statement, const QString& detail)
{
    std::fprintf(stderr, "FINDING: %s\n  statement: %s\n  pattern bytes: %lld\n  detail: %s\n", what,
                 qPrintable(statement.text()),
                 statement.pattern() ? static_cast<long long>(statement.pattern()->toUtf8().size()) : -1LL,
                 qPrintable(visible(detail.left(2000))));
    std::abort();
}

// A cataloguing run builds a disc's index from its rows in the order it writes them: that
// index (directory, pieces and postings) must be the stored one, built from the rows in the
// catalogue's order.
void checkFeed(Connection& connection, qint64 disc, quint32 pieceEntries)
{
    DiscIndexFeed feed;
    {
        Statement rows(connection, "select id, path, nome, estensione, dimensione, data from files "
                                   "where id_cd = ?1 order by id");
        rows.bind(1, disc);
        while (rows.step())
            feed.add(rows.integer(0), rows.text(1), rows.text(2), rows.text(3), rows.integer(4),
                     rows.text(5));
    }
    IndexBody::Builder builder(pieceEntries);
    if (!feed.fill(builder))
        return;
    Statement index(connection, "select generation, body from search_index where id_cd = ?1");
    index.bind(1, disc);
    const bool stored = index.step();
    const auto parts = builder.finish(disc, stored ? index.integer(0) : 0);
    if (!parts)
        return;
    QByteArray fed = parts->directory, body;
    for (const QByteArray& piece : parts->pieces)
        fed += piece;
    for (const auto& [key, posting] : parts->postings)
        fed += QByteArray::number(key) + posting;
    if (stored) {
        body = index.blob(1);
        Statement pieces(connection, "select body from search_index_piece where id_cd = ?1 order by piece");
        pieces.bind(1, disc);
        while (pieces.step())
            body += pieces.blob(0);
        Statement postings(connection,
                           "select trigram, pieces from search_trigram where id_cd = ?1 order by trigram");
        postings.bind(1, disc);
        while (postings.step())
            body += QByteArray::number(postings.integer(0)) + postings.blob(1);
    }
    if (fed != body) {
        std::fprintf(stderr,
                     "FINDING: the index built from the rows as written differs from the stored one\n");
        std::abort();
    }
}

QString row(const QString& cdid, const QString& file, qint64 size, const QString& date, const QString& ext)
{
    return QStringList{cdid, file, QString::number(size), date, ext}.join(QChar(0x1f));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Catalogue& cat = catalogue();
    FuzzedDataProvider input(data, size);

    SearchCriteria criteria;
    criteria.byDisc = input.ConsumeBool();
    criteria.byFile = input.ConsumeBool();
    criteria.byDateFrom = input.ConsumeBool();
    criteria.byDateTo = input.ConsumeBool();
    criteria.byExtension = input.ConsumeBool();
    const int stretch = input.ConsumeIntegralInRange<int>(0, 7);
    // None, a file and a new index, a file only, a file written without the triggers (which
    // only the stamp tells of), the same and another disc indexed again.
    const int change = input.ConsumeIntegralInRange<int>(0, 4);
    const auto pieceEntries = input.ConsumeIntegralInRange<quint32>(1, 300);
    criteria.discLabel = text(input, 64);
    criteria.extension = text(input, 64);
    criteria.dateFrom = moment(input);
    criteria.dateTo = moment(input);
    const QString addedPath = text(input, 256);
    const QString addedName = text(input, 256);
    const QString addedDate = text(input, 32);
    criteria.pattern = stretched(text(input, 4096), stretch < 2 ? stretch + 1 : 0);
    // A second extension, as a repeated --ext of the command line gives.
    if (input.ConsumeBool())
        criteria.moreExtensions.append(text(input, 64));
    // A name condition of the program's own, in any of its forms.
    if (input.ConsumeBool())
        criteria.name = NamePattern::Terms{
            NamePattern::Syntax(input.ConsumeIntegralInRange<int>(0, 2)),
            input.ConsumeBool() ? NamePattern::Scope::WholeName : NamePattern::Scope::Name, text(input, 256)};

    Connection& connection = *cat.connection;
    if (change > 0) {
        connection.exec("BEGIN");
        try {
            connection.setTriggersEnabled(change < 3);
            for (qint64 disc : {1, 2})
                addFile(*cat.work, disc, addedPath, addedName, qint64(size), addedDate);
            connection.setTriggersEnabled(true);
            if (change == 4)
                SearchIndex::indexDisc(connection, 3, pieceEntries);
            if (change == 1) {
                SearchIndex::indexDisc(connection, 1, pieceEntries);
                checkFeed(connection, 1, pieceEntries);
            }
        } catch (const TessaroError& error) {
            std::fprintf(stderr, "FINDING: adding a file failed: %s\n", qPrintable(error.message()));
            std::abort();
        }
    }

    const SearchStatement statement(criteria);
    const bool tooLong =
        statement.pattern() && statement.pattern()->toUtf8().size() > SearchPattern::kMaxBytes;
    QStringList fromEngine, fromStatement;
    QString engineError, statementError;
    try {
        const ResultSnapshot rows = cat.engine->run(statement);
        for (qsizetype i = 0; i < rows.rowCount(); ++i)
            fromEngine << row(rows.cdid(i), rows.file(i), rows.dimensione(i), rows.data(i),
                              rows.estensione(i));
    } catch (const TessaroError& error) {
        engineError = error.message();
    }
    try {
        Query plain(connection);
        for (plain.openWith(statement.text(), statement.params()); !plain.eof(); plain.next())
            fromStatement << row(plain.value(0).toString(), plain.value(1).toString(),
                                 plain.value(2).toLongLong(), plain.value(3).toString(),
                                 plain.value(4).toString());
    } catch (const TessaroError& error) {
        statementError = error.message();
    }
    if (change > 0)
        connection.exec("ROLLBACK");
    ++tally.searches;
    tally.withAddedFile += change > 0;
    tally.reindexed += change == 1;

    for (const QString& error : {engineError, statementError}) {
        if (!error.isEmpty() && !(error == kTooComplex && tooLong))
            finding("unexpected error", statement, error);
    }
    if (tooLong) {
        // The engine refuses such a pattern whatever the catalogue holds; the statement only
        // once a row reaches the comparison.
        if (engineError != kTooComplex)
            finding("a pattern over the limit was not refused", statement, QString());
        if (statementError.isEmpty() && !fromStatement.isEmpty())
            finding("the statement took a pattern over the limit", statement, QString());
        ++tally.refused;
        return 0;
    }
    std::sort(fromEngine.begin(), fromEngine.end());
    std::sort(fromStatement.begin(), fromStatement.end());
    if (fromEngine != fromStatement) {
        QString detail = QStringLiteral("engine %1 rows, statement %2 rows")
                             .arg(fromEngine.size())
                             .arg(fromStatement.size());
        for (const QString& r : fromEngine)
            if (!fromStatement.contains(r))
                detail += QStringLiteral("\n  only engine: ") + r;
        for (const QString& r : fromStatement)
            if (!fromEngine.contains(r))
                detail += QStringLiteral("\n  only statement: ") + r;
        finding("the engine and the statement disagree", statement, detail);
    }
    tally.rowsCompared += fromEngine.size();
    return 0;
}
