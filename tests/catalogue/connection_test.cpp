#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"
#include "catalogue/Statement.h"
#include "common/TessaroError.h"
#include "tests/support/ConnectionProbe.h"
#include "tests/support/TestCatalogue.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
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
    void sqlRunsOneWay_data();
    void sqlRunsOneWay();
    void statementCacheIsBounded();
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

void ConnectionTest::sqlRunsOneWay_data()
{
    QTest::addColumn<bool>("asStatement"); // else through Connection::exec
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("rowsAfter"); // in t, which holds one row before
    QTest::newRow("exec, numbered parameter")
        << false << QByteArray("insert into t values (?1)") << true << 1;
    QTest::newRow("exec, named parameter") << false << QByteArray("insert into t values (:v)") << true << 1;
    QTest::newRow("exec, bare parameter") << false << QByteArray("delete from t where x = ?") << true << 1;
    QTest::newRow("exec, statements without values")
        << false << QByteArray("insert into t values (2); insert into t values (3)") << false << 3;
    QTest::newRow("statement, a second statement")
        << true << QByteArray("insert into t values (2); drop table t") << true << 1;
    QTest::newRow("statement, a second select") << true << QByteArray("select 1; select 2") << true << 1;
    QTest::newRow("statement, text after the end") << true << QByteArray("select 1; nonsense") << true << 1;
    QTest::newRow("statement, a closing semicolon and comments")
        << true << QByteArray("insert into t values (?1) /* x */ ; -- done\n ;") << false << 2;
}

// Values are bound by a Statement, never spliced into text that exec runs; a Statement runs
// all of its text or refuses it, never its first statement alone.
void ConnectionTest::sqlRunsOneWay()
{
    QFETCH(bool, asStatement);
    QFETCH(QByteArray, sql);
    QFETCH(bool, refused);
    QFETCH(int, rowsAfter);
    TestCatalogue cat;
    cat.connection.exec("create table t (x integer); insert into t values (1)");
    bool threw = false;
    try {
        if (asStatement) {
            Statement statement(cat.connection, sql);
            if (statement.parameterCount() > 0)
                statement.bind(1, 2);
            statement.step();
        } else {
            cat.connection.exec(sql.constData());
        }
    } catch (const TessaroError&) {
        threw = true;
    }
    QCOMPARE(threw, refused);
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from t")).toInt(), rowsAfter);
}

namespace
{
// The statements prepared on the connection, by text, with how often each has run.
std::map<QByteArray, int> prepared(const Connection& connection)
{
    std::map<QByteArray, int> found;
    sqlite3* db = ConnectionProbe::handle(connection);
    for (sqlite3_stmt* stmt = sqlite3_next_stmt(db, nullptr); stmt; stmt = sqlite3_next_stmt(db, stmt))
        found[QByteArray(sqlite3_sql(stmt))] += sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_RUN, 0);
    return found;
}

QByteArray numbered(int i)
{
    return "select " + QByteArray::number(i) + " union all select " + QByteArray::number(i + 1000);
}
} // namespace

// The cache keeps at most its limit of statements, the least recently used going first, and
// never one that a Statement holds (ASan would see one finalized under it).
void ConnectionTest::statementCacheIsBounded()
{
    TestCatalogue cat;
    Connection& connection = cat.connection;
    const int limit = int(Connection::StatementCacheLimit);
    const QByteArray often = "select 'often'";
    for (int i = 0; i < 4 * limit; ++i) {
        Statement(connection, often).step();
        Statement(connection, numbered(i)).step();
    }
    auto kept = prepared(connection);
    QVERIFY2(int(kept.size()) <= limit, QByteArray::number(qulonglong(kept.size())));
    // The one used between all the others was never prepared again; the oldest went.
    QCOMPARE(kept[often], 4 * limit);
    QVERIFY(!kept.count(numbered(0)));
    QVERIFY(kept.count(numbered(4 * limit - 1)));

    // More statements held at once than the cache keeps, then many others run meanwhile.
    std::vector<std::unique_ptr<Statement>> held;
    for (int i = 0; i < limit + 12; ++i) {
        held.push_back(std::make_unique<Statement>(connection, numbered(10000 + i)));
        QVERIFY(held.back()->step());
    }
    for (int i = 0; i < 2 * limit; ++i)
        Statement(connection, numbered(20000 + i)).step();
    for (int i = 0; i < int(held.size()); ++i) {
        QCOMPARE(held[i]->integer(0), qint64(10000 + i));
        QVERIFY(held[i]->step());
        QCOMPARE(held[i]->integer(0), qint64(11000 + i));
        QVERIFY(!held[i]->step());
    }
    held.clear();
    kept = prepared(connection);
    QVERIFY2(int(kept.size()) <= limit, QByteArray::number(qulonglong(kept.size())));
}

QTEST_GUILESS_MAIN(ConnectionTest)
#include "connection_test.moc"
