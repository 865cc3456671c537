#include "common/TessaroError.h"
#include "settings/DriveSetting.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

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
