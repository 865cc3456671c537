#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"
#include "common/TessaroError.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class ConnectionTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void connectsToACatalogue();
    void refusesWhatIsNotACatalogue_data();
    void refusesWhatIsNotACatalogue();
    void createRefusesAnExistingFile();
    void readOnlyFolderStillSearches();
};

void ConnectionTest::connectsToACatalogue()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.mdb"));
    Schema::createCatalogue(path);
    Connection connection;
    connection.connect(path);
    QVERIFY(connection.connected());
    QVERIFY(!connection.readOnly());
    Query q(connection);
    q.openWith(QStringLiteral("PRAGMA journal_mode"));
    QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
    connection.disconnect();
    QVERIFY(!connection.connected());
}

void ConnectionTest::refusesWhatIsNotACatalogue_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("text file") << "text";
    QTest::newRow("database of another program") << "foreign";
    QTest::newRow("catalogue without files table") << "half";
    QTest::newRow("folder") << "folder";
}

void ConnectionTest::refusesWhatIsNotACatalogue()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.mdb"));
    auto sql = [&](const char* text) {
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, text, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    };
    if (kind == QLatin1String("text")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'x'));
    } else if (kind == QLatin1String("foreign")) {
        sql("create table people (name text)");
    } else if (kind == QLatin1String("half")) {
        sql("create table cd (id integer primary key, etichetta text, tipo text, data text)");
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("archive.mdb")));
    } else if (kind == QLatin1String("empty")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const auto contents = [&path] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = contents();
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
    // Connecting, for reading or for writing (as the window does), never creates or changes the file.
    for (const auto access : {Connection::Access::ReadWrite, Connection::Access::ReadOnly}) {
        Connection connection;
        QVERIFY_THROWS_EXCEPTION(TessaroError, connection.connect(path, access));
        QVERIFY(!connection.connected());
        QCOMPARE(QFile::exists(path), kind != QLatin1String("missing"));
        QCOMPARE(contents(), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), filesBefore);
    }
}

void ConnectionTest::createRefusesAnExistingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.mdb"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("keep me");
    f.close();
    QVERIFY_THROWS_EXCEPTION(TessaroError, Schema::createCatalogue(path));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("keep me"));
}

void ConnectionTest::readOnlyFolderStillSearches()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.mdb"));
    Schema::createCatalogue(path);
    {
        Connection writer;
        writer.connect(path);
        Query q(writer);
        q.execWith(QStringLiteral(
            "insert into cd (id, etichetta, tipo, data) values (1, 'X', 'C', '2024-01-01 00:00:00')"));
    }
    QVERIFY(::chmod(path.toUtf8().constData(), 0444) == 0);
    QVERIFY(::chmod(dir.path().toUtf8().constData(), 0555) == 0);
    // Root writes everywhere: look at the folder as an ordinary user would, in a child process.
    const bool asRoot = geteuid() == 0;
    const pid_t child = asRoot ? fork() : 0;
    QVERIFY(child >= 0);
    if (asRoot && child > 0) {
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        ::chmod(dir.path().toUtf8().constData(), 0755);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        return;
    }
    if (asRoot && (setgid(65534) != 0 || setuid(65534) != 0))
        _exit(90);
    int failures = 0;
    try {
        Connection connection;
        connection.connect(path);
        failures += !connection.readOnly();
        Query q(connection);
        q.openWith(QStringLiteral("select count(*) as n from cd"));
        failures += q.fieldAsInt(QStringLiteral("n")) != 1;
        try {
            q.execWith(QStringLiteral("delete from cd"));
            ++failures;
        } catch (const TessaroError& error) {
            failures += !error.message().contains(QLatin1String("readonly"));
        }
    } catch (const TessaroError&) {
        failures += 10;
    }
    if (asRoot)
        _exit(failures);
    QCOMPARE(failures, 0);
    ::chmod(dir.path().toUtf8().constData(), 0755);
}

QTEST_GUILESS_MAIN(ConnectionTest)
#include "connection_test.moc"
