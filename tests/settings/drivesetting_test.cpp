#include "common/TessaroError.h"
#include "settings/DriveSetting.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const QString key = QStringLiteral("Software/Quillomat/Tessaro/Drive");

void writeFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QVariant stored(const QString& path)
{
    return QSettings(path, QSettings::IniFormat).value(key);
}

QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const TessaroError& e) {
        return e.message();
    }
    return {};
}
} // namespace

class DriveSettingTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int serial = 0;
    QString freshPath() { return dir.filePath(QStringLiteral("t%1/tessaro.ini").arg(++serial)); }

  private Q_SLOTS:
    void missingOrEmptyValueBecomesD()
    {
        const QString path = freshPath();
        QCOMPARE(DriveSetting(path).ReadDriveSetting(), QLatin1Char('d'));
        QVERIFY(QFile::exists(path));
        QCOMPARE(stored(path), QVariant(QStringLiteral("d")));

        const QString empty = freshPath();
        QDir().mkpath(QFileInfo(empty).path());
        writeFile(empty, "[Software]\nQuillomat\\Tessaro\\Drive=\nQuillomat\\Tessaro\\Other=1\n");
        QCOMPARE(DriveSetting(empty).ReadDriveSetting(), QLatin1Char('d'));
        QCOMPARE(stored(empty), QVariant(QStringLiteral("d")));
        QCOMPARE(
            QSettings(empty, QSettings::IniFormat).value(QStringLiteral("Software/Quillomat/Tessaro/Other")),
            QVariant(QStringLiteral("1")));
    }

    void storedTextIsReadAsItsFirstCharacterAndNotWritten()
    {
        const QString path = freshPath();
        QSettings(path, QSettings::IniFormat).setValue(key, QStringLiteral("E:\\"));
        const QByteArray before = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(!before.isEmpty());
        QCOMPARE(DriveSetting(path).ReadDriveSetting(), QLatin1Char('E'));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    void writeStoresTheLetterAndNothingIsCached()
    {
        const QString path = freshPath();
        const DriveSetting setting(path);
        setting.WriteDriveSetting(QLatin1Char('e'));
        QCOMPARE(stored(path), QVariant(QStringLiteral("e")));
        QCOMPARE(setting.ReadDriveSetting(), QLatin1Char('e'));
        // Someone else changes the file: the next read sees it.
        writeFile(path, "[Software]\nQuillomat\\Tessaro\\Drive=gh\n");
        QCOMPARE(setting.ReadDriveSetting(), QLatin1Char('g'));
    }

    void valueThatIsNotTextFails()
    {
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).path());
        writeFile(path, "[Software]\nQuillomat\\Tessaro\\Drive=e, f\n");
        QCOMPARE(errorOf([&] { DriveSetting(path).ReadDriveSetting(); }),
                 QStringLiteral("Invalid data type for 'Drive'"));
        writeFile(path, "[Software]\nQuillomat\\Tessaro\\Drive=@ByteArray(e)\n");
        QCOMPARE(errorOf([&] { DriveSetting(path).ReadDriveSetting(); }),
                 QStringLiteral("Invalid data type for 'Drive'"));
        // Nothing was written over the bad value.
        QCOMPARE(stored(path), QVariant(QByteArray("e")));
    }

    void storeThatCannotBeWrittenFails()
    {
        // A file where the store's folder should be: neither root nor anyone else can write there.
        const QString blocker = dir.filePath(QStringLiteral("blocker"));
        writeFile(blocker, "x");
        const DriveSetting setting(blocker + QStringLiteral("/tessaro.ini"));
        QCOMPARE(errorOf([&] { setting.ReadDriveSetting(); }),
                 QStringLiteral("Failed to set data for 'Drive'"));
        QCOMPARE(errorOf([&] { setting.WriteDriveSetting(QLatin1Char('e')); }),
                 QStringLiteral("Failed to set data for 'Drive'"));
    }

    // A store this user cannot read is never written over: the write-back of "d" fails instead
    // of replacing what the file holds (a write-only file included).
    void unreadableStoreIsReportedAndKept_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("no access") << 0000;
        QTest::newRow("write-only") << 0200;
    }
    void unreadableStoreIsReportedAndKept()
    {
        QFETCH(int, mode);
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).path());
        const QByteArray text =
            "[Software]\nQuillomat\\Tessaro\\Drive=e\nQuillomat\\Tessaro\\Drives\\e=/mnt/iso\n";
        writeFile(path, text);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
        QString error;
        size_t mappings = 1;
        {
            // Root reads everything: the check runs as nobody.
            const bool switched = geteuid() == 0 && seteuid(65534) == 0;
            if (geteuid() == 0)
                QSKIP("cannot take a user that permissions apply to");
            error = errorOf([&] { DriveSetting(path).ReadDriveSetting(); });
            mappings = DriveSetting(path).DriveMappings().size();
            if (switched)
                QVERIFY(seteuid(0) == 0);
        }
        ::chmod(QFile::encodeName(path).constData(), 0644);
        QCOMPARE(error, QStringLiteral("Failed to set data for 'Drive'"));
        QCOMPARE(mappings, size_t(0));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), text);
    }

    // A store that is no regular file is a key that cannot be opened: every call returns at once
    // and reading the letter fails with the write-back's error; the thing itself is left alone.
    void storeThatIsNoFileFails_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("link to an endless device") << "/dev/zero";
    }
    void storeThatIsNoFileFails()
    {
        QFETCH(QString, kind);
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).path());
        const QByteArray name = QFile::encodeName(path);
        if (kind == QLatin1String("fifo"))
            QVERIFY(::mkfifo(name.constData(), 0644) == 0);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(path));
        else
            QVERIFY(QFile::link(kind, path));
        auto calls = std::async(std::launch::async, [path] {
            const DriveSetting setting(path);
            return QStringList{errorOf([&] { setting.ReadDriveSetting(); }),
                               errorOf([&] { setting.WriteDriveSetting(QLatin1Char('e')); }),
                               QString::number(setting.DriveMappings().size())};
        });
        if (calls.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            // A reader blocked on the FIFO: writers that come and go let it see an end each time.
            for (int i = 0;
                 i < 100 && calls.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready;
                 ++i) {
                const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
            }
            QFAIL("reading the store blocked");
        }
        const QString failed = QStringLiteral("Failed to set data for 'Drive'");
        QCOMPARE(calls.get(), (QStringList{failed, failed, QStringLiteral("0")}));
        const QFileInfo after(path);
        QVERIFY(!after.isFile());
    }

    // Whatever the file holds, reading it gives a character or one of the two errors.
    void garbageNeverCrashes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("outcome"); // the letter read, or the error
        const QString invalid = QStringLiteral("Invalid data type for 'Drive'");
        QTest::newRow("empty file") << QByteArray() << "d";
        QTest::newRow("only blanks and line breaks") << QByteArray(" \n\r\n\t\n") << "d";
        QTest::newRow("key without a value") << QByteArray("[Software]\nQuillomat\\Tessaro\\Drive\n") << "d";
        QTest::newRow("section never closed")
            << QByteArray("[Software\nQuillomat\\Tessaro\\Drive=e\n") << "e";
        QTest::newRow("quoted value") << QByteArray("[Software]\nQuillomat\\Tessaro\\Drive=\"f\"\n") << "f";
        QTest::newRow("blank value") << QByteArray("[Software]\nQuillomat\\Tessaro\\Drive=\" \"\n") << " ";
        QTest::newRow("a rectangle") << QByteArray("[Software]\nQuillomat\\Tessaro\\Drive=@Rect(1 2 3 4)\n")
                                     << invalid;
        QTest::newRow("a broken variant")
            << QByteArray("[Software]\nQuillomat\\Tessaro\\Drive=@Variant(\\0\\0\\0\\x7f\\xff)\n") << invalid;
        QTest::newRow("NUL bytes") << QByteArray("[Software]\nQuillomat\\Tessaro\\Drive=\0e\n", 35) << "d";
        // Qt reads nothing from it, rewrites it with the "d" and still reports the sync as failed.
        QTest::newRow("UTF-16 with its mark")
            << QByteArray("\xff\xfe[\0S\0]\0\n\0D\0=\0e\0\n\0", 16) << "Failed to set data for 'Drive'";
        QTest::newRow("a very long line")
            << QByteArray("[Software]\nQuillomat\\Tessaro\\Drive=").append(QByteArray(1 << 20, 'z')) << "z";
        QByteArray noise(4096, '\0');
        quint32 state = 12345;
        for (char& byte : noise) {
            state = state * 1103515245u + 12345u;
            byte = char(state >> 24);
        }
        QTest::newRow("random bytes") << noise << "";
    }
    void garbageNeverCrashes()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, outcome);
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).path());
        writeFile(path, content);
        QString got;
        const QString error = errorOf([&] { got = DriveSetting(path).ReadDriveSetting(); });
        DriveSetting(path).DriveMappings();
        if (outcome.isEmpty())
            return; // anything but a crash
        QCOMPARE(error.isEmpty() ? got : error, outcome);
        // A value that is not text is never written over.
        if (error == QLatin1String("Invalid data type for 'Drive'")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), content);
        }
    }

    void mappingsAreReadForTheDriveTable()
    {
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).path());
        writeFile(path, "[Software]\n"
                        "Quillomat\\Tessaro\\Drive=e\n"
                        "Quillomat\\Tessaro\\Drives\\e=/dev/sr1\n"
                        "Quillomat\\Tessaro\\Drives\\X=/media/iso\n"
                        "Quillomat\\Tessaro\\Drives\\long=/nowhere\n"
                        "Quillomat\\Tessaro\\Drives\\y=a, b\n");
        const std::map<QChar, QString> mappings = DriveSetting(path).DriveMappings();
        const std::map<QChar, QString> expected = {{QLatin1Char('e'), QStringLiteral("/dev/sr1")},
                                                   {QLatin1Char('x'), QStringLiteral("/media/iso")}};
        QVERIFY(mappings == expected);
        QCOMPARE(DriveSetting(freshPath()).DriveMappings().size(), size_t(0));
    }
};

QTEST_GUILESS_MAIN(DriveSettingTest)
#include "drivesetting_test.moc"
