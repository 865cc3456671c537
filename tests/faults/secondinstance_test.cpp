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
#include "tests/support/WindowChild.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <atomic>
#include <sqlite3.h>
#include <thread>

// Two instances of the program on one catalogue: the one that does not hold the write lock
// still reads, and its writes wait the busy timeout (5 s) for the lock, then fail with
// SQLite's "database is locked"; they never fail at once and never hang. A cataloguing run
// waits for the other's lock for as long as it is held.
class SecondInstanceTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void readsGoOnWhileTheOtherWrites();
    void writesWaitTheBusyTimeoutARunWaitsLonger();
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

void SecondInstanceTest::writesWaitTheBusyTimeoutARunWaitsLonger()
{
    FakeHost host;
    host.catalogue.addFile(host.catalogue.addDisc(QStringLiteral("C")), QStringLiteral("\\"),
                           QStringLiteral("a.txt"));
    FakeDrive drive;
    drive.addFiles(3);
    RecordingMessages messages;
    TfrmNewCD newCd(
        host.session(), host.refresh(), messages, [] { return kDrive; }, drive);
    TfrmDelCD del(host.session(), host.refresh(), messages);
    OtherInstance other(host.catalogue.path());

    del.FillDiscList();
    messages.answers = {true};
    QElapsedTimer clock;
    clock.start();
    windowChild<QPushButton>(del, "Button2")->click();
    const qint64 removalWaited = clock.elapsed();
    QCOMPARE(messages.errors, QStringList{kLocked});
    QVERIFY2(removalWaited >= 4500 && removalWaited < 15000, qPrintable(QString::number(removalWaited)));
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 1);

    // The run waits past the busy timeout; once the other instance's disc is in, this one's
    // goes in after it.
    QTimer::singleShot(6000, [&other] { other.connection.exec("COMMIT"); });
    newCd.ResetDialog();
    clock.restart();
    windowChild<QToolButton>(newCd, "SpeedButton3")->click();
    const qint64 runWaited = clock.elapsed();
    QVERIFY2(runWaited >= 5500, qPrintable(QString::number(runWaited)));
    QCOMPARE(messages.messages,
             (QStringList{QStringLiteral("New CD ID: C0003"), QStringLiteral("3 files found")}));
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 3);
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 4);
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
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
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
