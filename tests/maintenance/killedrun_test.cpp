#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"
#include "catalogue/Transaction.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <csignal>
#include <optional>

// A cataloguing run in a child process (tessaro-cli add) killed or interrupted at random
// moments: afterwards the catalogue holds whole discs only and no file row without its disc.
class KilledRunTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void killedRunsLeaveNoTrace();
    void ctrlCStopsAndRemovesTheDisc();
    void terminationKeepsACommittedDiscReported_data();
    void terminationKeepsACommittedDiscReported();
    void anotherRunsLockIsWaitedFor_data();
    void anotherRunsLockIsWaitedFor();

  private:
    QProcess* startAdd();
    void checkCatalogue(qint64 wholeDiscs);
    qint64 discCount();

    QTemporaryDir dir_;
    QString cli_;
    QString catalogue_;
    QString tree_;
    int files_ = 0;
    qint64 fullRunMs_ = 0;
};

void KilledRunTest::initTestCase()
{
    cli_ = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro-cli"));
    QVERIFY2(QFileInfo(cli_).isExecutable(), qPrintable(cli_ + QStringLiteral(" is not built")));
    tree_ = dir_.filePath(QStringLiteral("disc"));
    for (int folder = 0; folder < 40; ++folder) {
        const QString path = QStringLiteral("%1/folder%2/sub").arg(tree_).arg(folder);
        QVERIFY(QDir().mkpath(path));
        for (int i = 0; i < 100; ++i) {
            QFile file(QStringLiteral("%1/file%2.%3").arg(path).arg(i).arg(i % 3 ? "txt" : "jpg"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            ++files_;
        }
    }
    catalogue_ = dir_.filePath(QStringLiteral("archive.mdb"));
    Schema::createCatalogue(catalogue_);
    // A first disc that every later check expects intact; its run gives the length of a run.
    QElapsedTimer clock;
    clock.start();
    QScopedPointer<QProcess> first(startAdd());
    QVERIFY(first->waitForFinished(120000));
    fullRunMs_ = clock.elapsed();
    QCOMPARE(first->exitCode(), 0);
    QCOMPARE(first->readAllStandardOutput(),
             QByteArray("New CD ID: C0001\n") + QByteArray::number(files_) + " files found\n");
    checkCatalogue(1);
}

QProcess* KilledRunTest::startAdd()
{
    auto* process = new QProcess;
    process->setProgram(cli_);
    // The same tree every time: --again, or every run after the first would be refused.
    process->setArguments({QStringLiteral("--catalogue"), catalogue_, QStringLiteral("add"),
                           QStringLiteral("--root"), tree_, QStringLiteral("--again")});
    process->start();
    process->waitForStarted();
    return process;
}

qint64 KilledRunTest::discCount()
{
    Connection connection;
    connection.connect(catalogue_);
    Query query(connection);
    query.openWith(QStringLiteral("select count(*) from cd"));
    return query.value(0).toLongLong();
}

// Every disc whole (all its files), no file row without its disc, and the expected count.
void KilledRunTest::checkCatalogue(qint64 wholeDiscs)
{
    Connection connection;
    connection.connect(catalogue_);
    Query query(connection);
    query.openWith(QStringLiteral("select count(*) from files where id_cd not in (select id from cd)"));
    QCOMPARE(query.value(0).toLongLong(), 0);
    query.openWith(
        QStringLiteral("select count(*) from cd where (select count(*) from files where id_cd = cd.id) <> ") +
        QString::number(files_));
    QCOMPARE(query.value(0).toLongLong(), 0);
    query.openWith(QStringLiteral("select count(*), coalesce(max(id), 0) from cd"));
    QCOMPARE(query.value(0).toLongLong(), wholeDiscs);
    QCOMPARE(query.value(1).toLongLong(), wholeDiscs); // ids stay dense: nothing half-allocated
    query.openWith(QStringLiteral("pragma integrity_check"));
    QCOMPARE(query.value(0).toString(), QStringLiteral("ok"));
}

void KilledRunTest::killedRunsLeaveNoTrace()
{
    qint64 discs = discCount();
    int killedMidRun = 0;
    for (int round = 0; round < 25; ++round) {
        QScopedPointer<QProcess> process(startAdd());
        const int delay = int(QRandomGenerator::global()->bounded(qMax<qint64>(fullRunMs_, 50)));
        if (!process->waitForFinished(delay)) {
            process->kill();
            QVERIFY(process->waitForFinished(30000));
        }
        // A kill after the commit (while the process ends) keeps the disc, whole.
        const qint64 now = discCount();
        const bool completed = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
        QVERIFY(now == discs + 1 || (!completed && now == discs));
        if (now == discs)
            ++killedMidRun;
        discs = now;
        checkCatalogue(discs);
    }
    qInfo("%d of 25 runs killed before their end", killedMidRun);
    QVERIFY(killedMidRun >= 5);
}

void KilledRunTest::ctrlCStopsAndRemovesTheDisc()
{
    qint64 discs = discCount();
    int interrupted = 0;
    for (int round = 0; round < 8; ++round) {
        QScopedPointer<QProcess> process(startAdd());
        const int delay = int(QRandomGenerator::global()->bounded(qMax<qint64>(fullRunMs_, 50)));
        if (!process->waitForFinished(delay))
            ::kill(pid_t(process->processId()), SIGINT);
        const bool finished = process->waitForFinished(30000);
        QVERIFY2(finished || process->state() == QProcess::NotRunning,
                 qPrintable(QStringLiteral("state %1 error %2 after %3 ms")
                                .arg(process->state())
                                .arg(process->error())
                                .arg(delay)));
        // Before the command has set up its handler, SIGINT ends the process as it ends any
        // program (a shell shows status 130 as well); nothing has been written then.
        if (process->exitStatus() == QProcess::CrashExit) {
            QCOMPARE(process->exitCode(), SIGINT);
            ++interrupted;
        } else if (process->exitCode() == 0) {
            ++discs;
        } else {
            QCOMPARE(process->exitCode(), 130);
            QVERIFY(process->readAllStandardOutput().isEmpty());
            ++interrupted;
        }
        checkCatalogue(discs);
    }
    QVERIFY(interrupted >= 2);
}

void KilledRunTest::terminationKeepsACommittedDiscReported_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

// SIGTERM and SIGHUP (a wrapper such as timeout, a closed terminal) at random moments, and just
// after the disc's commit: either the run reports its disc and succeeds, or it ends by the
// signal and the catalogue holds no trace of it. Never a disc kept without its report.
void KilledRunTest::terminationKeepsACommittedDiscReported()
{
    QFETCH(int, signal);
    Connection watcher;
    watcher.connect(catalogue_, Connection::Access::ReadOnly);
    Query query(watcher);
    const auto discsNow = [&query] {
        query.openWith(QStringLiteral("select count(*) from cd"));
        const qint64 count = query.value(0).toLongLong();
        query.close();
        return count;
    };
    qint64 discs = discsNow();
    int signalled = 0;
    int afterCommit = 0;
    for (int round = 0; round < 8; ++round) {
        QScopedPointer<QProcess> process(startAdd());
        const pid_t pid = pid_t(process->processId());
        if (round % 2 == 0) {
            // Within the first half of a run: later runs may be quicker than the first, timed one.
            const int delay = int(QRandomGenerator::global()->bounded(qMax<qint64>(fullRunMs_ / 2, 20)));
            if (!process->waitForFinished(delay))
                ::kill(pid, signal);
        } else {
            // The moment the disc shows in the catalogue, the run has committed it.
            while (process->state() == QProcess::Running && discsNow() == discs)
                QThread::msleep(1);
            if (process->state() == QProcess::Running) {
                ::kill(pid, signal);
                ++afterCommit;
            }
        }
        QVERIFY(process->waitForFinished(30000));
        const qint64 now = discsNow();
        const QByteArray out = process->readAllStandardOutput();
        if (process->exitStatus() == QProcess::CrashExit) {
            QCOMPARE(process->exitCode(), signal);
            QVERIFY2(
                now == discs,
                qPrintable(QStringLiteral("round %1: ended by the signal with its disc kept").arg(round)));
            QVERIFY(out.isEmpty());
            ++signalled;
        } else {
            QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
            QCOMPARE(now, discs + 1);
            QCOMPARE(out, QStringLiteral("New CD ID: C%1\n%2 files found\n")
                              .arg(now, 4, 10, QLatin1Char('0'))
                              .arg(files_)
                              .toUtf8());
        }
        discs = now;
        checkCatalogue(discs);
    }
    qInfo("%d of 8 runs ended by the signal, %d signalled after the commit", signalled, afterCommit);
    QVERIFY(signalled >= 1);
    QVERIFY(afterCommit >= 2);
}

void KilledRunTest::anotherRunsLockIsWaitedFor_data()
{
    QTest::addColumn<int>("signal"); // 0: the lock is let go
    QTest::addColumn<int>("holdMs");
    // Longer than SQLite's own wait of five seconds.
    QTest::newRow("held 6 s, then let go") << 0 << 6000;
    QTest::newRow("Ctrl+C while waiting") << int(SIGINT) << 300;
    QTest::newRow("SIGTERM while waiting") << int(SIGTERM) << 300;
}

// A run that finds another run's write lock waits for as long as it is held, says so, and
// Ctrl+C or SIGTERM end the wait as they end a run, with nothing written.
void KilledRunTest::anotherRunsLockIsWaitedFor()
{
    QFETCH(int, signal);
    QFETCH(int, holdMs);
    const qint64 discs = discCount();
    Connection other;
    other.connect(catalogue_);
    std::optional<Transaction> held;
    held.emplace(other);
    QScopedPointer<QProcess> process(startAdd());
    QByteArray err;
    QElapsedTimer clock;
    clock.start();
    while (!err.contains("Waiting for another cataloguing run\u2026\n") && clock.elapsed() < 60000) {
        const bool ended = process->waitForFinished(20);
        err += process->readAllStandardError();
        QVERIFY2(!ended, err.constData());
    }
    QVERIFY2(err.contains("Waiting for another cataloguing run"), err.constData());
    QVERIFY(!process->waitForFinished(holdMs));
    if (signal == 0) {
        held.reset();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
        QVERIFY(process->readAllStandardOutput().startsWith("New CD ID: C"));
        checkCatalogue(discs + 1);
        return;
    }
    ::kill(pid_t(process->processId()), signal);
    clock.restart();
    QVERIFY(process->waitForFinished(30000));
    qInfo("ended %lld ms after the signal", clock.elapsed());
    if (signal == SIGINT) {
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 130);
    } else {
        QCOMPARE(process->exitStatus(), QProcess::CrashExit);
        QCOMPARE(process->exitCode(), signal);
    }
    QVERIFY(process->readAllStandardOutput().isEmpty());
    held.reset();
    checkCatalogue(discs);
}

QTEST_GUILESS_MAIN(KilledRunTest)
#include "killedrun_test.moc"
