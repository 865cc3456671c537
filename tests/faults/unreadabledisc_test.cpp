#include "catalogue/Schema.h"
#include "common/TessaroError.h"
#include "maintenance/DiscCataloguer.h"
#include "maintenance/ui/UnNewCD.h"
#include "settings/DotFolderSetting.h"
#include "tests/faults/AsNobody.h"
#include "tests/faults/RawTree.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/WindowChild.h"

#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

// A disc is catalogued whole or not at all. A folder or file that cannot be read (an I/O
// error, a folder gone between the counting pass and the walk or during it) fails the run and
// leaves no trace of the disc; folders the user may not read are skipped, and the run says how
// many. Folders whose names begin with "." are entered only when asked.
class UnreadableDiscTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void ioErrorsFailTheRun_data();
    void ioErrorsFailTheRun();
    void vanishedFoldersFailTheRun_data();
    void vanishedFoldersFailTheRun();
    void deniedFoldersAreSkippedAndCounted();
    void dotFoldersOnlyWhenAsked_data();
    void dotFoldersOnlyWhenAsked();

  private:
    struct Run {
        int exitCode = -1;
        QByteArray out, err;
    };
    Run cli(const QStringList& args, const QStringList& prefix = {});
    QString cli_;
};

namespace
{
void write(const QString& root, const QString& relative, int size = 0)
{
    const QString path = root + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray(size, 'x'));
}

QStringList storedNames(Connection& connection)
{
    QStringList names;
    Query query(connection);
    for (query.openWith(QStringLiteral("select path || nome from files")); !query.eof(); query.next())
        names << query.value(0).toString();
    names.sort();
    return names;
}
} // namespace

void UnreadableDiscTest::initTestCase()
{
    cli_ = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro-cli"));
    QVERIFY(QFileInfo(cli_).isExecutable());
}

UnreadableDiscTest::Run UnreadableDiscTest::cli(const QStringList& args, const QStringList& prefix)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The leak checker cannot run under a tracer.
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    process.setProcessEnvironment(env);
    if (prefix.isEmpty())
        process.start(cli_, args);
    else
        process.start(prefix.first(), prefix.mid(1) + QStringList{cli_} + args);
    Run run;
    if (!process.waitForFinished(120000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// strace makes the n-th call of one system call on one folder fail, as a scratched disc does.
// The counting pass reads each folder first (listing: calls 1 and 2), then the walk.
void UnreadableDiscTest::ioErrorsFailTheRun_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("when");
    QTest::addColumn<QString>("error");
    const QString listA = QStringLiteral("Cannot read the folder d:\\a\\: Input/output error");
    QTest::newRow("listing fails in the walk") << "a"
                                               << "getdents64" << 3 << listA;
    QTest::newRow("listing fails while counting") << "a"
                                                  << "getdents64" << 1 << listA;
    QTest::newRow("subfolder cannot be opened in the walk")
        << "b"
        << "openat" << 2 << QStringLiteral("Cannot read the folder d:\\b\\c\\: Input/output error");
}

void UnreadableDiscTest::ioErrorsFailTheRun()
{
    QFETCH(QString, folder);
    QFETCH(QString, call);
    QFETCH(int, when);
    QFETCH(QString, error);
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        QSKIP("needs strace (tools/install-deps --test)");
    QTemporaryDir dir;
    const QString disc = dir.filePath(QStringLiteral("disc"));
    for (const char* file : {"a/f1.txt", "a/f2.txt", "b/c/f3.txt", "g.txt"})
        write(disc, QLatin1String(file));
    const QString catalogue = dir.filePath(QStringLiteral("archive.mdb"));
    Schema::createCatalogue(catalogue);
    const QStringList add = {QStringLiteral("--catalogue"), catalogue, QStringLiteral("add"),
                             QStringLiteral("--root"), disc};
    QCOMPARE(cli(add).exitCode, 0);

    // The same disc again, past the look-alike check, so that the walk meets the fault.
    const Run failed =
        cli(add + QStringList{QStringLiteral("--again")},
            {strace, QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"),
             QStringLiteral("/dev/null"), QStringLiteral("-P"), disc + QLatin1Char('/') + folder,
             QStringLiteral("-e"), QStringLiteral("trace=") + call, QStringLiteral("-e"),
             QStringLiteral("inject=%1:error=EIO:when=%2").arg(call).arg(when)});
    QCOMPARE(failed.exitCode, 1);
    QCOMPARE(failed.out, QByteArray());
    QCOMPARE(QString::fromUtf8(failed.err), QStringLiteral("tessaro-cli: ") + error + QLatin1Char('\n'));
    // Only the first, whole disc is there.
    const Run discs = cli({QStringLiteral("--catalogue"), catalogue, QStringLiteral("discs")});
    QCOMPARE(discs.out.count('\n'), 1);
    QVERIFY(discs.out.startsWith("C0001\t"));
    QVERIFY(discs.out.endsWith("\t4\t\n")); // no location
}

void UnreadableDiscTest::vanishedFoldersFailTheRun_data()
{
    QTest::addColumn<int>("afterFile"); // 0: between the counting pass and the walk
    QTest::addColumn<QString>("error");
    QTest::newRow("gone between count and walk")
        << 0
        << QStringLiteral("The disc changed during the run: 6 files in 4 folders were counted, 3 files in 3 "
                          "folders read");
    QTest::newRow("gone while its files are read") << 1 << QStringLiteral(": No such file or directory");
    QTest::newRow("gone after its last file") << 3 << QStringLiteral(": No such file or directory");
}

void UnreadableDiscTest::vanishedFoldersFailTheRun()
{
    QFETCH(int, afterFile);
    QFETCH(QString, error);
    FakeHost host;
    host.catalogue.addFile(host.catalogue.addDisc(QStringLiteral("C")), QStringLiteral("\\"),
                           QStringLiteral("earlier.txt"));
    FakeDrive drive;
    for (const char* folder : {"d/x", "d/y"})
        for (int i = 1; i <= 3; ++i)
            drive.addFile(QStringLiteral("%1/f%2.txt").arg(QLatin1String(folder)).arg(i));
    DiscCataloguer run(host.session(), [&drive](QChar l) { return drive.rootOf(l); });
    // Removes the folder of the file just reported (or folder y before the walk).
    const auto removeFolder = [&](const QString& drivePath) {
        QString relative = drivePath.section(QLatin1Char('\\'), 1, -2);
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        QVERIFY(QDir(drive.disc.filePath(relative)).removeRecursively());
    };
    DiscCataloguer::Events events;
    events.progress = [&](int) {
        if (run.FilesAdded == afterFile)
            removeFolder(run.searcher().FoundFiles.last());
    };
    run.setEvents(std::move(events));
    QCOMPARE(run.countFiles(QStringLiteral("e:\\")), qint64(6));
    if (afterFile == 0)
        removeFolder(QStringLiteral("\\d\\y\\f1.txt"));
    QString message;
    try {
        run.catalogue(QStringLiteral("C"), QStringLiteral("e:\\"), [] { return QString(); });
    } catch (const TessaroError& e) {
        message = e.message();
    }
    QVERIFY2(message.endsWith(error), qPrintable(message));
    if (afterFile > 0)
        QVERIFY2(message.startsWith(QStringLiteral("Cannot read the ")) &&
                     message.contains(QStringLiteral("e:\\d\\")),
                 qPrintable(message));
    QCOMPARE(run.NewDiscId, 0);
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 1);
    QCOMPARE(storedNames(host.catalogue.connection), QStringList{QStringLiteral("\\earlier.txt")});
}

// Runs as nobody (see main): root may read every folder.
void UnreadableDiscTest::deniedFoldersAreSkippedAndCounted()
{
    if (geteuid() == 0)
        QSKIP("root reads every folder");
    FakeDrive drive;
    const QString disc = drive.disc.path();
    for (const char* file : {"open/f1.txt", "open/shut/f2.txt", "listonly/f3.txt", "root.txt"})
        write(disc, QLatin1String(file));
    // Neither listed nor searched, and listed but not searched (its files have no size or date).
    QVERIFY(QFile::setPermissions(disc + QStringLiteral("/open/shut"), {}));
    QVERIFY(QFile::setPermissions(disc + QStringLiteral("/listonly"),
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    FakeHost host;
    RecordingMessages messages;
    TfrmNewCD dialog(
        host.session(), host.refresh(), messages, [] { return kDrive; }, drive);
    dialog.ResetDialog();
    dialog.show();
    QVERIFY(windowChild<QLabel>(dialog, "UnreadableLabel")->isHidden());
    dialog.startOrStop();
    QCOMPARE(messages.messages,
             (QStringList{QStringLiteral("New CD ID: C0001"), QStringLiteral("2 files found")}));
    QCOMPARE(storedNames(host.catalogue.connection),
             (QStringList{QStringLiteral("\\open\\f1.txt"), QStringLiteral("\\root.txt")}));
    QVERIFY(windowChild<QLabel>(dialog, "UnreadableLabel")->isVisible());
    QCOMPARE(windowChild<QLabel>(dialog, "UnreadableLabel")->text(),
             QStringLiteral("2 folders could not be read"));
    dialog.ResetDialog();
    QVERIFY(windowChild<QLabel>(dialog, "UnreadableLabel")->isHidden());

    QTemporaryDir dir;
    const QString catalogue = dir.filePath(QStringLiteral("archive.mdb"));
    Schema::createCatalogue(catalogue);
    const Run add = cli(
        {QStringLiteral("--catalogue"), catalogue, QStringLiteral("add"), QStringLiteral("--root"), disc});
    QCOMPARE(add.exitCode, 0);
    QCOMPARE(add.out, QByteArray("New CD ID: C0001\n2 files found\n"));
    QCOMPARE(add.err, QByteArray("2 folders could not be read (permission denied)\n"));
    rawtree::empty(disc);
}

void UnreadableDiscTest::dotFoldersOnlyWhenAsked_data()
{
    QTest::addColumn<QString>("ini"); // the value of DotFolders, "-" for none
    QTest::addColumn<bool>("commandLine");
    QTest::addColumn<bool>("entered");
    QTest::addColumn<QString>("error");
    QTest::newRow("by default") << "-" << false << false << QString();
    QTest::newRow("ini true") << "true" << false << true << QString();
    QTest::newRow("ini 1") << "1" << false << true << QString();
    QTest::newRow("ini no") << "no" << false << false << QString();
    QTest::newRow("ini neither") << "sometimes" << false << false
                                 << QStringLiteral("Invalid data type for 'DotFolders'");
    QTest::newRow("add") << "-" << true << false << QString();
    QTest::newRow("add --dot-folders") << "-" << true << true << QString();
}

void UnreadableDiscTest::dotFoldersOnlyWhenAsked()
{
    QFETCH(QString, ini);
    QFETCH(bool, commandLine);
    QFETCH(bool, entered);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString disc = dir.filePath(QStringLiteral("disc"));
    for (const char* file : {".git/config", ".hidden.txt", "a/.cache/x/y.bin", "a/b.txt", "...dots/z"})
        write(disc, QLatin1String(file));
    QStringList expected = {QStringLiteral("\\.hidden.txt"), QStringLiteral("\\a\\b.txt")};
    if (entered)
        expected << QStringLiteral("\\...dots\\z") << QStringLiteral("\\.git\\config")
                 << QStringLiteral("\\a\\.cache\\x\\y.bin");
    expected.sort();

    if (commandLine) {
        const QString path = dir.filePath(QStringLiteral("archive.mdb"));
        Schema::createCatalogue(path);
        QStringList args = {QStringLiteral("--catalogue"), path, QStringLiteral("add"),
                            QStringLiteral("--root"), disc};
        if (entered)
            args << QStringLiteral("--dot-folders");
        const Run add = cli(args);
        QCOMPARE(add.exitCode, 0);
        QCOMPARE(add.out, QStringLiteral("New CD ID: C0001\n%1 files found\n").arg(expected.size()).toUtf8());
        Connection connection;
        connection.connect(path);
        QCOMPARE(storedNames(connection), expected);
        return;
    }
    const QString iniPath = dir.filePath(QStringLiteral("tessaro.ini"));
    if (ini != QLatin1String("-")) {
        QFile file(iniPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Software]\nQuillomat\\Tessaro\\DotFolders=" + ini.toUtf8() + "\n");
    }
    TestCatalogue catalogue;
    DiscCataloguer run(catalogue.session, [](QChar) { return QString(); });
    run.searcher().mapDrive(QLatin1Char('e'), disc);
    try {
        run.searcher().DotFolders = DotFolderSetting(iniPath).enterDotFolders();
        QVERIFY(error.isEmpty());
    } catch (const TessaroError& e) {
        QCOMPARE(e.message(), error);
        return;
    }
    QCOMPARE(run.countFiles(QStringLiteral("e:\\")), qint64(expected.size()));
    QVERIFY(run.catalogue(QStringLiteral("C"), QStringLiteral("e:\\"), [] { return QString(); }));
    QCOMPARE(storedNames(catalogue.connection), expected);
}

int main(int argc, char** argv)
{
    if (const int status = continueAsNobody(); status >= 0)
        return status;
    QApplication app(argc, argv);
    UnreadableDiscTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "unreadabledisc_test.moc"
