#include "catalogue/DiscLabel.h"
#include "catalogue/DiscStore.h"
#include "catalogue/Statements.h"
#include "catalogue/Transaction.h"
#include "common/TessaroError.h"
#include "tests/support/TestCatalogue.h"

#include <QtTest>
#include <limits>

class DiscStoreTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void idsStartAtOneAndFollowTheLargest();
    void topIdIsReusedAfterRemoval();
    void removalDeletesFilesThenDisc();
    void labelsBothWays();
    void labelInSqlMatchesLabelInCode();
    void textComparisonsIgnoreCase();
    void queryReportsBadParametersAndFields();
    void transactionRollsBackUnlessCommitted();
};

void DiscStoreTest::idsStartAtOneAndFollowTheLargest()
{
    TestCatalogue cat;
    QCOMPARE(DiscStore::allocateDiscId(*cat.work), 1);
    QCOMPARE(DiscStore::allocateFileId(*cat.work), 1);
    cat.addDisc(QStringLiteral("C"), {}, 5);
    cat.addFile(5, QStringLiteral("\\"), QStringLiteral("a.txt"));
    QCOMPARE(DiscStore::allocateDiscId(*cat.work), 6);
    QCOMPARE(DiscStore::allocateFileId(*cat.work), 2);
    // Only ids below one (a hand-edited catalogue): a new disc still gets a real id.
    TestCatalogue low;
    low.addDisc(QStringLiteral("C"), {}, -3);
    QCOMPARE(DiscStore::allocateDiscId(*low.work), 1);
}

void DiscStoreTest::topIdIsReusedAfterRemoval()
{
    TestCatalogue cat;
    for (int i = 0; i < 3; ++i)
        cat.addDisc(QStringLiteral("C"));
    DiscStore::removeDisc(*cat.work, 3);
    QCOMPARE(DiscStore::allocateDiscId(*cat.work), 3);
    DiscStore::removeDisc(*cat.work, 1);
    QCOMPARE(DiscStore::allocateDiscId(*cat.work), 3); // a hole below the top stays a hole
}

void DiscStoreTest::removalDeletesFilesThenDisc()
{
    TestCatalogue cat;
    const qint64 keep = cat.addDisc(QStringLiteral("C"));
    const qint64 gone = cat.addDisc(QStringLiteral("D"));
    const qint64 empty = cat.addDisc(QStringLiteral("D"));
    cat.addFile(keep, QStringLiteral("\\"), QStringLiteral("a.txt"));
    cat.addFile(gone, QStringLiteral("\\x\\"), QStringLiteral("b.txt"));
    cat.addFile(gone, QStringLiteral("\\x\\"), QStringLiteral("c.txt"));
    DiscStore::removeDisc(*cat.work, gone);
    QCOMPARE(cat.count(QStringLiteral("files")), 1);
    QCOMPARE(cat.count(QStringLiteral("cd")), 2);
    DiscStore::removeDisc(*cat.work, empty);
    QCOMPARE(cat.count(QStringLiteral("cd")), 1);
    QCOMPARE(cat.scalar(QStringLiteral("select id_cd from files")).toLongLong(), keep);
}

void DiscStoreTest::labelsBothWays()
{
    QCOMPARE(discLabel(QStringLiteral("C"), 1), QStringLiteral("C0001"));
    QCOMPARE(discLabel(QStringLiteral("D"), 7), QStringLiteral("D0007"));
    QCOMPARE(discLabel(QStringLiteral("C"), 12345), QStringLiteral("C12345"));
    QCOMPARE(discIdFromLabel(QStringLiteral("D0007")), 7);
    QCOMPARE(discIdFromLabel(QStringLiteral("C12345")), 12345);
    QVERIFY_THROWS_EXCEPTION(TessaroError, discIdFromLabel(QStringLiteral("- None -")));
    QVERIFY_THROWS_EXCEPTION(TessaroError, discIdFromLabel(QString()));
}

void DiscStoreTest::labelInSqlMatchesLabelInCode()
{
    TestCatalogue cat;
    // Hand-edited catalogues hold ids below one too: every list and every search must agree on them.
    for (qint64 id : {qint64(1), qint64(7), qint64(999), qint64(1000), qint64(12345), qint64(-1), qint64(-3),
                      qint64(-999), qint64(-1000), std::numeric_limits<qint64>::min(),
                      std::numeric_limits<qint64>::max()}) {
        cat.addDisc(id % 2 ? QStringLiteral("C") : QStringLiteral("D"), {}, id);
        const QString sql =
            QStringLiteral("select %1 from cd where id = %2").arg(Statements::DiscLabelExpression).arg(id);
        QCOMPARE(cat.scalar(sql).toString(),
                 discLabel(id % 2 ? QStringLiteral("C") : QStringLiteral("D"), id));
    }
}

void DiscStoreTest::textComparisonsIgnoreCase()
{
    TestCatalogue cat;
    const qint64 disc = cat.addDisc(QStringLiteral("C"));
    cat.addFile(disc, QStringLiteral("\\"), QStringLiteral("a.TXT"));
    cat.addFile(disc, QStringLiteral("\\"), QStringLiteral("b.txt"));
    cat.addFile(disc, QStringLiteral("\\"), QStringLiteral("C.jpg"));
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from files where estensione = '.txt'")).toInt(), 2);
    QCOMPARE(cat.scalar(QStringLiteral("select count(distinct estensione) from files")).toInt(), 2);
    QCOMPARE(cat.scalar(QStringLiteral("select nome from files order by nome limit 1 offset 2")).toString(),
             QStringLiteral("C.jpg"));
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from files where path || nome like '\\A.%'")).toInt(),
             1);
}

void DiscStoreTest::queryReportsBadParametersAndFields()
{
    TestCatalogue cat;
    Query& q = *cat.work;
    QVERIFY_THROWS_EXCEPTION(TessaroError, q.openWith(Statements::DiscList, {{QStringLiteral("nope"), 1}}));
    q.openWith(Statements::NewDiscId);
    QVERIFY_THROWS_EXCEPTION(TessaroError, q.field(QStringLiteral("missing")));
    QVERIFY_THROWS_EXCEPTION(TessaroError, q.execWith(QStringLiteral("select * from nowhere")));
    // A failed statement leaves the query usable for the next one.
    cat.addDisc(QStringLiteral("C"));
    QCOMPARE(cat.count(QStringLiteral("cd")), 1);
}

void DiscStoreTest::transactionRollsBackUnlessCommitted()
{
    TestCatalogue cat;
    {
        Transaction t(cat.connection);
        cat.addDisc(QStringLiteral("C"));
    }
    QCOMPARE(cat.count(QStringLiteral("cd")), 0);
    {
        Transaction t(cat.connection);
        cat.addDisc(QStringLiteral("C"));
        t.commit();
        QVERIFY(!t.active());
    }
    QCOMPARE(cat.count(QStringLiteral("cd")), 1);
    {
        // SQLite ended the transaction by itself: the guard must neither throw nor roll back twice.
        Transaction t(cat.connection);
        cat.connection.exec("ROLLBACK");
        QVERIFY(!t.active());
    }
    QCOMPARE(cat.count(QStringLiteral("cd")), 1);
}

QTEST_GUILESS_MAIN(DiscStoreTest)
#include "discstore_test.moc"
