#include "catalogue/AppPaths.h"
#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "tests/faults/AsNobody.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace
{
void setWritable(const QString& folder, bool writable)
{
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), writable ? 0755 : 0555) == 0);
}

mode_t modeOf(const QString& path)
{
    struct stat info {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}
} // namespace

// Runs as nobody when started as root: root may write every folder.
class AppPathsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int serial = 0;
    QString freshFolder()
    {
        const QString path = dir.filePath(QString::number(++serial));
        QDir().mkpath(path);
        return path;
    }

  private Q_SLOTS:
    void chooses_data()
    {
        QTest::addColumn<QString>("beside"); // what stands beside the executable as archive.mdb
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("xdg"); // XDG_DATA_HOME and XDG_CONFIG_HOME: set, unset, relative
        QTest::addColumn<QString>("catalogue");
        QTest::addColumn<QString>("settings");
        const QString exeCatalogue = QStringLiteral("exe/archive.mdb");
        const QString exeSettings = QStringLiteral("exe/tessaro.ini");
        QTest::newRow("catalogue beside") << "file" << true << "set" << exeCatalogue << exeSettings;
        QTest::newRow("read-only catalogue beside")
            << "file" << false << "set" << exeCatalogue << exeSettings;
        QTest::newRow("broken link beside") << "link" << false << "set" << exeCatalogue << exeSettings;
        QTest::newRow("none, writable folder") << "none" << true << "set" << exeCatalogue << exeSettings;
        QTest::newRow("none, read-only folder") << "none" << false << "set"
                                                << "data/tessaro/archive.mdb"
                                                << "config/tessaro/tessaro.ini";
        QTest::newRow("XDG unset") << "none" << false << "unset"
                                   << "home/.local/share/tessaro/archive.mdb"
                                   << "home/.config/tessaro/tessaro.ini";
        QTest::newRow("XDG relative") << "none" << false << "relative"
                                      << "home/.local/share/tessaro/archive.mdb"
                                      << "home/.config/tessaro/tessaro.ini";
    }
    void chooses()
    {
        QFETCH(QString, beside);
        QFETCH(bool, writable);
        QFETCH(QString, xdg);
        QFETCH(QString, catalogue);
        QFETCH(QString, settings);
        const QString root = freshFolder();
        const QString exe = root + QStringLiteral("/exe");
        QVERIFY(QDir().mkpath(exe));
        if (beside == QLatin1String("file"))
            QVERIFY(QFile(exe + QStringLiteral("/archive.mdb")).open(QIODevice::WriteOnly));
        else if (beside == QLatin1String("link"))
            QVERIFY(QFile::link(root + QStringLiteral("/gone.mdb"), exe + QStringLiteral("/archive.mdb")));
        setWritable(exe, writable);

        AppPaths::Environment environment;
        environment.home = root + QStringLiteral("/home");
        if (xdg == QLatin1String("set")) {
            environment.dataHome = root + QStringLiteral("/data/");
            environment.configHome = root + QStringLiteral("/config");
        } else if (xdg == QLatin1String("relative")) {
            environment.dataHome = QStringLiteral("data");
            environment.configHome = QStringLiteral("config");
        }
        const AppPaths paths = AppPaths::locate(exe, environment);
        setWritable(exe, true);
        QCOMPARE(paths.catalogue(), root + QLatin1Char('/') + catalogue);
        QCOMPARE(paths.settings(), root + QLatin1Char('/') + settings);
        QCOMPARE(paths.inUserFolders(), !catalogue.startsWith(QLatin1String("exe/")));
    }

    // A build keeps the help beside the executable, an install in share/tessaro/ beside bin/.
    void findsTheHelp_data()
    {
        QTest::addColumn<bool>("beside");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("found");
        QTest::newRow("beside") << true << false << "bin/help.chm";
        QTest::newRow("installed") << false << true << "share/tessaro/help.chm";
        QTest::newRow("both: beside wins") << true << true << "bin/help.chm";
        QTest::newRow("neither: named beside") << false << false << "bin/help.chm";
    }
    void findsTheHelp()
    {
        QFETCH(bool, beside);
        QFETCH(bool, installed);
        QFETCH(QString, found);
        const QString root = freshFolder();
        QVERIFY(QDir().mkpath(root + QStringLiteral("/bin")));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/share/tessaro")));
        if (beside)
            QVERIFY(QFile(root + QStringLiteral("/bin/help.chm")).open(QIODevice::WriteOnly));
        if (installed)
            QVERIFY(QFile(root + QStringLiteral("/share/tessaro/help.chm")).open(QIODevice::WriteOnly));
        QCOMPARE(AppPaths::locate(root + QStringLiteral("/bin"), {}).helpFile(),
                 root + QLatin1Char('/') + found);
    }

    // The user's folders are made on first use, private, with an empty settings file and an
    // empty catalogue the program can use; later starts keep what is there. Beside the
    // executable nothing is made: a missing catalogue stays missing.
    void firstUseMakesTheUsersFiles()
    {
        const QString root = freshFolder();
        const QString exe = root + QStringLiteral("/exe");
        QVERIFY(QDir().mkpath(exe));
        const AppPaths beside = AppPaths::locate(exe, {});
        beside.prepareFolders();
        beside.createMissingCatalogue();
        QVERIFY(QDir(exe).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());

        setWritable(exe, false);
        AppPaths::Environment environment;
        environment.home = root + QStringLiteral("/home");
        const AppPaths paths = AppPaths::locate(exe, environment);
        setWritable(exe, true);
        QVERIFY(paths.inUserFolders());
        for (int start = 0; start < 2; ++start) {
            paths.prepareFolders();
            paths.createMissingCatalogue();
            Connection connection;
            connection.connect(paths.catalogue());
            QVERIFY(!connection.readOnly());
            if (start == 0) {
                connection.exec("insert into cd (id, etichetta, tipo, data) values (1, 'x', 'C', "
                                "'2020-01-01 00:00:00')");
            } else {
                Query query(connection);
                query.openWith(QStringLiteral("select count(*) from cd"));
                QCOMPARE(query.value(0).toLongLong(), qint64(1));
            }
        }
        QCOMPARE(QFileInfo(paths.settings()).size(), qint64(0));
        QCOMPARE(modeOf(QFileInfo(paths.catalogue()).path()), mode_t(0700));
        QCOMPARE(modeOf(QFileInfo(paths.settings()).path()), mode_t(0700));
        // Only the catalogue and its log files: no scratch copy is left behind.
        const QStringList left =
            QDir(QFileInfo(paths.catalogue()).path())
                .entryList(QStringList{QStringLiteral(".archive-*")}, QDir::Files | QDir::Hidden);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }
};

int main(int argc, char** argv)
{
    if (const int status = continueAsNobody(); status >= 0)
        return status;
    QCoreApplication app(argc, argv);
    AppPathsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "apppaths_test.moc"
