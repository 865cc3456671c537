#include "search/ExtensionIcons.h"
#include "search/ScratchFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace
{
// Runs the test body with the working directory set to a folder, and restores it.
class WorkingDirectory
{
  public:
    explicit WorkingDirectory(const QString& path) : previous_(QDir::currentPath())
    {
        QDir::setCurrent(path);
    }
    ~WorkingDirectory() { QDir::setCurrent(previous_); }

  private:
    QString previous_;
};

QStringList scratchFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("app.*")}, QDir::AllEntries | QDir::System | QDir::Hidden);
}
} // namespace

class ExtensionIconsTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void typesGetTheDesktopsIcon_data();
    void typesGetTheDesktopsIcon();
    void scratchFileIsMadeAndRemoved();
    void existingNamesAreNeverTouched();
    void noScratchFileOutsideTheWorkingDirectory();
    void unwritableWorkingDirectoryStillGivesIcons();
};

void ExtensionIconsTest::typesGetTheDesktopsIcon_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("icon");
    QTest::newRow("jpg") << "jpg"
                         << "image-jpeg";
    QTest::newRow("txt") << "txt"
                         << "text-plain";
    QTest::newRow("pdf") << "pdf"
                         << "application-pdf";
    QTest::newRow("unknown type") << "zqzq"
                                  << "application-octet-stream";
    QTest::newRow("placeholder") << "- None -"
                                 << "application-octet-stream";
    QTest::newRow("empty") << ""
                           << "application-octet-stream";
}

void ExtensionIconsTest::typesGetTheDesktopsIcon()
{
    QFETCH(QString, extension);
    QFETCH(QString, icon);
    QTemporaryDir dir;
    WorkingDirectory cwd(dir.path());
    ExtensionIcons icons;
    const QIcon got = icons.IconForExtension(extension);
    QCOMPARE(got.name(), icon);
    QVERIFY(!got.pixmap(16, 16).isNull());
    QVERIFY(scratchFiles(dir.path()).isEmpty());
}

void ExtensionIconsTest::scratchFileIsMadeAndRemoved()
{
    QTemporaryDir dir;
    WorkingDirectory cwd(dir.path());
    {
        const ScratchFile scratch(QStringLiteral("txt"));
        QVERIFY(scratch.created());
        QCOMPARE(scratch.name(), QStringLiteral("app.txt"));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("app.txt"))).isFile());
        QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("app.txt"))).size(), 0);
    }
    QVERIFY(scratchFiles(dir.path()).isEmpty());
}

void ExtensionIconsTest::existingNamesAreNeverTouched()
{
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    WorkingDirectory cwd(dir.path());
    QFile mine(dir.filePath(QStringLiteral("app.doc")));
    QVERIFY(mine.open(QIODevice::WriteOnly));
    mine.write("the user's own file");
    mine.close();
    // A link of the scratch name must not be followed: its target is not created.
    const QString target = elsewhere.filePath(QStringLiteral("target.png"));
    QVERIFY(QFile::link(target, dir.filePath(QStringLiteral("app.png"))));

    {
        const ScratchFile doc(QStringLiteral("doc"));
        QVERIFY(!doc.created());
        const ScratchFile png(QStringLiteral("png"));
        QVERIFY(!png.created());
    }
    ExtensionIcons icons;
    QCOMPARE(icons.IconForExtension(QStringLiteral("png")).name(), QStringLiteral("image-png"));
    QVERIFY(!icons.IconForExtension(QStringLiteral("doc")).isNull());

    QVERIFY(mine.open(QIODevice::ReadOnly));
    QCOMPARE(mine.readAll(), QByteArray("the user's own file"));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("app.png"))).isSymLink());
    QVERIFY(!QFileInfo::exists(target));
}

void ExtensionIconsTest::noScratchFileOutsideTheWorkingDirectory()
{
    QTemporaryDir dir;
    WorkingDirectory cwd(dir.path());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("app.x")));
    {
        const ScratchFile scratch(QStringLiteral("x/evil"));
        QVERIFY(!scratch.created());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("app.x/evil"))));
    }
    ExtensionIcons icons;
    QVERIFY(!icons.IconForExtension(QStringLiteral("x/evil")).isNull());
    QVERIFY(QDir(dir.filePath(QStringLiteral("app.x"))).isEmpty());
}

void ExtensionIconsTest::unwritableWorkingDirectoryStillGivesIcons()
{
    // The superuser writes everywhere but in /proc; anyone else is kept out by the mode bits.
    QTemporaryDir dir;
    QString folder = QStringLiteral("/proc");
    if (::geteuid() != 0) {
        folder = dir.path();
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    }
    {
        WorkingDirectory cwd(folder);
        const ScratchFile scratch(QStringLiteral("jpg"));
        QVERIFY(!scratch.created());
        ExtensionIcons icons;
        const QList<QIcon> list =
            icons.BuildExtensionIcons({QStringLiteral("jpg"), QStringLiteral("txt"), QStringLiteral("qqzz")});
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.at(0).name(), QStringLiteral("image-jpeg"));
        QCOMPARE(list.at(1).name(), QStringLiteral("text-plain"));
        QVERIFY(!list.at(2).isNull());
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_MAIN(ExtensionIconsTest)
#include "extensionicons_test.moc"
