#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

// A cataloguing run in a child process (tessaro-cli add) killed or interrupted at random
// moments: afterwards the catalogue holds whole discs only and no file row without its disc.
class KilledRunTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void killedRunsLeaveNoTrace();
    void ctrlCStopsAndRemovesTheDisc();

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

QTEST_GUILESS_MAIN(KilledRunTest)
#include "killedrun_test.moc"
