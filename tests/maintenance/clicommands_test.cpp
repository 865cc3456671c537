#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The maintenance commands of tessaro-cli, run as the user runs them.
class CliCommandsTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void addPrintsTheDialogsMessages();
    void discsAndExtensionsListTheCatalogue();
    void removeTakesLabelsInEitherCase();
    void errorsGoToStandardErrorWithStatusOne();

  private:
    struct Result {
        int status = -1;
        QString out;
        QString err;
    };
    Result cli(const QStringList& args);
    void write(const QString& relative);

    QTemporaryDir dir_;
    QString cli_;
    QString catalogue_;
    QString disc_;
};

void CliCommandsTest::initTestCase()
{
    cli_ = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro-cli"));
    QVERIFY2(QFileInfo(cli_).isExecutable(), qPrintable(cli_ + QStringLiteral(" is not built")));
    catalogue_ = dir_.filePath(QStringLiteral("archive.mdb"));
    Schema::createCatalogue(catalogue_);
    disc_ = dir_.filePath(QStringLiteral("disc"));
    write(QStringLiteral("a.TXT"));
    write(QStringLiteral("x/b.txt"));
    write(QStringLiteral("x/tab\tname.jpg"));
    write(QStringLiteral("x/noext"));
}

void CliCommandsTest::write(const QString& relative)
{
    const QString path = disc_ + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

CliCommandsTest::Result CliCommandsTest::cli(const QStringList& args)
{
    QProcess process;
    process.start(cli_, QStringList{QStringLiteral("--catalogue"), catalogue_} + args);
    Result result;
    if (!process.waitForFinished(60000))
        return result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void CliCommandsTest::addPrintsTheDialogsMessages()
{
    const Result cd = cli({QStringLiteral("add"), QStringLiteral("--root"), disc_});
    QCOMPARE(cd.status, 0);
    QCOMPARE(cd.out, QStringLiteral("New CD ID: C0001\n4 files found\n"));
    // The same folder again looks like the disc just catalogued: --again catalogues it all the same.
    const Result dvd = cli({QStringLiteral("add"), QStringLiteral("--type"), QStringLiteral("DVD"),
                            QStringLiteral("--root"), disc_, QStringLiteral("--again")});
    QCOMPARE(dvd.status, 0);
    QCOMPARE(dvd.out, QStringLiteral("New CD ID: D0002\n4 files found\n"));
    // Not a terminal: no progress bar.
    QVERIFY(cd.err.isEmpty());
}

void CliCommandsTest::discsAndExtensionsListTheCatalogue()
{
    const Result discs = cli({QStringLiteral("discs")});
    QCOMPARE(discs.status, 0);
    const QStringList lines = discs.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QStringList first = lines.at(0).split(QLatin1Char('\t'));
    QCOMPARE(first.size(), 5);
    QCOMPARE(first.at(0), QStringLiteral("D0002"));
    QCOMPARE(first.at(1), QString());
    QVERIFY(QDateTime::fromString(first.at(2), QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid());
    QCOMPARE(first.at(3), QStringLiteral("4"));
    QCOMPARE(first.at(4), QString()); // no location set
    QVERIFY(lines.at(1).startsWith(QStringLiteral("C0001\t")));

    const Result extensions = cli({QStringLiteral("extensions")});
    QCOMPARE(extensions.status, 0);
    QCOMPARE(extensions.out, QStringLiteral("jpg\ntxt\n"));
}

void CliCommandsTest::removeTakesLabelsInEitherCase()
{
    const Result wrongType = cli({QStringLiteral("remove"), QStringLiteral("C0002")});
    QCOMPARE(wrongType.status, 1);
    QVERIFY(wrongType.out.isEmpty());
    QVERIFY(!wrongType.err.isEmpty());
    const Result removed = cli({QStringLiteral("remove"), QStringLiteral("d0002")});
    QCOMPARE(removed.status, 0);
    Connection connection;
    connection.connect(catalogue_);
    Query query(connection);
    query.openWith(QStringLiteral("select count(*), (select count(*) from files) from cd"));
    QCOMPARE(query.value(0).toInt(), 1);
    QCOMPARE(query.value(1).toInt(), 4);
    QCOMPARE(cli({QStringLiteral("remove"), QStringLiteral("D0002")}).status, 1);
}

void CliCommandsTest::errorsGoToStandardErrorWithStatusOne()
{
    // A folder that is not there is named with the system's reason; an empty one (an unset
    // variable in a script) is no folder at all, and never the configured drive.
    const QString none = dir_.filePath(QStringLiteral("none"));
    const QString discsBefore = cli({QStringLiteral("discs")}).out;
    // A wrong command line has status 2.
    const QList<std::tuple<QStringList, int, QString>> refused = {
        {{QStringLiteral("--root"), none},
         1,
         QStringLiteral("tessaro-cli: Cannot read the folder %1: No such file or directory\n").arg(none)},
        {{QStringLiteral("--root"), QString()},
         2,
         QStringLiteral(
             "tessaro-cli: --root takes a folder; the empty name is none (see 'tessaro-cli add --help')\n")},
        {{QStringLiteral("--type"), QStringLiteral("DVD"), QStringLiteral("--root")},
         2,
         QStringLiteral("tessaro-cli: missing value after '--root' (see 'tessaro-cli add --help')\n")},
    };
    for (const auto& [args, status, error] : refused) {
        const Result add = cli(QStringList{QStringLiteral("add")} + args);
        QCOMPARE(add.status, status);
        QVERIFY(add.out.isEmpty());
        QCOMPARE(add.err, error);
    }
    QCOMPARE(cli({QStringLiteral("discs")}).out, discsBefore);

    QProcess process;
    process.start(cli_, {QStringLiteral("--catalogue"), dir_.filePath(QStringLiteral("missing.mdb")),
                         QStringLiteral("add"), QStringLiteral("--root"), disc_});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(QString::fromUtf8(process.readAllStandardError())
                .contains(QStringLiteral("Unable to insert CD if not connected to DB")));
    QVERIFY(!QFileInfo::exists(dir_.filePath(QStringLiteral("missing.mdb"))));
}

QTEST_GUILESS_MAIN(CliCommandsTest)
#include "clicommands_test.moc"
