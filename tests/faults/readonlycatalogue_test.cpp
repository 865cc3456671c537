#include "app/ui/TessaroApplication.h"
#include "app/ui/UnMyForm.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "maintenance/ui/UnDelCD.h"
#include "maintenance/ui/UnNewCD.h"
#include "search/ui/FilterPanel.h"
#include "search/ui/GridRequisiti.h"
#include "tests/faults/AsNobody.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WindowChild.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <sqlite3.h>
#include <sys/stat.h>

// A catalogue that cannot be written (its file, its folder or both): the program starts, lists
// and searches; cataloguing and removal report SQLite's own error text and change nothing.
// Runs as nobody when started as root, for whom every file is writable.
class ReadOnlyCatalogueTest : public QObject
{
    Q_OBJECT
  public:
    explicit ReadOnlyCatalogueTest(RecordingMessages& messages) : messages_(messages) {}

  private Q_SLOTS:
    void initTestCase();
    void startsListsSearchesAndRefusesWrites_data();
    void startsListsSearchesAndRefusesWrites();

  private:
    RecordingMessages& messages_;
    QString cli_;
};

namespace
{
const QString kReadOnly = QString::fromLatin1(sqlite3_errstr(SQLITE_READONLY));

void fill(TestCatalogue& cat)
{
    const qint64 one = cat.addDisc(QStringLiteral("C"), QStringLiteral("FIRST"));
    cat.addFile(one, QStringLiteral("\\docs\\"), QStringLiteral("report.doc"), 10);
    cat.addFile(one, QStringLiteral("\\photos\\"), QStringLiteral("a.jpg"), 20);
    cat.addFile(one, QStringLiteral("\\"), QStringLiteral("B.JPG"), 30);
    const qint64 two = cat.addDisc(QStringLiteral("D"), QStringLiteral("SECOND"));
    cat.addFile(two, QStringLiteral("\\"), QStringLiteral("notes.txt"), 40);
    cat.addFile(two, QStringLiteral("\\x\\"), QStringLiteral("c.jpg"), 50);
    SearchIndex::indexDisc(cat.connection, one);
}

// What the catalogue holds: the main file and the log, whose committed pages are data too.
QByteArray contents(const QString& path)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& name : {path, path + QStringLiteral("-wal")}) {
        QFile file(name);
        if (file.open(QIODevice::ReadOnly))
            hash.addData(file.readAll());
        hash.addData(QByteArrayView("|"));
    }
    return hash.result();
}

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

Run runCli(const QString& cli, const QStringList& args)
{
    QProcess process;
    process.start(cli, args);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}
} // namespace

void ReadOnlyCatalogueTest::initTestCase()
{
    QVERIFY2(geteuid() != 0, "permissions do not apply to root");
    cli_ = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro-cli"));
    QVERIFY(QFileInfo(cli_).isExecutable());
}

void ReadOnlyCatalogueTest::startsListsSearchesAndRefusesWrites_data()
{
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("leftInLog"); // the last writer ended without folding its log in
    QTest::newRow("folder read-only") << 0644 << 0555 << 0;
    QTest::newRow("file read-only") << 0444 << 0755 << 0;
    QTest::newRow("file and folder read-only") << 0444 << 0555 << 0;
    QTest::newRow("folder read-only, discs still in the log") << 0644 << 0555 << 1;
    QTest::newRow("file, log and folder read-only, discs in the log") << 0444 << 0555 << 1;
    // Only the log was kept beside the catalogue, not the shared-memory file that indexes it.
    QTest::newRow("folder read-only, discs in the log, no shared memory") << 0644 << 0555 << 2;
    QTest::newRow("all read-only, discs in the log, no shared memory") << 0444 << 0555 << 2;
}

void ReadOnlyCatalogueTest::startsListsSearchesAndRefusesWrites()
{
    QFETCH(int, fileMode);
    QFETCH(int, folderMode);
    QFETCH(int, leftInLog);

    QTemporaryDir holder;
    const QString folder = holder.filePath(QStringLiteral("catalogue"));
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/archive.mdb");
    {
        TestCatalogue cat;
        fill(cat);
        QStringList names{QStringLiteral("archive.mdb")};
        if (leftInLog > 0) {
            // Copied while still open: every disc is only in the log, not yet in the main file.
            names << QStringLiteral("archive.mdb-wal");
            if (leftInLog == 1)
                names << QStringLiteral("archive.mdb-shm");
            QVERIFY(QFileInfo(cat.path() + QStringLiteral("-wal")).size() > 0);
        } else {
            cat.work->close();
            cat.connection.disconnect();
        }
        for (const QString& name : names)
            QVERIFY(QFile::copy(QDir(cat.dir.path()).filePath(name), QDir(folder).filePath(name)));
    }
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        QVERIFY(::chmod(QFile::encodeName(QDir(folder).filePath(name)).constData(), mode_t(fileMode)) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), mode_t(folderMode)) == 0);
    const auto restore = qScopeGuard([&] { ::chmod(QFile::encodeName(folder).constData(), 0755); });
    const QByteArray before = contents(path);

    messages_ = RecordingMessages();
    {
        // Starts without a message, lists and searches.
        Catalogue session;
        TPersonalForm form(messages_, session, path);
        QVERIFY2(messages_.messages.isEmpty(), qPrintable(messages_.messages.join(QLatin1Char('|'))));
        QVERIFY(session.connection().connected());
        QVERIFY(session.connection().readOnly());
        TFilterPanel& panel = *windowChild<TFilterPanel>(form, "Panel4");
        QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->count(), 2);
        QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->itemText(0), QStringLiteral("D0002"));
        QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->itemText(1), QStringLiteral("C0001"));
        QCOMPARE(windowChild<QComboBox>(panel, "ComboBox2")->count(), 3);
        windowChild<QToolButton>(panel, "SpeedButton1")->click();
        QCOMPARE(windowChild<QLabel>(form, "StatusPanel1")->text(), QStringLiteral("5 files found"));
        QCOMPARE(windowChild<TGridRequisiti>(form, "GridRequisiti")->model()->rowCount(), 5);
        windowChild<QCheckBox>(panel, "CheckBox2")->setChecked(true);
        windowChild<QLineEdit>(panel, "Edit2")->setText(QStringLiteral("*.jpg"));
        windowChild<QToolButton>(panel, "SpeedButton1")->click();
        QCOMPARE(windowChild<QLabel>(form, "StatusPanel1")->text(), QStringLiteral("3 files found"));
        QVERIFY(messages_.errors.isEmpty());

        // Cataloguing: the run's error in the dialog's own message box, the dialog ready again.
        FakeDrive drive;
        drive.addFiles(3);
        TfrmNewCD newCd(
            session, [&form] { form.RefreshFilters(); }, messages_, [] { return kDrive; }, drive);
        newCd.ResetDialog();
        newCd.show();
        windowChild<QToolButton>(newCd, "SpeedButton3")->click();
        QCOMPARE(messages_.messages, QStringList{kReadOnly});
        QCOMPARE(newCd.cataloguer().NewDiscId, 0);
        QCOMPARE(windowChild<QToolButton>(newCd, "SpeedButton3")->text(), QStringLiteral("Start"));
        QVERIFY(windowChild<QComboBox>(newCd, "ComboBox1")->isEnabled());
        QVERIFY(!newCd.cataloguer().running());

        // Removal: the error in the application's default error box; the dialog stays.
        TfrmDelCD& del = *windowChild<TfrmDelCD>(form, "frmDelCD");
        del.FillDiscList();
        del.show();
        messages_.answers = {true};
        QTest::mouseClick(windowChild<QPushButton>(del, "Button2"), Qt::LeftButton);
        QCOMPARE(messages_.questions, QStringList{QStringLiteral("Remove CD from the archive?")});
        QCOMPARE(messages_.errors, QStringList{kReadOnly});
        QVERIFY(del.isVisible());
        del.hide();

        // Both discs are still there for this window.
        windowChild<QCheckBox>(panel, "CheckBox2")->setChecked(false);
        windowChild<QToolButton>(panel, "SpeedButton1")->click();
        QCOMPARE(windowChild<QLabel>(form, "StatusPanel1")->text(), QStringLiteral("5 files found"));
    }

    // The command line says the same and fails.
    const QStringList catalogue{QStringLiteral("--catalogue"), path};
    FakeDrive disc;
    disc.addFiles(2);
    const Run add = runCli(
        cli_, catalogue + QStringList{QStringLiteral("add"), QStringLiteral("--root"), disc.disc.path()});
    QCOMPARE(add.exitCode, 1);
    QCOMPARE(add.out, QByteArray());
    QCOMPARE(add.err, "tessaro-cli: " + kReadOnly.toUtf8() + '\n');
    const Run remove =
        runCli(cli_, catalogue + QStringList{QStringLiteral("remove"), QStringLiteral("C0001")});
    QCOMPARE(remove.exitCode, 1);
    QCOMPARE(remove.err, "tessaro-cli: " + kReadOnly.toUtf8() + '\n');
    const Run discs = runCli(cli_, catalogue + QStringList{QStringLiteral("discs")});
    QCOMPARE(discs.exitCode, 0);
    QCOMPARE(discs.out.count('\n'), 2);

    QCOMPARE(contents(path), before);
}

int main(int argc, char** argv)
{
    if (const int status = continueAsNobody(); status >= 0)
        return status;
    RecordingMessages messages;
    TessaroApplication app(argc, argv, messages);
    ReadOnlyCatalogueTest test(messages);
    return QTest::qExec(&test, argc, argv);
}

#include "readonlycatalogue_test.moc"
