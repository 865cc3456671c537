#include "search/ui/ExtensionIcons.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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

QTEST_MAIN(ExtensionIconsTest)
#include "extensionicons_test.moc"
