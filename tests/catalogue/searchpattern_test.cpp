#include "catalogue/searchindex/SearchPattern.h"
#include "common/TessaroError.h"

#include <QtTest>
#include <random>
#include <sqlite3.h>

// The search index answers `like` itself, so it must agree with SQLite on every pattern and
// text, including the odd ones: wildcards in names, non-ASCII letters, broken UTF-8.
class SearchPatternTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void agreesWithSqlite_data();
    void agreesWithSqlite();
    void agreesWithSqliteOnRandomInput();
    void literalTextIsNecessary();
    void shapes();
    void tooLongPatternIsRefusedAsSqliteDoes();

  private:
    bool sqliteLike(const QByteArray& text, const QByteArray& pattern);
    sqlite3* db_ = nullptr;
    sqlite3_stmt* like_ = nullptr;
};

void SearchPatternTest::initTestCase()
{
    QCOMPARE(sqlite3_open(":memory:", &db_), SQLITE_OK);
    QCOMPARE(sqlite3_prepare_v2(db_, "select ?1 like ?2", -1, &like_, nullptr), SQLITE_OK);
}

void SearchPatternTest::cleanupTestCase()
{
    sqlite3_finalize(like_);
    sqlite3_close(db_);
}

bool SearchPatternTest::sqliteLike(const QByteArray& text, const QByteArray& pattern)
{
    sqlite3_bind_text(like_, 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(like_, 2, pattern.constData(), int(pattern.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(like_);
    const bool match = rc == SQLITE_ROW && sqlite3_column_int(like_, 0) == 1;
    sqlite3_reset(like_);
    return match;
}

void SearchPatternTest::agreesWithSqlite_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("pattern");
    const QList<QByteArray> texts = {
        "\\photos\\2005\\IMG_0001.JPG",
        "\\docs\\Report 2005.doc",
        "\\docs\\100% pure.txt",
        "\\a_b\\it's \"quoted\".txt",
        "\\back\\slash\\name\\with.txt",
        "\\",
        "",
        "\\\xc3\xa9t\xc3\xa9\\\xc3\x89T\xc3\x89.txt", // \été\ÉTÉ.txt
        "\\bad\\\xff\xfe name",
        "\\stray\\\x80\x80.bin",
        "\\long\\\xc3\x28 wrong.txt",
    };
    const QList<QByteArray> patterns = {
        "%",
        "%%",
        "_",
        "%_",
        "\\%",
        "%.jpg",
        "%.JPG",
        "\\photos\\%.jpg",
        "%report%",
        "report.doc",
        "%REPORT%",
        "\\docs\\%",
        "%100\\% pure%",
        "%100% pure%",
        "%\\%",
        "%'%",
        "%\"%",
        "%it's%",
        "%a_b%",
        "\\a_b\\%",
        "%\\\\%",
        "%slash\\name%",
        "",
        "  ",
        "%\xc3\xa9%",
        "%\xc3\x89%",
        "%\xc3\xa9t\xc3\xa9\\%",
        "%\xff%",
        "%\xef\xbf\xbd%",
        "%\x80%",
        "%_%_%_%",
        "\\_%",
        "%.txt_",
        "%t",
        "%img_000_.jpg",
        "\\photos\\2005\\img_0001.jpg",
        "\\PHOTOS\\%",
        "%a%b%c%",
        "%s\\n%",
    };
    for (const QByteArray& text : texts) {
        for (const QByteArray& pattern : patterns)
            QTest::addRow("%s like %s", text.toHex().constData(), pattern.toHex().constData())
                << text << pattern;
    }
}

void SearchPatternTest::agreesWithSqlite()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, pattern);
    QCOMPARE(SearchPattern(pattern).matches(std::string_view(text.constData(), size_t(text.size()))),
             sqliteLike(text, pattern));
}

void SearchPatternTest::agreesWithSqliteOnRandomInput()
{
    const QList<QByteArray> pieces = {"a", "A",  "b",        "%",        "_",    "\\",   ".",        " ",
                                      "'", "\"", "\xc3\xa9", "\xc3\x89", "\xff", "\x80", "\xe2\x82", "z"};
    std::mt19937 random(7);
    auto make = [&](int most) {
        QByteArray out;
        const int n = std::uniform_int_distribution<int>(0, most)(random);
        for (int i = 0; i < n; ++i)
            out += pieces[std::uniform_int_distribution<int>(0, int(pieces.size()) - 1)(random)];
        return out;
    };
    int matched = 0;
    for (int round = 0; round < 40000; ++round) {
        const QByteArray text = make(9);
        const QByteArray pattern = make(6);
        const bool ours =
            SearchPattern(pattern).matches(std::string_view(text.constData(), size_t(text.size())));
        matched += ours;
        if (ours != sqliteLike(text, pattern))
            QFAIL(qPrintable(QStringLiteral("'%1' like '%2': ours %3")
                                 .arg(QString::fromLatin1(text.toHex()), QString::fromLatin1(pattern.toHex()))
                                 .arg(ours)));
    }
    QVERIFY(matched > 500); // both answers are exercised
}

// What the index relies on: a matching text (valid UTF-8, A-Z folded) starts with the prefix,
// ends with the suffix, holds every anchor, and for the simple shapes nothing more is needed.
void SearchPatternTest::literalTextIsNecessary()
{
    const QList<QByteArray> pieces = {"a", "B", "%", "_", "\\", ".", "x", "\xc3\xa9", "\xc3\x89"};
    std::mt19937 random(11);
    auto make = [&](int most) {
        QByteArray out;
        const int n = std::uniform_int_distribution<int>(0, most)(random);
        for (int i = 0; i < n; ++i)
            out += pieces[std::uniform_int_distribution<int>(0, int(pieces.size()) - 1)(random)];
        return out;
    };
    auto fold = [](QByteArray s) {
        for (char& c : s) {
            if (c >= 'A' && c <= 'Z')
                c = char(c + 32);
        }
        return std::string(s.constData(), size_t(s.size()));
    };
    int matched = 0;
    for (int round = 0; round < 30000; ++round) {
        const QByteArray text = make(8);
        const QByteArray patternText = make(6);
        const SearchPattern pattern(patternText);
        const std::string folded = fold(text);
        const bool matches = pattern.matches(std::string_view(text.constData(), size_t(text.size())));
        const bool literalFits = folded.starts_with(pattern.prefix()) && folded.ends_with(pattern.suffix());
        bool anchorsFit = true;
        for (const std::string& anchor : pattern.anchors())
            anchorsFit = anchorsFit && folded.find(anchor) != std::string::npos;
        if (matches) {
            ++matched;
            QVERIFY2(literalFits && anchorsFit, patternText.constData());
        }
        using Shape = SearchPattern::Shape;
        if (pattern.shape() == Shape::Exact)
            QCOMPARE(matches, folded == pattern.prefix());
        if (pattern.shape() == Shape::Ends)
            QCOMPARE(matches,
                     literalFits && folded.size() >= pattern.prefix().size() + pattern.suffix().size());
        if (pattern.shape() == Shape::Contains)
            QCOMPARE(matches, folded.find(pattern.anchors().front()) != std::string::npos);
    }
    QVERIFY(matched > 1000);
}

void SearchPatternTest::shapes()
{
    using Shape = SearchPattern::Shape;
    QCOMPARE(SearchPattern("%report%").shape(), Shape::Contains);
    QCOMPARE(SearchPattern("%a\\b%").shape(), Shape::General); // a "\" may sit where folder meets name
    QCOMPARE(SearchPattern("\\photos\\%.JPG").shape(), Shape::Ends);
    QCOMPARE(SearchPattern("\\photos\\%.JPG").prefix(), std::string("\\photos\\"));
    QCOMPARE(SearchPattern("\\photos\\%.JPG").suffix(), std::string(".jpg"));
    QCOMPARE(SearchPattern("report.doc").shape(), Shape::Exact);
    QCOMPARE(SearchPattern("").shape(), Shape::Exact);
    QCOMPARE(SearchPattern("%img_123%").shape(), Shape::General);
    QCOMPARE(SearchPattern("%img_123%").anchors(), (std::vector<std::string>{"img", "123"}));
    QCOMPARE(SearchPattern("\\Photos\\2005\\%").anchors(), (std::vector<std::string>{"photos", "2005"}));
}

void SearchPatternTest::tooLongPatternIsRefusedAsSqliteDoes()
{
    const QByteArray longest(SearchPattern::kMaxBytes, 'x');
    QVERIFY(!SearchPattern(longest).matches("y"));
    QVERIFY_THROWS_EXCEPTION(TessaroError, SearchPattern(longest + "x"));
    try {
        SearchPattern tooLong(longest + "x");
    } catch (const TessaroError& error) {
        QCOMPARE(error.message(), QStringLiteral("LIKE or GLOB pattern too complex"));
    }
    QVERIFY(!sqliteLike("y", longest + "x")); // SQLite fails the statement instead of matching
    QCOMPARE(sqlite3_errmsg(db_), "LIKE or GLOB pattern too complex");
}

QTEST_GUILESS_MAIN(SearchPatternTest)
#include "searchpattern_test.moc"
