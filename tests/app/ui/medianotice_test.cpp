// The main window's notice of inserted media, against a mock UDisks2 on a private bus: absent
// while "Notice inserted discs" is off; on, it offers a catalogued disc's Update and Verify (their
// windows for it) and Ignore and a new disc's Catalogue…, which opens New CD on that drive.
#include "app/ui/MediaNotice.h"
#include "app/ui/UnMyForm.h"
#include "catalogue/DiscRecord.h"
#include "maintenance/ui/DiscUpdateWindow.h"
#include "maintenance/ui/UnNewCD.h"
#include "maintenance/ui/VerifyWindow.h"
#include "settings/ui/UnSettings.h"
#include "tests/support/MockUDisks.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WhenShown.h"
#include "tests/support/WindowChild.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>

namespace
{

QToolButton* link(QWidget& form, const char* name)
{
    return form.findChild<QToolButton*>(QLatin1String(name));
}

// Ticks or clears the box in Settings and confirms.
void setNotice(QWidget& form, bool on)
{
    whenShown<TfrmSettings>([on](TfrmSettings* dialog) {
        windowChild<QCheckBox>(*dialog, "MediaCheckBox")->setChecked(on);
        windowChild<QPushButton>(*dialog, "Button2")->click();
    });
    windowChild<QToolButton>(form, "ToolButton3")->click();
}
} // namespace

class MediaNoticeTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void noticeOffersWhatFitsTheMedium();
};

void MediaNoticeTest::noticeOffersWhatFitsTheMedium()
{
    MockUDisks mock;
    QVERIFY2(mock.ok(), qPrintable(mock.error()));
    TestCatalogue cat;
    const qint64 id = cat.addDisc(QStringLiteral("C"), QStringLiteral("PHOTOS"));
    DiscMedium medium;
    medium.fileSystemId = QStringLiteral("AB-CD");
    DiscRecords::writeCatalogued(
        cat.connection,
        {id, QStringLiteral("C"), QStringLiteral("2024-05-01 10:00:00"), QStringLiteral("PHOTOS")}, 0, {},
        medium);
    // The media's mount points are folders mapped to drive letters m and n.
    const QString known = cat.dir.filePath(QStringLiteral("known"));
    const QString fresh = cat.dir.filePath(QStringLiteral("fresh"));
    QVERIFY(QDir().mkpath(known) && QDir().mkpath(fresh));
    QFile file(fresh + QStringLiteral("/a.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("text");
    file.close();
    const QString ini = cat.dir.filePath(QStringLiteral("tessaro.ini"));
    {
        QSettings settings(ini, QSettings::IniFormat);
        settings.setValue(QStringLiteral("Software/Quillomat/Tessaro/Drives/m"), known);
        settings.setValue(QStringLiteral("Software/Quillomat/Tessaro/Drives/n"), fresh);
    }
    QVERIFY2(mock.startService(
                 QStringLiteral(
                     R"({"media": [{"name": "sdb1", "label": "PHOTOS", "uuid": "AB-CD", "mount_point": "%1",
                                   "mounted": true}]})")
                     .arg(known)),
             qPrintable(mock.error()));

    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path(), ini);
    form.resize(800, 400);
    form.show();
    // Off: nothing of it in the window.
    QTest::qWait(300);
    QVERIFY(!form.findChild<MediaNotice*>());

    setNotice(form, true);
    auto* notice = form.findChild<MediaNotice*>();
    QVERIFY(notice);
    auto* text = notice->findChild<QLabel*>(QStringLiteral("MediaNoticeText"));
    QTRY_VERIFY(notice->isVisible());
    QCOMPARE(text->text(), QStringLiteral("C0001 is in drive m:"));
    QVERIFY(link(form, "MediaNoticeUpdate")->isVisible() && link(form, "MediaNoticeIgnore")->isVisible());
    QVERIFY(link(form, "MediaNoticeVerify")->isVisible() && !link(form, "MediaNoticeCatalogue")->isVisible());
    QString verifying;
    whenShown<VerifyWindow>([&](VerifyWindow* dialog) {
        verifying = dialog->windowTitle();
        dialog->reject();
    });
    QTest::mouseClick(link(form, "MediaNoticeVerify"), Qt::LeftButton);
    QCOMPARE(verifying, QStringLiteral("Verify C0001"));

    QString shown;
    whenShown<DiscUpdateWindow>([&](DiscUpdateWindow* dialog) {
        shown = windowChild<QLabel>(*dialog, "LabelDisc")->text();
        dialog->reject();
    });
    QTest::mouseClick(link(form, "MediaNoticeUpdate"), Qt::LeftButton);
    QVERIFY2(shown.contains(QLatin1String("C0001")), qPrintable(shown));

    // A new disc comes in, then the desktop mounts it: it has a drive letter only then.
    QVERIFY(mock.insert(QStringLiteral("sdc1"), QStringLiteral("HOLIDAY"), QStringLiteral("12-34"), false,
                        fresh));
    QTest::qWait(200);
    QCOMPARE(text->text(), QStringLiteral("C0001 is in drive m:"));
    QVERIFY2(mock.mount(QStringLiteral("sdc1")), qPrintable(mock.error()));
    QTRY_COMPARE(text->text(), QStringLiteral("New disc in drive n:"));
    QVERIFY(link(form, "MediaNoticeCatalogue")->isVisible() && !link(form, "MediaNoticeUpdate")->isVisible());
    QString drive;
    whenShown<TfrmNewCD>([&](TfrmNewCD* dialog) {
        drive = windowChild<QLabel>(*dialog, "RootLabel")->text();
        windowChild<QToolButton>(*dialog, "SpeedButton3")->click();
        windowChild<QPushButton>(*dialog, "Button2")->click();
    });
    QTest::mouseClick(link(form, "MediaNoticeCatalogue"), Qt::LeftButton);
    QCOMPARE(drive, QStringLiteral("n:"));
    QVERIFY2(messages.messages.contains(QStringLiteral("New CD ID: C0002")),
             qPrintable(messages.messages.join('|')));
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from files where id_cd = 2")).toInt(), 1);

    // Taken out: the catalogued disc is offered again, until ignored.
    QVERIFY(mock.remove(QStringLiteral("sdc1")));
    QTRY_COMPARE(text->text(), QStringLiteral("C0001 is in drive m:"));
    QTest::mouseClick(link(form, "MediaNoticeIgnore"), Qt::LeftButton);
    QVERIFY(!notice->isVisible());
    // Nothing was written but the disc the user catalogued.
    QCOMPARE(cat.count(QStringLiteral("cd")), 2);

    setNotice(form, false);
    QVERIFY(!notice->following());
    QVERIFY(!notice->isVisible());
    mock.stopService();
}

QTEST_MAIN(MediaNoticeTest)
#include "medianotice_test.moc"
