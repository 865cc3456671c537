#include "tests/support/TestCatalogue.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QtTest>

// What tessaro-cli writes on standard output, run as a user runs it: every write is checked,
// and nothing taken from a disc or a catalogue reaches the terminal as a control character.
class OutputCliTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void failedWritesAreErrors_data();
    void failedWritesAreErrors();
    void namesAreEscapedEverywhere_data();
    void namesAreEscapedEverywhere();

  private:
    QString cli_;
    std::unique_ptr<TestCatalogue> large_;   // output far beyond any buffer
    std::unique_ptr<TestCatalogue> hostile_; // names with control characters and backslashes
};

void OutputCliTest::initTestCase()
{
    cli_ = QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli");
    QVERIFY(QFileInfo(cli_).isExecutable());
    large_ = std::make_unique<TestCatalogue>();
    large_->connection.exec("begin");
    const qint64 disc = large_->addDisc(QStringLiteral("C"));
    for (int i = 0; i < 6000; ++i)
        large_->addFile(disc, QStringLiteral("\\a folder with a rather long name\\"),
                        QStringLiteral("file number %1 of the large disc.ext%2").arg(i).arg(i % 50));
    large_->connection.exec("commit");

    hostile_ = std::make_unique<TestCatalogue>();
    const qint64 id = hostile_->addDisc(QStringLiteral("C"), QStringLiteral("A\x1b[2J\\x0A"));
    hostile_->addFile(id, QStringLiteral("\\"), QStringLiteral("lit\\x0Aname.x\x1b]0;t\x07"));
    hostile_->addFile(id, QStringLiteral("\\xmas\\"), QStringLiteral("tab\there.txt"));
    hostile_->addFile(id, QStringLiteral("\\xa\\"), QStringLiteral("x1b.txt"));
}

void OutputCliTest::failedWritesAreErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("closedPipe");
    QTest::addColumn<QByteArray>("err");
    const QByteArray full("tessaro-cli: Unable to write the output: No space left on device\n");
    // A full disk: large outputs used to abort while unwinding, small ones ended with status 0.
    QTest::newRow("search, full disk") << QStringList{"search"} << false << full;
    QTest::newRow("search --csv, full disk") << QStringList{"search", "--csv"} << false << full;
    QTest::newRow("search --count, full disk") << QStringList{"search", "--count"} << false << full;
    QTest::newRow("discs, full disk") << QStringList{"discs"} << false << full;
    QTest::newRow("extensions, full disk") << QStringList{"extensions"} << false << full;
    QTest::newRow("help, full disk") << QStringList{"--help"} << false << full;
    // The reader went away while SIGPIPE is ignored: the command ends quietly.
    QTest::newRow("search, closed pipe") << QStringList{"search"} << true << QByteArray();
    QTest::newRow("search --csv, closed pipe") << QStringList{"search", "--csv"} << true << QByteArray();
}

void OutputCliTest::failedWritesAreErrors()
{
    QFETCH(QStringList, args);
    QFETCH(bool, closedPipe);
    QFETCH(QByteArray, err);
    QProcess process;
    const QStringList command = QStringList{cli_, QStringLiteral("--catalogue"), large_->path()} + args;
    if (closedPipe) {
        process.start(QStringLiteral("bash"),
                      QStringList{QStringLiteral("-c"),
                                  QStringLiteral("trap '' PIPE; \"$@\" | head -c 10 >/dev/null; "
                                                 "exit ${PIPESTATUS[0]}"),
                                  QStringLiteral("bash")} +
                          command);
    } else {
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(command.first(), command.mid(1));
    }
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.readAllStandardError(), err);
    QCOMPARE(process.exitCode(), 1);
}

void OutputCliTest::namesAreEscapedEverywhere_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("out");
    // Control characters as \xHH; a backslash as \x5C where an x and two hex digits follow it, so
    // that no name reads as an escape. Other backslashes stay as they are.
    QTest::newRow("discs") << QStringList{"discs"}
                           << QStringLiteral("C0001\tA\\x1B[2J\\x5Cx0A\t2024-05-01 10:00:00\t3\t\n");
    QTest::newRow("extensions") << QStringList{"extensions"} << QStringLiteral("txt\nx\\x1B]0;t\n");
    QTest::newRow("search") << QStringList{"search"}
                            << QStringLiteral(
                                   "C0001\t\\lit\\x5Cx0Aname.x\\x1B]0;t\\x07\t2020-01-01 00:00:00\t0\n"
                                   "C0001\t\\xa\\x5Cx1b.txt\t2020-01-01 00:00:00\t0\n"
                                   "C0001\t\\xmas\\tab\\x09here.txt\t2020-01-01 00:00:00\t0\n");
    QTest::newRow("drives") << QStringList{"drives"} << QString();
}

void OutputCliTest::namesAreEscapedEverywhere()
{
    QFETCH(QStringList, args);
    QFETCH(QString, out);
    QString program = cli_;
    QTemporaryDir beside;
    if (args.first() == QLatin1String("drives")) {
        // The drive table comes from tessaro.ini beside the executable: a copy gets its own.
        program = beside.filePath(QStringLiteral("tessaro-cli"));
        QVERIFY(QFile::copy(cli_, program));
        QVERIFY(
            QFile::copy(cli_ + QStringLiteral("-scan"), program + QStringLiteral("-scan"))); // runs drives
        const QString root = beside.filePath(QStringLiteral("mnt\x1b[2J\\x0A"));
        QVERIFY(QDir().mkpath(root));
        QSettings ini(beside.filePath(QStringLiteral("tessaro.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("Software/Quillomat/Tessaro/Drives/x"), root);
        ini.sync();
        out = QStringLiteral("x\tfixed\t") + beside.path() + QStringLiteral("/mnt\\x1B[2J\\x5Cx0A\t\n");
    }
    QProcess process;
    process.start(program, QStringList{QStringLiteral("--catalogue"), hostile_->path()} + args);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QString lines = QString::fromUtf8(process.readAllStandardOutput());
    if (args.first() == QLatin1String("drives"))
        lines = lines.mid(lines.indexOf(QLatin1String("\nx\t")) + 1);
    QCOMPARE(lines, out);
}

QTEST_GUILESS_MAIN(OutputCliTest)
#include "output_cli_test.moc"
