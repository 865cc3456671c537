#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "catalogue/Statements.h"
#include "common/TessaroError.h"
#include "maintenance/DiscCataloguer.h"
#include "maintenance/ui/UnDelCD.h"
#include "maintenance/ui/UnNewCD.h"
#include "search/SearchEngine.h"
#include "search/SearchStatement.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/RecordingMessages.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <atomic>
#include <sqlite3.h>
#include <thread>

// Two instances of the program on one catalogue: the one that does not hold the write lock
// still reads, and its writes wait the busy timeout (5 s) for the lock, then fail with
// SQLite's "database is locked"; they never fail at once and never hang.
class SecondInstanceTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void readsGoOnWhileTheOtherWrites();
    void writesWaitTheBusyTimeoutThenReportTheError();
    void writeGoesThroughWhenTheOtherCommitsInTime();
    void commandLineWaitsAndFailsToo();

  private:
    QString cli_;
};

namespace
{
const QString kLocked = QString::fromLatin1(sqlite3_errstr(SQLITE_BUSY));

// The other instance, in the middle of a run: a disc row written, not yet committed.
class OtherInstance
{
  public:
    explicit OtherInstance(const QString& path)
    {
        connection.connect(path);
        connection.exec("BEGIN IMMEDIATE");
        connection.exec("insert into cd (id, etichetta, tipo, data) values "
                        "((select coalesce(max(id), 0) + 1 from cd), 'OTHER', 'D', '2024-01-01 00:00:00')");
    }
    Connection connection;
};

qint64 countOf(Connection& connection, const QString& sql)
{
    Query query(connection);
    query.openWith(sql);
    return query.value(0).toLongLong();
}
} // namespace

void SecondInstanceTest::initTestCase()
{
    cli_ = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro-cli"));
    QVERIFY(QFileInfo(cli_).isExecutable());
}

void SecondInstanceTest::readsGoOnWhileTheOtherWrites()
{
    FakeHost host;
    host.catalogue.addFile(host.catalogue.addDisc(QStringLiteral("C")), QStringLiteral("\\"),
                           QStringLiteral("a.txt"));
    OtherInstance other(host.catalogue.path());
    QElapsedTimer clock;
    clock.start();
    // A new start of the program connects and searches; it sees the last committed state.
    Connection second;
    second.connect(host.catalogue.path());
    SearchEngine engine(second);
    QCOMPARE(engine.run(SearchStatement(SearchCriteria{})).rowCount(), 1);
    QCOMPARE(countOf(second, QStringLiteral("select count(*) from cd")), 1);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
}

void SecondInstanceTest::writesWaitTheBusyTimeoutThenReportTheError()
{
    FakeHost host;
    host.catalogue.addFile(host.catalogue.addDisc(QStringLiteral("C")), QStringLiteral("\\"),
                           QStringLiteral("a.txt"));
    FakeDrive drive;
    drive.addFiles(3);
    RecordingMessages messages;
    TfrmNewCD newCd(
        host, messages, [] { return kDrive; }, drive);
    TfrmDelCD del(host, messages);
    OtherInstance other(host.catalogue.path());

    newCd.ResetDialog();
    QElapsedTimer clock;
    clock.start();
    newCd.SpeedButton3->click();
    const qint64 runWaited = clock.elapsed();
    QCOMPARE(messages.messages, QStringList{kLocked});
    QCOMPARE(newCd.SpeedButton3->text(), QStringLiteral("Start"));
    QVERIFY(!newCd.cataloguer().running());

    del.FillDiscList();
    messages.answers = {true};
    clock.restart();
    del.Button2->click();
    const qint64 removalWaited = clock.elapsed();
    QCOMPARE(messages.errors, QStringList{kLocked});
    for (const qint64 waited : {runWaited, removalWaited})
        QVERIFY2(waited >= 4500 && waited < 15000, qPrintable(QString::number(waited)));

    // The other instance's disc goes in; this one's catalogue is as it was, and usable.
    other.connection.exec("COMMIT");
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 2);
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 1);
    messages.messages.clear();
    newCd.ResetDialog();
    newCd.SpeedButton3->click();
    QCOMPARE(messages.messages,
             (QStringList{QStringLiteral("New CD ID: C0003"), QStringLiteral("3 files found")}));
}

void SecondInstanceTest::writeGoesThroughWhenTheOtherCommitsInTime()
{
    FakeHost host;
    FakeDrive drive;
    drive.addFiles(4);
    std::atomic<bool> holding{false};
    std::thread otherThread([&] {
        OtherInstance other(host.catalogue.path());
        holding = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        other.connection.exec("COMMIT");
    });
    while (!holding)
        std::this_thread::yield();
    DiscCataloguer run(host.connection(), host.workQuery(), [&drive](QChar l) { return drive.rootOf(l); });
    QElapsedTimer clock;
    clock.start();
    bool completed = false;
    QString error;
    try {
        completed = run.catalogue(QStringLiteral("C"), QStringLiteral("e:\\"), [] { return QString(); });
    } catch (const TessaroError& e) {
        error = e.message();
    }
    const qint64 waited = clock.elapsed();
    otherThread.join();
    QVERIFY2(completed, qPrintable(error));
    QVERIFY2(waited >= 1000, qPrintable(QString::number(waited)));
    // The id is taken under the lock: the other's disc 1 is seen, this one is 2.
    QCOMPARE(run.NewDiscId, 2);
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 4);
}

void SecondInstanceTest::commandLineWaitsAndFailsToo()
{
    FakeHost host;
    host.catalogue.addDisc(QStringLiteral("C"));
    OtherInstance other(host.catalogue.path());
    const QStringList catalogue{QStringLiteral("--catalogue"), host.catalogue.path()};

    QProcess discs;
    discs.start(cli_, catalogue + QStringList{QStringLiteral("discs")});
    QVERIFY(discs.waitForFinished(30000));
    QCOMPARE(discs.exitCode(), 0);
    QCOMPARE(discs.readAllStandardOutput().count('\n'), 1);

    QProcess remove;
    QElapsedTimer clock;
    clock.start();
    remove.start(cli_, catalogue + QStringList{QStringLiteral("remove"), QStringLiteral("C0001")});
    QVERIFY(remove.waitForFinished(30000));
    const qint64 waited = clock.elapsed();
    QCOMPARE(remove.exitCode(), 1);
    QCOMPARE(remove.readAllStandardError(), "tessaro-cli: " + kLocked.toUtf8() + '\n');
    QVERIFY2(waited >= 4500, qPrintable(QString::number(waited)));
    other.connection.exec("ROLLBACK");
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 1);
}

QTEST_MAIN(SecondInstanceTest)
#include "secondinstance_test.moc"
