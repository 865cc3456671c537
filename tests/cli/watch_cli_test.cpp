// tessaro-cli watch against a mock UDisks2 on a private bus: the lines it prints, cataloguing
// with --add (look-alike refused, a failing mount), and its end by SIGTERM.
#include "tests/support/CliRun.h"
#include "tests/support/MockUDisks.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

class WatchCliTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void addCataloguesNewMediaAndEndsOnSigterm();
    void sigtermDuringARunLeavesTheDiscWholeOrNone();
};

namespace
{
// Waits until the process has printed at least `lines` lines; returns them.
QStringList linesOf(QProcess& process, QByteArray& out, int lines)
{
    QElapsedTimer waited;
    waited.start();
    while (out.count('\n') < lines && waited.elapsed() < 30000 && process.state() == QProcess::Running) {
        process.waitForReadyRead(100);
        out += process.readAllStandardOutput();
    }
    return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
} // namespace

void WatchCliTest::addCataloguesNewMediaAndEndsOnSigterm()
{
    MockUDisks mock;
    QVERIFY2(mock.ok(), qPrintable(mock.error()));
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(QStringLiteral("archive.mdb"));
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli");
    QCOMPARE(
        CliRun::of({QStringLiteral("--catalogue"), catalogue, QStringLiteral("create-catalogue")}).status, 0);
    const QString disc = dir.filePath(QStringLiteral("disc"));
    QVERIFY(QDir().mkpath(disc + QStringLiteral("/docs")));
    for (const char* name : {"a.txt", "docs/b.txt", "docs/c.txt"}) {
        QFile file(disc + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("text");
    }

    // Started before the service, which it waits for.
    QProcess watch;
    watch.start(cli, {QStringLiteral("--catalogue"), catalogue, QStringLiteral("watch"),
                      QStringLiteral("--add"), QStringLiteral("--type"), QStringLiteral("DVD")});
    QVERIFY(watch.waitForStarted());
    QTest::qWait(500);
    QVERIFY2(mock.startService(QStringLiteral(R"({"optical_drives": ["sr0"], "media": [{"name": "sdb1",
                 "label": "PHOTOS", "uuid": "AB-12", "mount_point": "%1"}]})")
                                   .arg(disc)),
             qPrintable(mock.error()));
    QByteArray out;
    QCOMPARE(linesOf(watch, out, 2),
             (QStringList{QStringLiteral("appeared\t-\t/dev/sdb1\tPHOTOS\tAB-12\tnew"),
                          QStringLiteral("added\t-\t/dev/sdb1\tPHOTOS\tAB-12\tD0001")}));

    // Taken out and put in again: the look-alike check refuses it, and the watch goes on.
    QVERIFY(mock.remove(QStringLiteral("sdb1")));
    QVERIFY(
        mock.insert(QStringLiteral("sdb1"), QStringLiteral("PHOTOS"), QStringLiteral("AB-12"), false, disc));
    // A disc that cannot be mounted is named with the reason.
    QVERIFY(mock.insert(QStringLiteral("sr0"), QStringLiteral("BACKUP"), QStringLiteral("2019"), true));
    QCOMPARE(linesOf(watch, out, 5).mid(2),
             (QStringList{QStringLiteral("gone\t-\t/dev/sdb1\tPHOTOS\tAB-12\tnew"),
                          QStringLiteral("appeared\t-\t/dev/sdb1\tPHOTOS\tAB-12\tnew"),
                          QStringLiteral("appeared\t-\t/dev/sr0\tBACKUP\t2019\tnew")}));
    QByteArray err;
    QElapsedTimer waited;
    waited.start();
    while (err.count('\n') < 2 && waited.elapsed() < 30000) {
        watch.waitForReadyRead(100);
        err += watch.readAllStandardError();
    }
    QVERIFY2(err.contains("/dev/sdb1 not added: ") && err.contains("D0001"), err.constData());
    QVERIFY2(err.contains("/dev/sr0 not added: Cannot mount it: Error mounting"), err.constData());

    ::kill(pid_t(watch.processId()), SIGTERM);
    QVERIFY(watch.waitForFinished(10000));
    QCOMPARE(watch.exitStatus(), QProcess::NormalExit);
    QCOMPARE(watch.exitCode(), 0);
    QVERIFY(watch.readAllStandardOutput().isEmpty());
    // One disc, of the type asked for, with the medium's label.
    QProcess discs;
    discs.start(cli, {QStringLiteral("--catalogue"), catalogue, QStringLiteral("discs")});
    QVERIFY(discs.waitForFinished());
    const QList<QByteArray> rows = discs.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(rows.size(), 1);
    QVERIFY2(rows.first().startsWith("D0001\tPHOTOS\t"), rows.first().constData());
    mock.stopService();
}

// SIGTERM as soon as the medium is told, while it is being catalogued: the watch ends, and the
// catalogue holds the whole disc (when the run had already finished) or nothing of it.
void WatchCliTest::sigtermDuringARunLeavesTheDiscWholeOrNone()
{
    MockUDisks mock;
    QVERIFY2(mock.ok(), qPrintable(mock.error()));
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(QStringLiteral("archive.mdb"));
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli");
    QCOMPARE(
        CliRun::of({QStringLiteral("--catalogue"), catalogue, QStringLiteral("create-catalogue")}).status, 0);
    const QString disc = dir.filePath(QStringLiteral("disc"));
    constexpr int kFiles = 3000;
    for (int folder = 0; folder < 30; ++folder) {
        const QString path = disc + QStringLiteral("/f%1").arg(folder);
        QVERIFY(QDir().mkpath(path));
        for (int i = 0; i < kFiles / 30; ++i) {
            QFile file(path + QStringLiteral("/%1.txt").arg(i));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }
    QVERIFY2(mock.startService(), qPrintable(mock.error()));
    QProcess watch;
    watch.start(cli,
                {QStringLiteral("--catalogue"), catalogue, QStringLiteral("watch"), QStringLiteral("--add")});
    QVERIFY(watch.waitForStarted());
    QTest::qWait(500);
    QVERIFY(mock.insert(QStringLiteral("sdb1"), QStringLiteral("SHELF"), QStringLiteral("77"), false, disc));
    QByteArray out;
    QCOMPARE(linesOf(watch, out, 1).size(), 1);
    ::kill(pid_t(watch.processId()), SIGTERM);
    QVERIFY(watch.waitForFinished(30000));
    QCOMPARE(watch.exitStatus(), QProcess::NormalExit);
    QCOMPARE(watch.exitCode(), 0);
    out += watch.readAllStandardOutput();
    const bool added = out.contains("\nadded\t");
    QProcess count;
    count.start(cli, {QStringLiteral("--catalogue"), catalogue, QStringLiteral("search"),
                      QStringLiteral("--count"), QStringLiteral("--file"), QStringLiteral("*")});
    QVERIFY(count.waitForFinished());
    QCOMPARE(count.readAllStandardOutput().trimmed(), added ? QByteArray::number(kFiles) : QByteArray("0"));
    mock.stopService();
}

QTEST_GUILESS_MAIN(WatchCliTest)
#include "watch_cli_test.moc"
