#include "tests/support/CliRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>
#include <sys/stat.h>
#include <utime.h>

// add --hash and verify over a real folder: each kind of damage a dying disc shows is found,
// named and counted, the other files are still verified, and the result is kept.
class VerifyCliTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void verifyFindsEachFault_data();
    void verifyFindsEachFault();
    void unreadableFilesAreCataloguedWithoutHash();
    void imagesAreReadForTheirBytes_data();
    void imagesAreReadForTheirBytes();

  private:
    CliRun cli(const QStringList& args, const QString& eioOn = {});
    QString strace_;
    QTemporaryDir dir_;
};

namespace
{
const char* const kFiles[] = {"a.txt", "sub/b.bin", "sub/c.txt", "d.txt"};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Rewrites a file keeping its modification time, as bit rot would.
void rewriteKeepingDate(const QString& path, const QByteArray& bytes)
{
    struct stat before;
    QVERIFY(::stat(QFile::encodeName(path).constData(), &before) == 0);
    writeFile(path, bytes);
    const struct utimbuf times = {before.st_atime, before.st_mtime};
    QVERIFY(::utime(QFile::encodeName(path).constData(), &times) == 0);
}

qint64 count(const QString& catalogue, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(catalogue).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    qint64 value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}
} // namespace

void VerifyCliTest::initTestCase()
{
    strace_ = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace_.isEmpty())
        QFAIL("needs strace (tools/install-deps --test)");
    QVERIFY(dir_.isValid());
}

CliRun VerifyCliTest::cli(const QStringList& args, const QString& eioOn)
{
    if (eioOn.isEmpty())
        return CliRun::of(args);
    // Every read of that one file fails, as on a scratched sector; the leak checker cannot run traced.
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    process.setProcessEnvironment(env);
    process.start(strace_,
                  QStringList{QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"),
                              QStringLiteral("/dev/null"), QStringLiteral("-P"), eioOn, QStringLiteral("-e"),
                              QStringLiteral("trace=read"), QStringLiteral("-e"),
                              QStringLiteral("inject=read:error=EIO"),
                              QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli")} +
                      args);
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

void VerifyCliTest::verifyFindsEachFault_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("problems"); // kind and name of each problem line
    QTest::addColumn<QString>("summary");
    QTest::newRow("untouched") << "none" << QStringList{}
                               << "4 files verified: 4 ok, 0 changed, 0 unreadable, 0 missing, 0 new;";
    QTest::newRow("flipped byte, same size and date")
        << "flip" << QStringList{QStringLiteral("changed\t\\sub\\b.bin\tcontent")}
        << "4 files verified: 3 ok, 1 changed, 0 unreadable, 0 missing, 0 new;";
    QTest::newRow("shortened") << "shorten" << QStringList{QStringLiteral("changed\t\\a.txt\tsize: now 2")}
                               << "4 files verified: 3 ok, 1 changed, 0 unreadable, 0 missing, 0 new;";
    QTest::newRow("removed and added")
        << "swap" << QStringList{QStringLiteral("new\t\\sub\\e.txt\t"), QStringLiteral("missing\t\\d.txt\t")}
        << "4 files verified: 3 ok, 0 changed, 0 unreadable, 1 missing, 1 new;";
    QTest::newRow("read error")
        << "eio"
        << QStringList{QStringLiteral("unreadable\t\\sub\\b.bin\tInput/output error after 0 of 200000 bytes")}
        << "4 files verified: 3 ok, 0 changed, 1 unreadable, 0 missing, 0 new;";
}

void VerifyCliTest::verifyFindsEachFault()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, problems);
    QFETCH(QString, summary);
    const QString base = dir_.filePath(
        QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')));
    const QString disc = base + QStringLiteral("/disc");
    const QString catalogue = base + QStringLiteral("/archive.mdb");
    for (const char* name : kFiles)
        writeFile(disc + QLatin1Char('/') + QLatin1String(name),
                  QByteArray(qstrcmp(name, "sub/b.bin") == 0 ? 200000 : 7, name[0]));
    const QStringList at = {QStringLiteral("--catalogue"), catalogue};
    QCOMPARE(CliRun::of(at + QStringList{QStringLiteral("create-catalogue")}).status, 0);
    QCOMPARE(CliRun::of(at + QStringList{QStringLiteral("add"), QStringLiteral("--root"), disc,
                                         QStringLiteral("--hash"), QStringLiteral("-q")})
                 .status,
             0);
    QCOMPARE(count(catalogue, "select count(*) from file_hash"), 4);

    QString eioOn;
    if (fault == QLatin1String("flip")) {
        QByteArray bytes(200000, 's');
        bytes[123456] = 't';
        rewriteKeepingDate(disc + QStringLiteral("/sub/b.bin"), bytes);
    } else if (fault == QLatin1String("shorten")) {
        rewriteKeepingDate(disc + QStringLiteral("/a.txt"), "aa");
    } else if (fault == QLatin1String("swap")) {
        QVERIFY(QFile::remove(disc + QStringLiteral("/d.txt")));
        writeFile(disc + QStringLiteral("/sub/e.txt"), "new");
    } else if (fault == QLatin1String("eio")) {
        eioOn = disc + QStringLiteral("/sub/b.bin");
    }
    const CliRun run = cli(
        at + QStringList{QStringLiteral("verify"), QStringLiteral("C0001"), QStringLiteral("--root"), disc},
        eioOn);
    QCOMPARE(run.status, problems.isEmpty() ? 0 : 1);
    QStringList lines = QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(!lines.isEmpty() && lines.last().startsWith(summary), run.out + run.err);
    lines.removeLast();
    QStringList found;
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 6);
        QCOMPARE(fields[1], QStringLiteral("C0001"));
        found << QStringList{fields[0], fields[2], fields[5]}.join(QLatin1Char('\t'));
    }
    QCOMPARE(found, problems);

    // Kept whole; info shows it, and only a disc with problems asks for attention.
    QCOMPARE(count(catalogue, "select count(*) from verification"), 1);
    const QString info =
        QString::fromUtf8(CliRun::of(at + QStringList{QStringLiteral("info"), QStringLiteral("C0001")}).out);
    QVERIFY2(info.contains(problems.isEmpty() ? QStringLiteral(", no problems\n") : QStringLiteral(", 1 ")),
             qPrintable(info));
    const CliRun attention =
        CliRun::of(at + QStringList{QStringLiteral("discs"), QStringLiteral("--attention")});
    QCOMPARE(attention.out.startsWith("C0001\t"), !problems.isEmpty());
    const CliRun stale =
        CliRun::of(at + QStringList{QStringLiteral("discs"), QStringLiteral("--attention"),
                                    QStringLiteral("--before"), QStringLiteral("2999-01-01")});
    QVERIFY(stale.out.startsWith("C0001\t"));

    // Removing the disc takes its hashes and verifications along.
    QCOMPARE(CliRun::of(at + QStringList{QStringLiteral("remove"), QStringLiteral("C0001")}).status, 0);
    QCOMPARE(
        count(catalogue, "select (select count(*) from file_hash) + (select count(*) from verification)"), 0);
}

void VerifyCliTest::unreadableFilesAreCataloguedWithoutHash()
{
    const QString disc = dir_.filePath(QStringLiteral("unhashed/disc"));
    const QString catalogue = dir_.filePath(QStringLiteral("unhashed/archive.mdb"));
    for (const char* name : kFiles)
        writeFile(disc + QLatin1Char('/') + QLatin1String(name), name);
    const QStringList at = {QStringLiteral("--catalogue"), catalogue};
    QCOMPARE(CliRun::of(at + QStringList{QStringLiteral("create-catalogue")}).status, 0);
    // A catalogue from before the tables gets them from upgrade-catalogue.
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(catalogue).constData(), &db);
    QCOMPARE(sqlite3_exec(db, "drop table file_hash; drop table verification", nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(db);
    const CliRun refused = CliRun::of(
        at + QStringList{QStringLiteral("add"), QStringLiteral("--root"), disc, QStringLiteral("--hash")});
    QCOMPARE(refused.status, 1);
    QCOMPARE(count(catalogue, "select count(*) from cd"), 0);
    QCOMPARE(CliRun::of(at + QStringList{QStringLiteral("upgrade-catalogue")}).status, 0);

    const CliRun run =
        cli(at + QStringList{QStringLiteral("add"), QStringLiteral("--root"), disc, QStringLiteral("--hash")},
            disc + QStringLiteral("/sub/c.txt"));
    QCOMPARE(run.status, 3);
    QVERIFY2(
        run.err.contains("\\sub\\c.txt: not hashed (Input/output error after 0 bytes)\n1 file not hashed\n"),
        run.err);
    QCOMPARE(count(catalogue, "select count(*) from files"), 4);
    QCOMPARE(
        count(catalogue,
              "select count(*) from file_hash h join files f on f.id = h.id_file where f.nome <> 'c.txt'"),
        3);

    // hash goes on with the file that has none; its hashes are those add --hash writes.
    const CliRun later = cli(
        at + QStringList{QStringLiteral("hash"), QStringLiteral("C0001"), QStringLiteral("--root"), disc});
    QCOMPARE(later.status, 0);
    QCOMPARE(later.out, QByteArray("C0001: 1 files hashed, 3 hashed before, 0 not hashed\n"));
    QCOMPARE(cli(at + QStringList{QStringLiteral("add"), QStringLiteral("--root"), disc,
                                  QStringLiteral("--hash"), QStringLiteral("--again"), QStringLiteral("-q")})
                 .status,
             0);
    QCOMPARE(count(catalogue,
                   "select count(*) from file_hash a join files f on f.id = a.id_file and f.id_cd = 1 "
                   "join files g on g.id_cd = 2 and g.path = f.path and g.nome = f.nome join file_hash b "
                   "on b.id_file = g.id and b.hash = a.hash"),
             4);
    QCOMPARE(count(catalogue, "select count(distinct hash) from file_hash"), 4);
}

void VerifyCliTest::imagesAreReadForTheirBytes_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("problem"); // kind, name and detail of the one problem line
    for (const char* kind : {"iso", "udf"}) {
        QTest::addRow("%s untouched", kind) << kind << "none" << QString();
        QTest::addRow("%s flipped byte", kind) << kind << "flip"
                                               << "changed\t\\sub\\b.bin\tcontent";
        QTest::addRow("%s cut", kind) << kind << "cut"
                                      << "unreadable\t\\sub\\b.bin\tcut short after 98304 of 200000 bytes";
    }
}

// hash --root IMAGE keeps the hashes add --hash keeps from a folder; verify reads every file's
// bytes from the image's sectors (ISO 9660 through libarchive, UDF through libudfread), finds
// a flipped byte whose size and date stayed, and reads a cut image as far as it goes while the
// files before the cut are still verified whole.
void VerifyCliTest::imagesAreReadForTheirBytes()
{
    QFETCH(QString, kind);
    QFETCH(QString, fault);
    QFETCH(QString, problem);
    const QString base = dir_.filePath(
        QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')));
    const QString tree = base + QStringLiteral("/tree");
    const QString image = base + QStringLiteral("/disc.iso");
    const QString catalogue = base + QStringLiteral("/archive.mdb");
    QByteArray big(200000, 0);
    for (int i = 0; i < big.size(); ++i)
        big[i] = char((i * 7 + i / 251) % 251);
    writeFile(tree + QStringLiteral("/a.txt"), "alpha");
    writeFile(tree + QStringLiteral("/d.txt"), "delta");
    writeFile(tree + QStringLiteral("/sub/b.bin"), big);
    QStringList make{QStringLiteral("-quiet"),
                     QStringLiteral("-V"),
                     QStringLiteral("BYTES"),
                     QStringLiteral("-J"),
                     QStringLiteral("-r"),
                     QStringLiteral("-o"),
                     image,
                     tree};
    if (kind == QLatin1String("udf"))
        make.prepend(QStringLiteral("-udf"));
    QCOMPARE(QProcess::execute(QStringLiteral("genisoimage"), make), 0);
    const QStringList at = {QStringLiteral("--catalogue"), catalogue};
    QCOMPARE(CliRun::of(at + QStringList{QStringLiteral("create-catalogue")}).status, 0);
    QCOMPARE(CliRun::of(at + QStringList{QStringLiteral("add"), QStringLiteral("--root"), image,
                                         QStringLiteral("-q")})
                 .status,
             0);
    const CliRun hashed = CliRun::of(
        at + QStringList{QStringLiteral("hash"), QStringLiteral("C0001"), QStringLiteral("--root"), image});
    QCOMPARE(hashed.out, QByteArray("C0001: 3 files hashed, 0 hashed before, 0 not hashed\n"));
    // The same hashes as the files' own.
    QCOMPARE(count(catalogue,
                   "select count(*) from file_hash h join files f on f.id = h.id_file and f.nome = "
                   "'b.bin'"),
             1);
    QFile file(image);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qint64 at0 = file.readAll().indexOf(big.left(4096));
    QVERIFY(at0 > 0);
    if (fault == QLatin1String("flip")) {
        QVERIFY(file.seek(at0 + 123456));
        QCOMPARE(file.write(QByteArray(1, char(big[123456] ^ 0x20))), 1);
    } else if (fault == QLatin1String("cut")) {
        QVERIFY(file.resize(at0 + 98304));
    }
    file.close();

    const CliRun run = CliRun::of(
        at + QStringList{QStringLiteral("verify"), QStringLiteral("C0001"), QStringLiteral("--root"), image});
    QStringList lines = QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(!lines.isEmpty(), run.err);
    const QString summary = lines.takeLast();
    QStringList found;
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 6);
        found << QStringList{fields[0], fields[2], fields[5]}.join(QLatin1Char('\t'));
    }
    QCOMPARE(found, problem.isEmpty() ? QStringList() : QStringList{problem});
    QVERIFY2(summary.startsWith(problem.isEmpty() ? QStringLiteral("3 files verified: 3 ok, ")
                                                  : QStringLiteral("3 files verified: 2 ok, ")),
             qPrintable(summary));
    QCOMPARE(run.status, problem.isEmpty() ? 0 : 1);
}

QTEST_GUILESS_MAIN(VerifyCliTest)
#include "verify_cli_test.moc"
