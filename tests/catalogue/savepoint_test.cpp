#include "catalogue/Catalogue.h"
#include "catalogue/Savepoint.h"
#include "catalogue/Statement.h"
#include "catalogue/Transaction.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "common/TessaroError.h"
#include "tests/support/TestCatalogue.h"

#include <QtTest>
#include <csignal>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

class SavepointTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void nestedGuardsKeepWhatEveryLevelKept_data();
    void nestedGuardsKeepWhatEveryLevelKept();
    void killedAfterAnInnerCommit_data();
    void killedAfterAnInnerCommit();
};

namespace
{
void insert(Connection& connection, qint64 value)
{
    Statement row(connection, "insert into t (x) values (?1)");
    row.bind(1, value);
    row.step();
}

// Guards nested endings.size() deep: the guard of level i writes row i + 1, runs the level
// below (carrying on when it throws), writes row 101 + i and ends as endings[i] says: 'c' commit,
// 'r' an early return without commit, 't' an exception.
void nest(Connection& connection, const QByteArray& endings, qsizetype level = 0)
{
    if (level == endings.size())
        return;
    Savepoint guard(connection);
    insert(connection, level + 1);
    try {
        nest(connection, endings, level + 1);
    } catch (const TessaroError&) {
    }
    insert(connection, 101 + level);
    switch (endings[level]) {
    case 'c':
        guard.commit();
        return;
    case 'r':
        return;
    default:
        throw TessaroError(QStringLiteral("planned"));
    }
}
} // namespace

void SavepointTest::nestedGuardsKeepWhatEveryLevelKept_data()
{
    QTest::addColumn<QByteArray>("endings");
    QTest::addColumn<bool>("enclosed"); // inside a transaction the caller commits
    for (const char* endings : {"c", "r", "t", "cc", "cr", "ct", "rc", "tc", "ccc", "cct", "crc", "ctc",
                                "tcc", "ccr", "rcc", "ctt"}) {
        for (const bool enclosed : {false, true})
            QTest::addRow("%s%s", endings, enclosed ? " enclosed" : "") << QByteArray(endings) << enclosed;
    }
}

// A level's rows are kept exactly when it and every level above it committed.
void SavepointTest::nestedGuardsKeepWhatEveryLevelKept()
{
    QFETCH(QByteArray, endings);
    QFETCH(bool, enclosed);
    TestCatalogue cat;
    cat.connection.exec("create table t (x integer)");
    insert(cat.connection, 0);
    std::set<qint64> expected = {0};
    for (qsizetype level = 0; level < endings.size() && endings[level] == 'c'; ++level)
        expected.insert({level + 1, 101 + level});
    {
        std::optional<Transaction> outer;
        if (enclosed)
            outer.emplace(cat.connection);
        try {
            nest(cat.connection, endings);
        } catch (const TessaroError&) {
        }
        QCOMPARE(cat.connection.inTransaction(), enclosed);
        if (outer)
            outer->commit();
    }
    QVERIFY(!cat.connection.inTransaction());
    std::set<qint64> kept;
    Statement rows(cat.connection, "select x from t");
    while (rows.step())
        kept.insert(rows.integer(0));
    QCOMPARE(kept, expected);
}

void SavepointTest::killedAfterAnInnerCommit_data()
{
    QTest::addColumn<bool>("outerCommitted");
    QTest::newRow("before the outer commit") << false;
    QTest::newRow("after the outer commit") << true;
}

// A child removes a disc (the removal's own guard commits inside the child's outer one) and is
// killed: the catalogue then holds the disc whole, rows and index, or nothing of it.
void SavepointTest::killedAfterAnInnerCommit()
{
    QFETCH(bool, outerCommitted);
    TestCatalogue cat;
    const qint64 kept = cat.addDisc(QStringLiteral("C"));
    const qint64 removed = cat.addDisc(QStringLiteral("C"));
    for (int i = 0; i < 300; ++i) {
        cat.addFile(kept, QStringLiteral("\\k\\"), QStringLiteral("k%1.txt").arg(i));
        cat.addFile(removed, QStringLiteral("\\r\\"), QStringLiteral("r%1.txt").arg(i));
    }
    QCOMPARE(SearchIndex::indexMissing(cat.connection), 2);
    const QString path = cat.path();
    cat.session.disconnect();

    int ready[2];
    QCOMPARE(::pipe(ready), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::close(ready[0]);
        try {
            Catalogue session;
            session.connect(path);
            Savepoint outer(session.connection());
            session.removeDisc(removed);
            if (outerCommitted)
                outer.commit();
            const char done = 1;
            if (::write(ready[1], &done, 1) == 1)
                ::pause();
        } catch (...) {
        }
        _exit(1);
    }
    ::close(ready[1]);
    char done = 0;
    const bool signalled = ::read(ready[0], &done, 1) == 1;
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(signalled, "the child failed before its inner commit");
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    cat.session.connect(path);
    QCOMPARE(cat.scalar(QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));
    const qint64 rows = outerCommitted ? 0 : 300;
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from cd where id = %1").arg(removed)).toLongLong(),
             qint64(outerCommitted ? 0 : 1));
    QCOMPARE(
        cat.scalar(QStringLiteral("select count(*) from files where id_cd = %1").arg(removed)).toLongLong(),
        rows);
    for (const char* table : {"search_index", "search_index_piece", "search_trigram"}) {
        const qint64 parts = cat.scalar(QStringLiteral("select count(*) from %1 where id_cd = %2")
                                            .arg(QLatin1String(table))
                                            .arg(removed))
                                 .toLongLong();
        QVERIFY2(outerCommitted ? parts == 0 : parts > 0, table);
    }
    // The stamp and the indexes still account for every row: nothing needs indexing again.
    QVERIFY(SearchIndex::stampHolds(cat.connection));
    std::map<qint64, qint64> expected = {{kept, 300}};
    if (!outerCommitted)
        expected[removed] = 300;
    QCOMPARE(SearchIndex::fileCounts(cat.connection), expected);
    QCOMPARE(SearchIndex::indexMissing(cat.connection), 0);
}

QTEST_GUILESS_MAIN(SavepointTest)
#include "savepoint_test.moc"
