#include "tests/support/CliRun.h"
#include "tests/support/TestCatalogue.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <sqlite3.h>

// Files that are not catalogues, and catalogues read by commands that only read: every command
// leaves them byte for byte as they were; only create-catalogue makes a catalogue, and only of
// a missing or empty file.
class ForeignFileCliTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void commandsLeaveTheFileAsItWas_data();
    void commandsLeaveTheFileAsItWas();
};

namespace
{
void otherProgram(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

QStringList folderList(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}
} // namespace

void ForeignFileCliTest::commandsLeaveTheFileAsItWas_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<int>("status");

    const QList<QStringList> reading = {
        {QStringLiteral("discs")},
        {QStringLiteral("extensions")},
        {QStringLiteral("search"), QStringLiteral("--count"), QStringLiteral("--file"),
         QStringLiteral("*a*")},
        {QStringLiteral("tree"), QStringLiteral("C0001")},
        {QStringLiteral("duplicates")},
        {QStringLiteral("info"), QStringLiteral("C0001")},
    };
    const QList<QStringList> writing = {
        {QStringLiteral("add"), QStringLiteral("--root"), QStringLiteral("@disc")},
        {QStringLiteral("remove"), QStringLiteral("C0001")},
        {QStringLiteral("info"), QStringLiteral("C0001"), QStringLiteral("--location"), QStringLiteral("x")},
        {QStringLiteral("upgrade-catalogue")},
        {QStringLiteral("create-catalogue")},
    };
    // Another program's databases in both journal modes, an empty file, and a catalogue that
    // another tool keeps in rollback-journal mode, which reading must not switch to WAL.
    for (const char* kind : {"empty", "foreign", "foreign-wal", "catalogue-rollback"}) {
        const bool catalogue = QByteArray(kind) == "catalogue-rollback";
        for (const QStringList& command : reading)
            QTest::addRow("%s %s", kind, qPrintable(command.join(QLatin1Char(' '))))
                << kind << command << (catalogue ? 0 : 1);
        if (catalogue)
            continue;
        for (const QStringList& command : writing)
            QTest::addRow("%s %s", kind, qPrintable(command.join(QLatin1Char(' '))))
                << kind << command
                << (QByteArray(kind) == "empty" && command.first() == QLatin1String("create-catalogue") ? 0
                                                                                                        : 1);
    }
}

void ForeignFileCliTest::commandsLeaveTheFileAsItWas()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, command);
    QFETCH(int, status);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("other.db"));
    if (kind == QLatin1String("empty")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind == QLatin1String("foreign")) {
        otherProgram(path, "create table people (name text); insert into people values ('Ann')");
    } else if (kind == QLatin1String("foreign-wal")) {
        otherProgram(path,
                     "pragma journal_mode=wal; create table cd (id integer); insert into cd values (1)");
    } else {
        {
            TestCatalogue made;
            made.addDisc(QStringLiteral("C"));
            made.addFile(1, QStringLiteral("\\a\\"), QStringLiteral("a.txt"), 3);
            made.session.disconnect();
            QVERIFY(QFile::copy(made.path(), path));
        }
        otherProgram(path, "pragma journal_mode=delete");
    }
    QTemporaryDir disc;
    {
        QFile file(disc.filePath(QStringLiteral("f.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    command.replaceInStrings(QStringLiteral("@disc"), disc.path());
    const QByteArray before = contents(path);
    const QStringList filesBefore = folderList(dir.path());

    const CliRun run = CliRun::of(QStringList{QStringLiteral("--catalogue"), path} + command);

    QVERIFY2(run.status == status, run.err.constData());
    if (status == 0 && kind == QLatin1String("empty")) {
        // create-catalogue made the empty file a catalogue.
        QCOMPARE(CliRun::of({QStringLiteral("--catalogue"), path, QStringLiteral("discs")}).status, 0);
        return;
    }
    QCOMPARE(contents(path), before);
    // A reader of a WAL database makes its index files, as the owner's own readers do.
    if (kind != QLatin1String("foreign-wal"))
        QCOMPARE(folderList(dir.path()), filesBefore);
}

QTEST_GUILESS_MAIN(ForeignFileCliTest)
#include "foreignfile_cli_test.moc"
