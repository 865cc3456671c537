#include "catalogue/DiscStore.h"
#include "catalogue/Query.h"
#include "catalogue/Statement.h"
#include "catalogue/Statements.h"
#include "catalogue/searchindex/DiscIndex.h"
#include "catalogue/searchindex/IndexBody.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "common/TessaroError.h"
#include "search/ResultModel.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"
#include "tests/support/SearchRows.h"
#include "tests/support/TestCatalogue.h"

#include <QAbstractItemModelTester>
#include <QRegularExpression>
#include <QtEndian>
#include <QtTest>

namespace
{
using SearchRows::plainRows;
using SearchRows::resultRows;
using SearchRows::row;

QStringList files(const ResultSet& result)
{
    QStringList names;
    for (qsizetype i = 0; i < result.rowCount(); ++i)
        names << result.rows().cdid(i) + result.rows().file(i);
    return names;
}

SearchCriteria byPattern(const QString& pattern)
{
    SearchCriteria c;
    c.byFile = true;
    c.pattern = pattern;
    return c;
}

const QString kDay = QStringLiteral("2021-03-28 ");

// The name forms as regular expressions: PCRE2's caseless matching of every script stands
// beside the program's own folding.
QRegularExpression expressionOf(const NamePattern::Terms& terms)
{
    const QList<uint> chars = terms.text.toUcs4();
    auto literal = [](uint c) { return QStringLiteral("\\x{%1}").arg(c, 0, 16); };
    QString re;
    if (terms.syntax == NamePattern::Syntax::Text)
        re = QStringLiteral(".*");
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const uint c = chars[i];
        if (terms.syntax == NamePattern::Syntax::Text)
            re += literal(c);
        else if (c == (terms.syntax == NamePattern::Syntax::Like ? '%' : '*'))
            re += QStringLiteral(".*");
        else if (c == (terms.syntax == NamePattern::Syntax::Like ? '_' : '?'))
            re += QLatin1Char('.');
        else if (terms.syntax == NamePattern::Syntax::Glob && c == '[' && chars.indexOf(']', i + 2) > i) {
            qsizetype j = i + 1;
            QString set = QStringLiteral("[");
            if (chars[j] == '!' || chars[j] == '^') {
                set += QLatin1Char('^');
                ++j;
            }
            const qsizetype close = chars.indexOf(']', j + 1);
            for (; j < close; ++j) {
                set += literal(chars[j]);
                if (j + 2 < close && chars[j + 1] == '-') {
                    set += QLatin1Char('-') + literal(chars[j + 2]);
                    j += 2;
                }
            }
            re += set + QLatin1Char(']');
            i = close;
        } else
            re += literal(c);
    }
    if (terms.syntax == NamePattern::Syntax::Text)
        re += QStringLiteral(".*");
    return QRegularExpression(QRegularExpression::anchoredPattern(re),
                              QRegularExpression::CaseInsensitiveOption |
                                  QRegularExpression::DotMatchesEverythingOption);
}

// Every file of the catalogue whose name (or folder and name) the expression matches, in the
// statement's order and form.
QStringList referenceRows(Connection& connection, const NamePattern::Terms& terms)
{
    const QRegularExpression expression = expressionOf(terms);
    Q_ASSERT(expression.isValid());
    QStringList rows;
    Query query(connection);
    for (query.openWith(
             QStringLiteral("select ") + Statements::DiscLabelExpression +
             QStringLiteral(", files.path, files.nome, files.dimensione, files.data, files.estensione "
                            "from cd, files where files.id_cd = cd.id order by cd.id, files.path, "
                            "files.nome"));
         !query.eof(); query.next()) {
        const QString path = query.value(1).toString();
        const QString name = query.value(2).toString();
        const QString text = terms.scope == NamePattern::Scope::WholeName ? path + name : name;
        if (expression.match(text).hasMatch())
            rows << row({query.value(0).toString(), path + name, query.value(3).toString(),
                         query.value(4).toString(), query.value(5).toString()});
    }
    return rows;
}
} // namespace

class SearchTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void noTickListsEveryFileInDiscFolderNameOrder();
    void fileFilterFollowsTheRules();
    void dayDiscAndExtensionFilters();
    void indexAnswersExactlyAsTheStatement_data();
    void indexAnswersExactlyAsTheStatement();
    void nameFormsFoldEveryScript_data();
    void nameFormsFoldEveryScript();
    void indexFiltersTrustOnlyLettersNothingElseFoldsTo();
    void snapshotKeepsItsRowsUntilTheNextSearch();
    void changedRowsAreNeverAnsweredFromAStaleIndex();
    void catalogueWithoutSearchIndexSearchesTheSame();
    void discCountsStayExactWhenRowsChange();
    void damagedIndexIsIgnored();
    void damagedDirectoryIsIgnored_data();
    void damagedDirectoryIsIgnored();
    void damagedPiecesAreIgnored_data();
    void damagedPiecesAreIgnored();
    void indexOfTheEarlierFormIsRead();
    void failedSearchLeavesTheResultClosed();
    void modelShowsTheRowsAsTheGridWants();
    void copiesAreTheSameNameAndSizeOnOtherDiscs_data();
    void copiesAreTheSameNameAndSizeOnOtherDiscs();

  private:
    // Discs 1 (C), 2 (D), 7 (D); disc 2 is left without a search index.
    void fill(TestCatalogue& cat);
    // Names in many scripts and cases on discs 1, 2 (without a search index) and 7.
    void fillNames(TestCatalogue& cat);
    // Indexes discs 1 and 7 again in pieces of `pieceEntries`.
    static void index(TestCatalogue& cat, quint32 pieceEntries);
    static void forgeRenamedIndex(TestCatalogue& cat, quint32 pieceEntries);
    static void expectAnswers(TestCatalogue& cat, bool answers);
};

void SearchTest::index(TestCatalogue& cat, quint32 pieceEntries)
{
    QVERIFY(SearchIndex::indexDisc(cat.connection, 1, pieceEntries));
    QVERIFY(SearchIndex::indexDisc(cat.connection, 7, pieceEntries));
}

void SearchTest::fill(TestCatalogue& cat)
{
    cat.addDisc(QStringLiteral("C"), QStringLiteral("ONE"), 1);
    cat.addDisc(QStringLiteral("D"), QStringLiteral("TWO"), 2);
    cat.addDisc(QStringLiteral("D"), QStringLiteral("SEVEN"), 7);
    struct F {
        qint64 disc;
        const char* path;
        const char* name;
        qint64 size;
        const char* date;
    };
    const F rows[] = {
        {7, "\\photos\\", "b.JPG", 10, "2021-03-28 00:00:00"},
        {1, "\\photos\\2005\\", "IMG_0001.jpg", 2048, "2005-06-01 12:30:00"},
        {1, "\\docs\\", "report.doc", 5, "2021-03-28 23:59:59"},
        {1, "\\Docs\\Reports\\", "q1.txt", 6, "2021-03-29 00:00:00"},
        {1, "\\", "README", 7, "2021-03-27 23:59:59"},
        {2, "\\", "a.jpg", 8, "2021-03-28 12:00:00"},
        {2, "\\music\\", "100% pure.mp3", 9, "1999-01-01 00:00:00"},
        {2, "\\music\\", "a_b.TXT", 11, "1999-01-01 00:00:01"},
        {7, "\\odd\\", "it's \"quoted\".txt", 12, "2010-10-10 10:10:10"},
        {7, "\\odd\\", "back\\slash.txt", 13, "2010-10-10 10:10:11"},
        {7, "\\odd\\", "  blanks  .txt", 14, "2010-10-10 10:10:12"},
        {7, "\\odd\\", "\xc3\xa9t\xc3\xa9.TXT", 15, "2010-10-10 10:10:13"},
        {7, "\\", "big.iso", 5000000000LL, "2030-01-01 00:00:00"},
    };
    for (const F& f : rows)
        cat.addFile(f.disc, QString::fromUtf8(f.path), QString::fromUtf8(f.name), f.size,
                    QString::fromLatin1(f.date));
    cat.addFile(99, QStringLiteral("\\"), QStringLiteral("orphan.jpg")); // no disc row: never found
    QVERIFY(SearchIndex::indexDisc(cat.connection, 1));
    QVERIFY(SearchIndex::indexDisc(cat.connection, 7));
}

void SearchTest::noTickListsEveryFileInDiscFolderNameOrder()
{
    TestCatalogue cat;
    fill(cat);
    ResultSet result(cat.connection);
    result.open(SearchStatement(SearchCriteria()));
    QVERIFY(result.active());
    QCOMPARE(result.rowCount(), cat.count(QStringLiteral("files")) - 1);
    const QStringList want = {
        "C0001\\README",
        "C0001\\docs\\report.doc",
        "C0001\\Docs\\Reports\\q1.txt",
        "C0001\\photos\\2005\\IMG_0001.jpg",
        "D0002\\a.jpg",
        "D0002\\music\\100% pure.mp3",
        "D0002\\music\\a_b.TXT",
        "D0007\\big.iso",
        "D0007\\odd\\  blanks  .txt",
        "D0007\\odd\\back\\slash.txt",
        "D0007\\odd\\it's \"quoted\".txt",
        "D0007\\odd\\\xc3\xa9t\xc3\xa9.TXT",
        "D0007\\photos\\b.JPG",
    };
    QCOMPARE(files(result), want);
    QCOMPARE(resultRows(result), plainRows(cat.connection, SearchStatement(SearchCriteria())));
    QCOMPARE(result.rows().dimensione(7), 5000000000LL);
}

void SearchTest::fileFilterFollowsTheRules()
{
    TestCatalogue cat;
    fill(cat);
    ResultSet result(cat.connection);
    auto find = [&](const QString& pattern) {
        result.open(SearchStatement(byPattern(pattern)));
        return files(result);
    };
    QCOMPARE(find(QStringLiteral("*.jpg")),
             QStringList({"C0001\\photos\\2005\\IMG_0001.jpg", "D0002\\a.jpg", "D0007\\photos\\b.JPG"}));
    QCOMPARE(find(QStringLiteral("report.doc")), QStringList()); // whole names begin with "\"
    QCOMPARE(find(QStringLiteral("\\docs\\report.doc")), QStringList({"C0001\\docs\\report.doc"}));
    QCOMPARE(find(QStringLiteral("*report*")),
             QStringList({"C0001\\docs\\report.doc", "C0001\\Docs\\Reports\\q1.txt"}));
    QCOMPARE(find(QStringLiteral("   ")), QStringList()); // the condition with an empty value
    QCOMPARE(find(QString()).size(), 13);                 // no condition at all
    QCOMPARE(find(QStringLiteral(" \t*report* \n")).size(), 2);
    QCOMPARE(find(QStringLiteral("*100%*")), QStringList({"D0002\\music\\100% pure.mp3"}));
    QCOMPARE(find(QStringLiteral("*a_b*")), QStringList({"D0002\\music\\a_b.TXT"}));
    QCOMPARE(find(QStringLiteral("*it's*")), QStringList({"D0007\\odd\\it's \"quoted\".txt"}));
    QCOMPARE(find(QStringLiteral("*\"quoted\"*")), QStringList({"D0007\\odd\\it's \"quoted\".txt"}));
    QCOMPARE(find(QStringLiteral("*\\slash*")), QStringList({"D0007\\odd\\back\\slash.txt"}));
    QCOMPARE(find(QStringLiteral("*  blanks  *")), QStringList({"D0007\\odd\\  blanks  .txt"}));
    QCOMPARE(find(QString::fromUtf8("*\xc3\xa9t\xc3\xa9*")),
             QStringList({QString::fromUtf8("D0007\\odd\\\xc3\xa9t\xc3\xa9.TXT")}));
    QCOMPARE(find(QString::fromUtf8("*\xc3\x89T\xc3\x89*")), QStringList()); // only A-Z ignore case
    QCOMPARE(find(QStringLiteral("*'; drop table files; --*")), QStringList());
    QCOMPARE(cat.count(QStringLiteral("files")), 14);
}

void SearchTest::dayDiscAndExtensionFilters()
{
    TestCatalogue cat;
    fill(cat);
    ResultSet result(cat.connection);
    SearchCriteria day;
    day.byDateFrom = day.byDateTo = true;
    day.dateFrom = QDateTime(QDate(2021, 3, 28), QTime(0, 0, 0));
    day.dateTo = QDateTime(QDate(2021, 3, 28), QTime(23, 59, 59));
    result.open(SearchStatement(day));
    QCOMPARE(files(result), QStringList({"C0001\\docs\\report.doc", "D0002\\a.jpg", "D0007\\photos\\b.JPG"}));

    SearchCriteria disc;
    disc.byDisc = true;
    disc.discLabel = QStringLiteral("D0007");
    result.open(SearchStatement(disc));
    QCOMPARE(result.rowCount(), 6);
    for (qsizetype i = 0; i < result.rowCount(); ++i)
        QCOMPARE(result.rows().cdid(i), QStringLiteral("D0007"));
    disc.discLabel = QStringLiteral("d0007");
    result.open(SearchStatement(disc));
    QCOMPARE(result.rowCount(), 6);
    disc.discLabel = QStringLiteral("C0007");
    result.open(SearchStatement(disc));
    QCOMPARE(result.rowCount(), 0);
    disc.discLabel = QStringLiteral("D0002"); // the disc without an index
    result.open(SearchStatement(disc));
    QCOMPARE(result.rowCount(), 3);

    SearchCriteria extension;
    extension.byExtension = true;
    extension.extension = QStringLiteral("txt");
    result.open(SearchStatement(extension));
    QCOMPARE(files(result).size(), 6); // .txt and .TXT alike
    extension.extension = QStringLiteral("JPG");
    result.open(SearchStatement(extension));
    QCOMPARE(files(result).size(), 3);
}

void SearchTest::indexAnswersExactlyAsTheStatement_data()
{
    QTest::addColumn<QString>("pattern");
    const char* patterns[] = {
        "*",
        "**",
        "?",
        "_",
        "\\",
        "\\*",
        "*\\",
        "*\\*",
        "*.jpg",
        "*.JPG",
        "*jpg",
        "\\photos\\*",
        "\\PHOTOS\\*.jpg",
        "\\photos\\*.jpg",
        "*photos*",
        "*o*",
        "*_*",
        "*%*",
        "*'*",
        "*\"*",
        "*a*b*",
        "*s\\r*",
        "*\\q1.txt",
        "\\docs\\report.doc",
        "\\docs\\report.do_",
        "_docs_report.doc",
        "*.t_t",
        "*o_*",
        "\\odd\\*",
        "*\\b*",
        "*ck\\sl*",
        "*ck\\sl",
        "*2005*",
        "*2005\\img*",
        "*img_0001*",
        "*img?0001*",
        "\\*\\*",
        "*ME",
        "README",
        "\\README",
        "*e*e*e*",
        "%",
        "*.",
        "*. ",
        "* *",
        "*  *",
        "*\xc3\xa9*",
        "*\xc3\x89*",
        "\\README*ME",
        "\\a.jpg*.jpg",
        "\\a*a.jpg",
        "\\*\\",
    };
    for (const char* p : patterns)
        QTest::newRow(p) << QString::fromUtf8(p).replace(QLatin1Char('?'), QLatin1Char('_'));
}

// The index, the plain statement and the statement run disc by disc must agree row for row,
// alone and together with every other filter, with the discs' entries in one piece each or in
// pieces so small that folders run across them and the postings pass over most, with the
// stamp holding or not.
void SearchTest::indexAnswersExactlyAsTheStatement()
{
    QFETCH(QString, pattern);
    TestCatalogue cat;
    fill(cat);
    ResultSet result(cat.connection);
    for (int others = 0; others < 48; ++others) {
        // The second half: a row written without the triggers to the disc without an index, so
        // that the stamp no longer holds and each index is counted against its disc's rows.
        if (others == 24) {
            cat.connection.setTriggersEnabled(false);
            cat.addFile(2, QStringLiteral("\\late\\"), QStringLiteral("README.txt"));
            cat.connection.setTriggersEnabled(true);
        }
        const int size = others / 8 % 3;
        if (others % 8 == 0)
            index(cat, size == 0 ? IndexBody::kPieceEntries : size * 2 - 1);
        SearchCriteria c = byPattern(pattern);
        c.byExtension = others & 1;
        c.extension = QStringLiteral("TXT");
        c.byDateFrom = others & 2;
        c.dateFrom = QDateTime(QDate(2005, 1, 1), QTime(0, 0, 0));
        c.byDateTo = others & 4;
        c.dateTo = QDateTime(QDate(2021, 3, 28), QTime(23, 59, 59));
        const SearchStatement statement(c);
        result.open(statement);
        QCOMPARE(resultRows(result), plainRows(cat.connection, statement));
    }
}

void SearchTest::fillNames(TestCatalogue& cat)
{
    cat.addDisc(QStringLiteral("C"), QStringLiteral("ONE"), 1);
    cat.addDisc(QStringLiteral("D"), QStringLiteral("TWO"), 2);
    cat.addDisc(QStringLiteral("D"), QStringLiteral("SEVEN"), 7);
    const char* names[] = {
        "\\docs\\report.pdf",
        "\\docs\\REPORT 2.PDF",
        "\\M\xc3\xbcsik\\\xc3\x89lan.mp3",
        "\\M\xc3\x9cSIK\\\xc3\xa9lan.MP3",
        "\\\xc3\x9c"
        "BER alles.ogg",
        "\\\xc3\xbc"
        "ber.txt",
        "\\\xe2\x84\xaa"
        "elvin.txt",
        "\\kelvin.txt",
        "\\Ma\xc5\xbf"
        "e.txt",
        "\\Stra\xc3\x9f"
        "e.doc",
        "\\STRASSE.doc",
        "\\\xce\xa3\xce\x9f\xce\xa6\xce\x99\xce\x91.txt",
        "\\\xcf\x83\xce\xbf\xcf\x86\xce\xb9\xce\xb1\xcf\x82.txt",
        "\\\xd0\x96\xd1\x83\xd0\xba.txt",
        "\\\xd0\xb6\xd1\x83\xd0\xba.TXT",
        "\\\xe5\xa0\xb1\xe5\x91\x8a.pdf",
        "\\[draft] 100% a_b.txt",
        "\\Readme",
        "\\a\\b\\c\\deep.txt",
    };
    int n = 0;
    for (const char* whole : names) {
        const QString text = QString::fromUtf8(whole);
        const qsizetype cut = text.lastIndexOf(QLatin1Char('\\')) + 1;
        // Each name on two discs: one answered from its index, one by the statement.
        for (const qint64 disc : {n % 2 ? qint64(1) : qint64(7), qint64(2)})
            cat.addFile(disc, text.left(cut), text.mid(cut), n, QStringLiteral("2021-03-28 10:00:00"));
        ++n;
    }
}

void SearchTest::nameFormsFoldEveryScript_data()
{
    QTest::addColumn<int>("syntax");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("found"); // on each disc's side
    using S = NamePattern::Syntax;
    const struct {
        S syntax;
        bool whole;
        const char* text;
        int found;
    } rows[] = {
        {S::Text, true, "report", 2},
        {S::Text, true, "\xc3\xa9lan", 2}, // élan: Élan and élan
        {S::Text, true,
         "\xc3\x9c"
         "BER",
         2},                          // ÜBER: über too
        {S::Text, true, "kelvin", 2}, // the Kelvin sign folds to k
        {S::Text, true,
         "\xe2\x84\xaa"
         "ELVIN",
         2},                                            // and k to it
        {S::Text, true, "ase.t", 1},                    // the long s folds to s
        {S::Text, true, "strasse", 1},                  // ß is not ss
        {S::Text, true, "\xcf\x83\xce\xbf\xcf\x86", 2}, // σοφ: ΣΟΦ too
        {S::Text, true, "\xcf\x82.t", 1},               // the final sigma folds as σ
        {S::Text, true, "\xd0\xb6\xd0\xa3\xd0\x9a", 2},
        {S::Text, true, "sik\\\xc3\xa9", 2}, // from the folder into the name
        {S::Text, true, "c\\dee", 1},
        {S::Text, true, "100% a_b", 1}, // wildcards as themselves
        {S::Text, true, "*", 0},
        {S::Text, true, "\xe5\xa0\xb1\xe5\x91\x8a", 1},
        {S::Text, false, "docs", 0}, // the folder is not the name
        {S::Like, false, "%\xc3\xa9lan%", 2},
        {S::Like, false, "_LAN.mp3", 2},
        {S::Like, false, "%s%", 4},
        {S::Like, false, "%K%", 2},
        {S::Like, false, "%", 19},
        {S::Like, false, "", 0},
        {S::Like, false, "%[%", 1},
        {S::Glob, false, "*.[mo][pg]?", 3},
        {S::Glob, false, "[\xc3\x89]lan*", 2},
        {S::Glob, false, "[!a-z]*", 10},
        {S::Glob, false, "[a-z]elvin*", 2},
        {S::Glob, false, "?ber*", 2},
        {S::Glob, false, "[draft*", 1}, // without its ], [ is itself
        {S::Glob, false, "[[]draft]*", 1},
        {S::Glob, false, "*]*", 1},
        {S::Glob, false, "\xd0\x96\xd0\xa3\xd0\x9a.*", 2},
        {S::Glob, false, "*ORT*", 2},
    };
    for (const auto& r : rows)
        QTest::addRow("%d %s %s", int(r.syntax), r.whole ? "whole" : "name", r.text)
            << int(r.syntax) << r.whole << QString::fromUtf8(r.text) << r.found;
}

// The name forms from the index, in pieces of every size, and from the statement (the disc
// without an index, and the whole statement run as it is) must find what PCRE2 finds.
void SearchTest::nameFormsFoldEveryScript()
{
    QFETCH(int, syntax);
    QFETCH(bool, whole);
    QFETCH(QString, text);
    QFETCH(int, found);
    TestCatalogue cat;
    fillNames(cat);
    SearchCriteria c;
    c.name = NamePattern::Terms{NamePattern::Syntax(syntax),
                                whole ? NamePattern::Scope::WholeName : NamePattern::Scope::Name, text};
    const SearchStatement statement(c);
    const QStringList expected = referenceRows(cat.connection, *c.name);
    QCOMPARE(expected.size(), 2 * found);
    QCOMPARE(plainRows(cat.connection, statement), expected);
    ResultSet result(cat.connection);
    for (const quint32 size : {IndexBody::kPieceEntries, 1u, 2u}) {
        index(cat, size);
        result.open(statement);
        QCOMPARE(resultRows(result), expected);
    }
    // With the other filters: the extension, and the dates.
    c.byExtension = true;
    c.extension = QStringLiteral("txt");
    c.byDateFrom = true;
    c.dateFrom = QDateTime(QDate(2021, 3, 28), QTime(0, 0, 0));
    const SearchStatement narrowed(c);
    result.open(narrowed);
    QCOMPARE(resultRows(result), plainRows(cat.connection, narrowed));
}

// The index's filters and folded texts keep A-Z folded bytes: an ASCII letter that some other
// character folds to must never serve as a filter's stretch.
void SearchTest::indexFiltersTrustOnlyLettersNothingElseFoldsTo()
{
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        const char32_t folded = NamePattern::fold(c);
        if (folded < 0x80)
            QVERIFY2(!NamePattern::foldsAlone(folded), qPrintable(QString::number(c, 16)));
    }
}

void SearchTest::snapshotKeepsItsRowsUntilTheNextSearch()
{
    TestCatalogue cat;
    fill(cat);
    ResultSet result(cat.connection);
    const SearchStatement all{SearchCriteria()};
    result.open(all);
    const QStringList before = resultRows(result);
    DiscStore::removeDisc(*cat.work, 7);
    DiscStore::removeDisc(*cat.work, 2);
    cat.addDisc(QStringLiteral("C"), QStringLiteral("NEW"), 8);
    cat.addFile(8, QStringLiteral("\\"), QStringLiteral("new.txt"));
    QCOMPARE(resultRows(result), before);
    result.open(all);
    QCOMPARE(files(result),
             QStringList({"C0001\\README", "C0001\\docs\\report.doc", "C0001\\Docs\\Reports\\q1.txt",
                          "C0001\\photos\\2005\\IMG_0001.jpg", "C0008\\new.txt"}));
}

void SearchTest::changedRowsAreNeverAnsweredFromAStaleIndex()
{
    TestCatalogue cat;
    fill(cat);
    ResultSet result(cat.connection);
    const SearchStatement jpg(byPattern(QStringLiteral("*.jpg")));
    result.open(jpg);
    QCOMPARE(result.rowCount(), 3);

    // A row added to an indexed disc, on this connection and on another one.
    cat.addFile(1, QStringLiteral("\\late\\"), QStringLiteral("added.jpg"));
    result.open(jpg);
    QCOMPARE(result.rowCount(), 4);
    {
        Connection other;
        other.connect(cat.path());
        Query work(other);
        work.execWith(
            QStringLiteral("insert into files (id, id_cd, nome, path, estensione, dimensione, data) values "
                           "(1000, 7, 'other.jpg', '\\', '.jpg', 1, '2020-01-01 00:00:00')"));
    }
    result.open(jpg);
    QCOMPARE(resultRows(result), plainRows(cat.connection, jpg));
    QCOMPARE(result.rowCount(), 5);

    // Rebuilt, then changed or deleted rows: the triggers drop the index.
    QVERIFY(SearchIndex::indexDisc(cat.connection, 1));
    QVERIFY(SearchIndex::indexDisc(cat.connection, 7));
    cat.work->execWith(QStringLiteral("update files set nome = 'renamed.png' where nome = 'added.jpg'"));
    cat.work->execWith(QStringLiteral("delete from files where nome = 'b.JPG'"));
    QCOMPARE(cat.count(QStringLiteral("search_index")), 0);
    result.open(jpg);
    QCOMPARE(files(result),
             QStringList({"C0001\\photos\\2005\\IMG_0001.jpg", "D0002\\a.jpg", "D0007\\other.jpg"}));

    // A removed disc takes its index along; a new disc with its id starts without one.
    QVERIFY(SearchIndex::indexDisc(cat.connection, 7));
    DiscStore::removeDisc(*cat.work, 7);
    QCOMPARE(cat.count(QStringLiteral("search_index")), 0);
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from search_index_piece where id_cd = 7")).toInt(),
             0);
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from search_trigram where id_cd = 7")).toInt(), 0);
    cat.addDisc(QStringLiteral("C"), {}, 7);
    cat.addFile(7, QStringLiteral("\\"), QStringLiteral("fresh.jpg"));
    result.open(jpg);
    QCOMPARE(resultRows(result), plainRows(cat.connection, jpg));
    QCOMPARE(files(result).last(), QStringLiteral("C0007\\fresh.jpg"));

    // Postings whose pieces went without them (as an earlier version removes a disc) are found
    // and dropped when the disc is indexed again: none is left over.
    const QString postings = QStringLiteral("select count(*) from search_trigram where id_cd = 1");
    QVERIFY(SearchIndex::indexDisc(cat.connection, 1));
    const int whole = cat.scalar(postings).toInt();
    cat.connection.exec(
        "delete from search_index_piece where id_cd = 1; delete from search_index where id_cd = 1; "
        "insert into search_trigram values (7, 1, x'00')");
    QVERIFY(SearchIndex::indexDisc(cat.connection, 1));
    QCOMPARE(cat.scalar(postings).toInt(), whole);
}

void SearchTest::catalogueWithoutSearchIndexSearchesTheSame()
{
    TestCatalogue cat;
    fill(cat);
    cat.connection.exec("drop table search_index");
    ResultSet result(cat.connection);
    for (const char* pattern : {"*.jpg", "*report*", "\\odd\\*", "*"}) {
        const SearchStatement statement(byPattern(QString::fromLatin1(pattern)));
        result.open(statement);
        QCOMPARE(resultRows(result), plainRows(cat.connection, statement));
    }
    QVERIFY(!SearchIndex::indexDisc(cat.connection, 1));
    QCOMPARE(SearchIndex::indexMissing(cat.connection), 0);
}

// Disc 1's index stored again as built from its rows with "IMG_" renamed "XYZ_", whole and
// valid (its own generation, pieces of `pieceEntries`), so that an answer from it shows.
void SearchTest::forgeRenamedIndex(TestCatalogue& cat, quint32 pieceEntries)
{
    IndexBody::Builder builder(pieceEntries);
    {
        Statement rows(cat.connection, "select id, path, nome, estensione, dimensione, data from files "
                                       "where id_cd = 1 order by path, nome, id");
        while (rows.step()) {
            const std::string name = QString::fromUtf8(rows.text(2).data(), qsizetype(rows.text(2).size()))
                                         .replace(QStringLiteral("IMG_"), QStringLiteral("XYZ_"))
                                         .toStdString();
            QVERIFY(builder.add(rows.integer(0), rows.text(1), name, rows.text(3), rows.integer(4),
                                rows.text(5)));
        }
    }
    const qint64 generation =
        cat.scalar(QStringLiteral("select generation from search_index where id_cd = 1")).toLongLong();
    const auto parts = builder.finish(1, generation);
    QVERIFY(parts);
    // Written as another program would, without the triggers that would drop the index.
    cat.connection.setTriggersEnabled(false);
    cat.connection.exec(
        "delete from search_index_piece where id_cd = 1; delete from search_trigram where id_cd = 1");
    Statement directory(cat.connection, "update search_index set body = ?1 where id_cd = 1");
    directory.bindBlob(1, parts->directory);
    directory.step();
    Statement piece(cat.connection, "insert into search_index_piece values (1, ?1, ?2, ?3)");
    for (size_t i = 0; i < parts->pieces.size(); ++i) {
        piece.bind(1, qint64(i));
        piece.bind(2, generation);
        piece.bindBlob(3, parts->pieces[i]);
        piece.step();
        piece.reset();
    }
    Statement posting(cat.connection, "insert into search_trigram values (?1, 1, ?2)");
    for (const auto& [key, row] : parts->postings) {
        posting.bind(1, key);
        posting.bindBlob(2, row);
        posting.step();
        posting.reset();
    }
    cat.connection.setTriggersEnabled(true);
}

// Answers of the renamed index where `answers`, else the statement's (which an index of the
// disc's own rows also gives), for searches that read every piece, some of them, or none.
void SearchTest::expectAnswers(TestCatalogue& cat, bool answers)
{
    ResultSet result(cat.connection);
    for (const char* pattern :
         {"*", "*xyz*", "*img*", "*report*", "\\docs\\*", "*\\photos\\*", "*q1*", "*.jpg"}) {
        const SearchStatement statement(byPattern(QString::fromLatin1(pattern)));
        result.open(statement);
        QStringList want = plainRows(cat.connection, statement);
        if (answers) {
            want.replaceInStrings(QStringLiteral("IMG_"), QStringLiteral("XYZ_"));
            if (QByteArray(pattern) == "*xyz*")
                want = plainRows(cat.connection, SearchStatement(byPattern(QStringLiteral("*img*"))))
                           .replaceInStrings(QStringLiteral("IMG_"), QStringLiteral("XYZ_"));
            if (QByteArray(pattern) == "*img*")
                want.clear();
        }
        QVERIFY2(resultRows(result) == want, pattern);
    }
}

// A directory that is not the one its disc's index was built with is never used: the disc is
// searched with the statement, whatever the search.
// The discs' file counts come from their indexes while the stamp holds; whatever changes the
// rows, with or without the triggers, they are the rows' own counts.
void SearchTest::discCountsStayExactWhenRowsChange()
{
    TestCatalogue cat;
    fill(cat);
    auto rowCounts = [&] {
        std::map<qint64, qint64> counts;
        Statement rows(cat.connection, "select id_cd, count(*) from files where id_cd in (select id from cd) "
                                       "group by id_cd");
        while (rows.step())
            counts[rows.integer(0)] = rows.integer(1);
        return counts;
    };
    const char* const changes[] = {
        "",
        "insert into files values (100, 1, 'late.txt', '\\', '.txt', 1, '2020-01-01 00:00:00')",
        "update files set id_cd = 7 where id = 100",
        "delete from files where id = 100",
        "insert or replace into files values (1, 7, 'moved.txt', '\\', '.txt', 1, '2020-01-01 00:00:00')",
        "update or replace files set id = 2 where id = 3",
    };
    for (const bool triggers : {true, false}) {
        for (const char* change : changes) {
            if (triggers)
                SearchIndex::indexMissing(cat.connection); // every disc indexed, the stamp held
            cat.connection.setTriggersEnabled(triggers);
            cat.connection.exec(change);
            cat.connection.setTriggersEnabled(true);
            // Without the triggers only rows added above the stamp are guarded against.
            if (triggers || QByteArray(change).startsWith("insert into")) {
                std::map<qint64, qint64> counts = SearchIndex::fileCounts(cat.connection);
                counts.erase(99); // the file without a disc
                QVERIFY2(counts == rowCounts(), change);
            }
        }
    }
}

void SearchTest::damagedIndexIsIgnored()
{
    TestCatalogue cat;
    fill(cat);
    forgeRenamedIndex(cat, 2);
    expectAnswers(cat, true);
    for (const char* body :
         {"x'00'", "substr(body, 1, length(body) - 1)", "x'5453583100000000'", "zeroblob(length(body))",
          "body || x'00'", "cast(body as text)", "(select body from search_index where id_cd = 7)"}) {
        forgeRenamedIndex(cat, 2);
        cat.connection.exec(QByteArray("update search_index set body = ")
                                .append(body)
                                .append(" where id_cd = 1")
                                .constData());
        expectAnswers(cat, false);
    }
}

void SearchTest::damagedDirectoryIsIgnored_data()
{
    // The directory: tag, pieces, entries (64 bits), the check of all of them.
    QTest::addColumn<QList<int>>("offsets");
    QTest::addColumn<QList<quint32>>("values");
    QTest::newRow("nothing damaged") << QList<int>{} << QList<quint32>{};
    QTest::newRow("a piece more") << QList<int>{4} << QList<quint32>{3};
    QTest::newRow("a piece less") << QList<int>{4} << QList<quint32>{1};
    QTest::newRow("no pieces") << QList<int>{4} << QList<quint32>{0};
    QTest::newRow("an entry more") << QList<int>{8} << QList<quint32>{5};
    QTest::newRow("entries beyond 32 bits") << QList<int>{12} << QList<quint32>{1};
    QTest::newRow("tag of the earlier form") << QList<int>{0} << QList<quint32>{0x32585354};
    QTest::newRow("check changed") << QList<int>{16} << QList<quint32>{0};
}

void SearchTest::damagedDirectoryIsIgnored()
{
    QFETCH(QList<int>, offsets);
    QFETCH(QList<quint32>, values);
    TestCatalogue cat;
    fill(cat);
    forgeRenamedIndex(cat, 2);
    QByteArray body;
    {
        Statement stored(cat.connection, "select body from search_index where id_cd = 1");
        QVERIFY(stored.step());
        body = stored.blob(0);
    }
    QCOMPARE(body.size(), 20);
    for (qsizetype i = 0; i < offsets.size(); ++i)
        qToLittleEndian(values[i], body.data() + offsets[i]);
    Statement store(cat.connection, "update search_index set body = ?1 where id_cd = 1");
    store.bindBlob(1, body);
    store.step();
    expectAnswers(cat, offsets.isEmpty());
}

void SearchTest::damagedPiecesAreIgnored_data()
{
    // Disc 1's four entries in two pieces, and the postings of its stretches. Damage is done
    // without the triggers, as a program that switched them off or a damaged file would.
    QTest::addColumn<QByteArray>("damage");
    QTest::addColumn<bool>("triggers");
    const QByteArray piece = "update search_index_piece set ";
    const QByteArray posting = "update search_trigram set ";
    QTest::newRow("nothing damaged") << QByteArray() << false;
    QTest::newRow("a piece missing") << QByteArray(
                                            "delete from search_index_piece where id_cd = 1 and piece = 1")
                                     << false;
    QTest::newRow("a piece of another generation")
        << piece + "generation = generation + 1 where id_cd = 1 and piece = 0" << false;
    QTest::newRow("a piece a byte short")
        << piece + "body = substr(body, 1, length(body) - 1) where piece = 1" << false;
    QTest::newRow("a piece zeroed") << piece + "body = zeroblob(length(body)) where id_cd = 1 and piece = 0"
                                    << false;
    QTest::newRow("a name changed in a piece")
        << piece + "body = cast(replace(cast(body as text), 'IMG_', 'XYW_') as blob) where id_cd = 1"
        << false;
    QTest::newRow("pieces swapped") << piece + "piece = piece + 2 where id_cd = 1; " + piece +
                                           "piece = 3 - piece where id_cd = 1"
                                    << false;
    QTest::newRow("a piece of another disc")
        << piece + "body = (select body from search_index_piece where id_cd = 7 and piece = 0) "
                   "where id_cd = 1 and piece = 0"
        << false;
    QTest::newRow("a piece as text") << piece + "body = cast(body as text) where id_cd = 1 and piece = 0"
                                     << false;
    QTest::newRow("a piece numbered as text")
        << piece + "piece = 'one' where id_cd = 1 and piece = 1" << false;
    QTest::newRow("a table of pieces the program did not make")
        << QByteArray("alter table search_index_piece rename to taken; create table search_index_piece "
                      "(id_cd integer, piece integer, generation integer, body blob); "
                      "insert into search_index_piece select * from taken")
        << false;
    // Postings that name fewer pieces would hide rows: they are refused, or drop the index.
    QTest::newRow("every posting zeroed")
        << posting + "pieces = zeroblob(length(pieces)) where id_cd = 1" << false;
    QTest::newRow("every posting emptied, well formed")
        << posting + "pieces = x'0100000000' where id_cd = 1 and trigram < 16777216" << false;
    QTest::newRow("a posting naming no piece")
        << posting + "pieces = (select pieces from search_trigram where id_cd = 1 and trigram = 16777216) "
                     "where id_cd = 1 and trigram = (select min(trigram) from search_trigram where id_cd = 1)"
        << false;
    QTest::newRow("postings of another disc")
        << QByteArray(
               "delete from search_trigram where id_cd = 1; insert into search_trigram select trigram, "
               "1, pieces from search_trigram where id_cd = 7")
        << false;
    QTest::newRow("the posting of the pieces every search reads deleted")
        << QByteArray("delete from search_trigram where id_cd = 1 and trigram = 16777216") << false;
    QTest::newRow("a posting as text")
        << posting + "pieces = cast(pieces as text) where id_cd = 1 and trigram = 8026488" << false;
    QTest::newRow("a posting deleted by hand")
        << QByteArray("delete from search_trigram where id_cd = 1") << true;
    QTest::newRow("a posting changed by hand") << posting + "pieces = x'00' where id_cd = 1" << true;
}

// Parts that are not those of the disc's index are never used, so that searches answer as the
// statement does, never with fewer or other rows.
void SearchTest::damagedPiecesAreIgnored()
{
    QFETCH(QByteArray, damage);
    QFETCH(bool, triggers);
    TestCatalogue cat;
    fill(cat);
    index(cat, 2);
    // Undamaged, a renamed index shows that the parts are read; damaged, the disc's own.
    if (damage.isEmpty())
        forgeRenamedIndex(cat, 2);
    QCOMPARE(cat.count(QStringLiteral("search_index_piece")), 2 + 3); // discs 1 and 7
    if (!damage.isEmpty()) {
        cat.connection.setTriggersEnabled(triggers);
        cat.connection.exec(damage.constData());
        cat.connection.setTriggersEnabled(true);
    }
    expectAnswers(cat, damage.isEmpty());
}

// A catalogue indexed by an earlier version holds each disc's index in a form without checks:
// it is not read (the statement answers) until upgrading rebuilds it.
void SearchTest::indexOfTheEarlierFormIsRead()
{
    TestCatalogue cat;
    fill(cat);
    DiscIndex::Builder builder;
    {
        Statement rows(cat.connection, "select id, path, nome, estensione, dimensione, data from files "
                                       "where id_cd = 1 order by path, nome, id");
        while (rows.step()) {
            const std::string name = QString::fromUtf8(rows.text(2).data(), qsizetype(rows.text(2).size()))
                                         .replace(QStringLiteral("IMG_"), QStringLiteral("XYZ_"))
                                         .toStdString();
            QVERIFY(builder.add(rows.integer(0), rows.text(1), name, rows.text(3), rows.integer(4),
                                rows.text(5)));
        }
    }
    const QByteArray body = builder.finish();
    Statement store(cat.connection,
                    "update search_index set body = ?1, generation = random() where id_cd = 1");
    store.bindBlob(1, body);
    store.step();
    expectAnswers(cat, false);
    // Upgrading rebuilds it in today's form, from the rows (and indexes disc 2, which had none).
    QCOMPARE(SearchIndex::indexMissing(cat.connection), 2);
    QCOMPARE(cat.count(QStringLiteral("search_index")), 3);
    expectAnswers(cat, false);
    ResultSet result(cat.connection);
    const SearchStatement all{SearchCriteria()};
    result.open(all);
    QCOMPARE(resultRows(result), plainRows(cat.connection, all));
    // The earlier index's parts went with it: building every index afresh finds the same parts.
    const auto parts = [&cat] {
        return cat
            .scalar(QStringLiteral("select (select group_concat(trigram || ':' || id_cd) from "
                                   "search_trigram) || '/' || (select group_concat(id_cd || ':' || "
                                   "piece) from search_index_piece)"))
            .toString();
    };
    const QString upgraded = parts();
    QCOMPARE(SearchIndex::indexMissing(cat.connection, true), 3);
    QCOMPARE(parts(), upgraded);
}

void SearchTest::failedSearchLeavesTheResultClosed()
{
    TestCatalogue cat;
    fill(cat);
    ResultSet result(cat.connection);
    result.open(SearchStatement(SearchCriteria()));
    QVERIFY(result.rowCount() > 0);
    const SearchStatement tooLong(byPattern(QString(50001, QLatin1Char('x'))));
    try {
        result.open(tooLong);
        QFAIL("an over-long pattern was searched");
    } catch (const TessaroError& error) {
        QCOMPARE(error.message(), QStringLiteral("LIKE or GLOB pattern too complex"));
    }
    QVERIFY(!result.active());
    QCOMPARE(result.rowCount(), 0);
    // A statement failing on a disc without index gives the same message.
    QVERIFY_THROWS_EXCEPTION(TessaroError, plainRows(cat.connection, tooLong));

    // After a failed start-up the window still has a find button, but no catalogue.
    Connection none;
    ResultSet unconnected(none);
    QVERIFY_THROWS_EXCEPTION(TessaroError, unconnected.open(SearchStatement(SearchCriteria())));
    QVERIFY(!unconnected.active());
}

void SearchTest::modelShowsTheRowsAsTheGridWants()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TestCatalogue cat;
    fill(cat);
    ResultSet result(cat.connection);
    ResultModel model(result);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);
    result.open(SearchStatement(SearchCriteria()));
    QCOMPARE(model.rowCount(), 13);
    QCOMPARE(model.columnCount(), 4);
    QStringList titles;
    for (int c = 0; c < 4; ++c)
        titles << model.headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, QStringList({"CD", "File", "Date", "Dim."}));
    auto cell = [&](int r, int c) { return model.data(model.index(r, c)).toString(); };
    QCOMPARE(cell(1, ResultModel::Cd), QStringLiteral("C0001"));
    QCOMPARE(cell(1, ResultModel::File), QStringLiteral("\\docs\\report.doc"));
    QCOMPARE(cell(1, ResultModel::Date), QStringLiteral("3/28/21 11:59:59 PM"));
    QCOMPARE(cell(12, ResultModel::Date), QStringLiteral("3/28/21")); // midnight: no time
    QCOMPARE(cell(7, ResultModel::Size), QStringLiteral("5000000000"));
    QCOMPARE(model.data(model.index(12, ResultModel::File), ResultModel::ExtensionRole).toString(),
             QStringLiteral(".JPG"));
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("x")));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    result.open(SearchStatement(SearchCriteria()));
    QCOMPARE(cell(1, ResultModel::Date), QStringLiteral("28.03.21 23:59:59"));
    QCOMPARE(ResultModel::dateText(QStringLiteral("2021-03-28 02:30:00"), QLocale()),
             QStringLiteral("28.03.21 02:30:00"));
    QCOMPARE(ResultModel::dateText(QStringLiteral("not a date"), QLocale()), QStringLiteral("not a date"));
    cat.work->execWith(QStringLiteral("update files set data = '2021-02-30 10:00:00' where nome = 'README'"));
    result.open(SearchStatement(SearchCriteria()));
    QCOMPARE(cell(0, ResultModel::Date), QStringLiteral("2021-02-30 10:00:00"));
    result.close();
    QCOMPARE(model.rowCount(), 0);
    QLocale::setDefault(QLocale::system());
}

QTEST_MAIN(SearchTest)
#include "search_test.moc"

void SearchTest::copiesAreTheSameNameAndSizeOnOtherDiscs_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QStringList>("copies");
    QTest::newRow("any letter case, any folder")
        << "beach.jpg" << qint64(100) << QStringList{"C0002\\BACKUP\\Beach.JPG", "D0003\\beach.jpg"};
    QTest::newRow("wildcards of the pattern in the name")
        << "a_b%.txt" << qint64(5) << QStringList{"C0002\\x\\A_B%.txt"};
    QTest::newRow("star in the name") << "x*y" << qint64(5) << QStringList{"D0003\\x*y"};
    QTest::newRow("name ending in a blank") << "note " << qint64(7) << QStringList{"C0002\\note "};
    QTest::newRow("only A to Z fold") << QStringLiteral("\u00c4hnlich") << qint64(1) << QStringList{};
    QTest::newRow("no copy") << "unique.txt" << qint64(9) << QStringList{};
}

void SearchTest::copiesAreTheSameNameAndSizeOnOtherDiscs()
{
    QFETCH(QString, name);
    QFETCH(qint64, size);
    QFETCH(QStringList, copies);
    TestCatalogue cat;
    const qint64 one = cat.addDisc(QStringLiteral("C"));
    const qint64 two = cat.addDisc(QStringLiteral("C"));
    const qint64 three = cat.addDisc(QStringLiteral("D"));
    const std::pair<QString, qint64> sources[] = {{"beach.jpg", 100}, {"a_b%.txt", 5},     {"x*y", 5},
                                                  {"note ", 7},       {"\u00c4hnlich", 1}, {"unique.txt", 9}};
    for (const auto& [file, bytes] : sources)
        cat.addFile(one, QStringLiteral("\\photos\\"), file, bytes);
    cat.addFile(one, QStringLiteral("\\other\\"), QStringLiteral("beach.jpg"), 100); // the same disc
    cat.addFile(two, QStringLiteral("\\BACKUP\\"), QStringLiteral("Beach.JPG"), 100);
    cat.addFile(two, QStringLiteral("\\x\\"), QStringLiteral("beach.jpg"), 101);     // another size
    cat.addFile(two, QStringLiteral("\\x\\"), QStringLiteral("beach.jpg.bak"), 100); // a longer name
    cat.addFile(two, QStringLiteral("\\x\\"), QStringLiteral("my beach.jpg"), 100);
    cat.addFile(two, QStringLiteral("\\beach.jpg\\"), QStringLiteral("x"), 100); // a folder of the name
    cat.addFile(two, QStringLiteral("\\x\\"), QStringLiteral("A_B%.txt"), 5);
    cat.addFile(two, QStringLiteral("\\x\\"), QStringLiteral("axb%.txt"), 5);
    cat.addFile(two, QStringLiteral("\\x\\"), QStringLiteral("a_b%.txt.old"), 5);
    cat.addFile(two, QStringLiteral("\\"), QStringLiteral("note "), 7);
    cat.addFile(two, QStringLiteral("\\"), QStringLiteral("note"), 7);
    cat.addFile(two, QStringLiteral("\\"), QStringLiteral("\u00e4hnlich"), 1);
    cat.addFile(three, QStringLiteral("\\"), QStringLiteral("beach.jpg"), 100);
    cat.addFile(three, QStringLiteral("\\"), QStringLiteral("x*y"), 5);
    cat.addFile(three, QStringLiteral("\\"), QStringLiteral("xzzy"), 5);

    for (const bool indexed : {false, true}) {
        if (indexed) {
            for (const qint64 disc : {one, two, three})
                QVERIFY(SearchIndex::indexDisc(cat.connection, disc));
        }
        ResultSet result(cat.connection);
        result.openCopies(QStringLiteral("C0001"), name, size);
        QVERIFY(result.active());
        QCOMPARE(files(result), copies);
    }
}
