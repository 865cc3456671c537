#include "settings/DriveSetting.h"
#include "settings/HashSetting.h"
#include "settings/ui/DrivePicker.h"
#include "settings/ui/UnSettings.h"
#include "tests/maintenance/ImageFixture.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/WindowChild.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const QString key = QStringLiteral("Software/Quillomat/Tessaro/Drive");

std::vector<DriveEntry> cannedDrives()
{
    std::vector<DriveEntry> drives(5);
    drives[0] = {QLatin1Char('c'), DriveKind::Fixed, QStringLiteral("/"), {}, QStringLiteral("System"), {}};
    drives[1] = {QLatin1Char('e'), DriveKind::Optical, {}, QStringLiteral("/dev/sr0"), {}, {}};
    drives[2] = {QLatin1Char('f'),
                 DriveKind::Removable,
                 QStringLiteral("/media/STICK"),
                 {},
                 QStringLiteral("STICK"),
                 {}};
    drives[3] = {QLatin1Char('n'),
                 DriveKind::Network,
                 QStringLiteral("/mnt/n"),
                 {},
                 {},
                 QStringLiteral("//Srv/Share")};
    drives[4] = {
        QLatin1Char('r'), DriveKind::Ram, QStringLiteral("/mnt/ram"), {}, QStringLiteral("Scratch"), {}};
    return drives;
}

QStringList lineTexts(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out.append(box->itemText(i));
    return out;
}
} // namespace

class SettingsDialogTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int serial = 0;
    RecordingMessages messages;
    int listings = 0;

    QString freshPath() { return dir.filePath(QStringLiteral("s%1.ini").arg(++serial)); }
    TfrmSettings::DriveSource source()
    {
        return [this] {
            ++listings;
            std::vector<DriveEntry> drives = cannedDrives();
            std::reverse(drives.begin(), drives.end());
            return drives;
        };
    }
    static void store(const QString& path, const QString& value)
    {
        QSettings(path, QSettings::IniFormat).setValue(key, value);
    }
    static QVariant stored(const QString& path) { return QSettings(path, QSettings::IniFormat).value(key); }

  private Q_SLOTS:
    void init()
    {
        messages = RecordingMessages();
        listings = 0;
    }

    void layoutCaptionsAndHints()
    {
        const DriveSetting setting(freshPath());
        TfrmSettings form(messages, setting, source());
        QCOMPARE(form.windowTitle(), QStringLiteral("Settings"));
        // A row more than 127 for each of "Find names anywhere", "Hash file contents" and "Notice
        // inserted discs", one below the other.
        QCOMPARE(form.size(), QSize(228, 187));
        QCOMPARE(windowChild<QFrame>(form, "Panel1")->geometry(), QRect(0, 0, 228, 187));
        const auto* hashes = windowChild<QCheckBox>(form, "HashesCheckBox");
        QCOMPARE(hashes->text(), QStringLiteral("&Hash file contents"));
        QCOMPARE(hashes->geometry(),
                 windowChild<QCheckBox>(form, "NamesCheckBox")->geometry().translated(0, 20));
        QCOMPARE(windowChild<QCheckBox>(form, "MediaCheckBox")->geometry(),
                 hashes->geometry().translated(0, 20));
        QCOMPARE(form.findChild<DrivePicker*>(QStringLiteral("DriveComboBox1")),
                 windowChild<DrivePicker>(form, "DriveComboBox1"));
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->geometry(), QRect(66, 36, 145, 19));
        QCOMPARE(windowChild<QPushButton>(form, "Button1")->geometry(), QRect(22, 75, 51, 22));
        QCOMPARE(windowChild<QPushButton>(form, "Button2")->geometry(), QRect(151, 75, 51, 22));
        QCOMPARE(windowChild<QLabel>(form, "Label1")->pos(), QPoint(14, 39));
        QCOMPARE(windowChild<QLabel>(form, "Label1")->text(), QStringLiteral("CD Drive:"));
        QCOMPARE(windowChild<QPushButton>(form, "Button1")->text(), QStringLiteral("&Cancel"));
        QCOMPARE(windowChild<QPushButton>(form, "Button2")->text(), QStringLiteral("&OK"));
        QCOMPARE(windowChild<QStatusBar>(form, "StatusBar1")->height(), 19);
        QVERIFY(windowChild<QStatusBar>(form, "StatusBar1")->geometry().bottom() < 187);
        QVERIFY(windowChild<QStatusBar>(form, "StatusBar1")->geometry().bottom() >= 187 - 4);
        QVERIFY(windowChild<QCheckBox>(form, "MediaCheckBox")->geometry().bottom() <
                windowChild<QStatusBar>(form, "StatusBar1")->y());
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->toolTip(), QStringLiteral("CDROM Drive"));
        QCOMPARE(windowChild<QPushButton>(form, "Button1")->toolTip(), QStringLiteral("Cancel"));
        QCOMPARE(windowChild<QPushButton>(form, "Button2")->toolTip(), QStringLiteral("Confirm"));
        // The caption bar's row stays free for the window chrome.
        for (const QWidget* w : windowChild<QFrame>(form, "Panel1")
                                    ->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            QVERIFY2(w->y() >= 20, qPrintable(w->objectName()));
        QVERIFY(!windowChild<QPushButton>(form, "Button1")->autoDefault() &&
                !windowChild<QPushButton>(form, "Button2")->autoDefault());

        QStatusTipEvent tip(QStringLiteral("CDROM Drive"));
        QApplication::sendEvent(windowChild<DrivePicker>(form, "DriveComboBox1"), &tip);
        QCOMPARE(windowChild<QStatusBar>(form, "StatusBar1")->currentMessage(),
                 QStringLiteral("CDROM Drive"));
    }

    void listShowsEveryDriveOnceWithItsKind()
    {
        const QString path = freshPath();
        store(path, QStringLiteral("E"));
        const DriveSetting setting(path);
        TfrmSettings form(messages, setting, source());
        QCOMPARE(listings, 0);
        form.show();
        QCOMPARE(lineTexts(windowChild<DrivePicker>(form, "DriveComboBox1")),
                 (QStringList{QStringLiteral("c: [system]"), QStringLiteral("e: []"), QStringLiteral("f:"),
                              QStringLiteral("n: //srv/share"), QStringLiteral("r: [scratch]"),
                              DrivePicker::mapLine()}));
        for (int i = 0; i < windowChild<DrivePicker>(form, "DriveComboBox1")->count() - 1; ++i)
            QVERIFY(!windowChild<DrivePicker>(form, "DriveComboBox1")->itemIcon(i).isNull());
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->currentText(), QStringLiteral("e: []"));
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->drive(), QLatin1Char('e'));
        form.hide();
        form.show();
        QCOMPARE(listings, 1);

        DriveEntry unnamedShare{QLatin1Char('m'), DriveKind::Network, {}, {}, QStringLiteral("Lbl"), {}};
        QCOMPARE(DrivePicker::lineText(unnamedShare), QStringLiteral("m: [lbl]"));
        QVERIFY(messages.errors.isEmpty());
    }

    void mapsAFolderOrImageToTheNextFreeLetter()
    {
        QTemporaryDir roots;
        const QString folder = roots.filePath(QStringLiteral("photos"));
        QVERIFY(ImageFixture::writeTree(
            folder, {{QStringLiteral("a.jpg"), 1, QStringLiteral("2005-08-01 10:00:00")}}));
        const QString image = roots.filePath(QStringLiteral("holiday.iso"));
        const QString failure =
            ImageFixture::run(QStringLiteral("genisoimage"),
                              {QStringLiteral("-quiet"), QStringLiteral("-V"), QStringLiteral("Holiday_2005"),
                               QStringLiteral("-o"), image, folder});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        const QString path = freshPath();
        store(path, QStringLiteral("c"));
        const DriveSetting setting(path);
        // The machine's drives as canned, with the mappings of the store as the drive table reads them.
        const auto drives = [&] {
            ++listings;
            std::vector<DriveEntry> listed = cannedDrives();
            DriveTable::Sources sources;
            sources.mappings = setting.DriveMappings();
            sources.readLabel = [](const QString&) { return QString(); };
            const DriveTable table(sources);
            for (const DriveEntry& mapped : table.drives())
                listed.push_back(mapped);
            return listed;
        };
        QStringList chosen{image, folder, image + QStringLiteral("/"), QString()};
        TfrmSettings form(messages, setting, drives, nullptr, [&](QWidget*) { return chosen.takeFirst(); });
        form.show();
        const auto mapOne = [&] {
            Q_EMIT windowChild<DrivePicker>(form, "DriveComboBox1")
                ->activated(windowChild<DrivePicker>(form, "DriveComboBox1")->count() - 1);
        };

        // The first free letter is d; the image's label keeps its case; the list shows it at once.
        mapOne();
        QCOMPARE(QSettings(path, QSettings::IniFormat)
                     .value(QStringLiteral("Software/Quillomat/Tessaro/Drives/d")),
                 QVariant(image));
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->currentText(),
                 QStringLiteral("d: [Holiday_2005]"));
        QCOMPARE(
            windowChild<DrivePicker>(form, "DriveComboBox1")->currentData(DrivePicker::RootRole).toString(),
            image);
        // The folder takes the next letter no drive uses; the same image again keeps its letter.
        mapOne();
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->currentText(), QStringLiteral("g: []"));
        mapOne();
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->drive(), QLatin1Char('d'));
        QCOMPARE(QSettings(path, QSettings::IniFormat).allKeys().size(), 3);
        // Cancelling the chooser changes nothing; the mapping line is never the picked line.
        mapOne();
        QTRY_COMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->currentText(),
                     QStringLiteral("d: [Holiday_2005]"));
        QCOMPARE(listings, 4); // the first showing and each mapping, not the cancelled one
        QTest::mouseClick(windowChild<QPushButton>(form, "Button2"), Qt::LeftButton);
        QCOMPARE(stored(path), QVariant(QStringLiteral("d")));
        QVERIFY(messages.errors.isEmpty());
    }

    void okStoresTheChosenLetterAndCancelStoresNothing()
    {
        const QString path = freshPath();
        store(path, QStringLiteral("E"));
        const DriveSetting setting(path);
        TfrmSettings form(messages, setting, source());
        form.show();
        // A stored upper-case letter comes back in lower case.
        QTest::mouseClick(windowChild<QPushButton>(form, "Button2"), Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(stored(path), QVariant(QStringLiteral("e")));

        form.show();
        windowChild<DrivePicker>(form, "DriveComboBox1")->setCurrentIndex(2); // as the user would pick "f:"
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->drive(), QLatin1Char('f'));
        QTest::mouseClick(windowChild<QPushButton>(form, "Button1"), Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(stored(path), QVariant(QStringLiteral("e")));

        // Showing again reads the store afresh: the cancelled pick is gone.
        form.show();
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->drive(), QLatin1Char('e'));
        windowChild<DrivePicker>(form, "DriveComboBox1")->setCurrentIndex(3);
        // The hash box writes Hashes only when changed, and reads it back on the next showing.
        auto* hashes = windowChild<QCheckBox>(form, "HashesCheckBox");
        QVERIFY(!hashes->isChecked());
        QVERIFY(!QSettings(path, QSettings::IniFormat)
                     .contains(QStringLiteral("Software/Quillomat/Tessaro/Hashes")));
        QTest::mouseClick(hashes, Qt::LeftButton);
        QVERIFY(hashes->isChecked());
        QTest::mouseClick(windowChild<QPushButton>(form, "Button2"), Qt::LeftButton);
        QCOMPARE(stored(path), QVariant(QStringLiteral("n")));
        QCOMPARE(HashSetting(path).hashContents(), true);
        form.show();
        QVERIFY(hashes->isChecked());
        hashes->setChecked(false);
        QTest::mouseClick(windowChild<QPushButton>(form, "Button1"), Qt::LeftButton);
        QCOMPARE(HashSetting(path).hashContents(), true);
    }

    void absentDriveSurvivesAConfirmedDialog()
    {
        const QString path = freshPath();
        store(path, QStringLiteral("f"));
        const DriveSetting setting(path);
        TfrmSettings form(messages, setting, source());
        form.show();
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->currentText(), QStringLiteral("f:"));
        form.hide();
        // No listed drive is d: the line stays, the letter changes.
        store(path, QString());
        form.show();
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->currentText(), QStringLiteral("f:"));
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->drive(), QLatin1Char('d'));
        QTest::mouseClick(windowChild<QPushButton>(form, "Button2"), Qt::LeftButton);
        QCOMPARE(stored(path), QVariant(QStringLiteral("d")));
    }

    void failedReadStillOpensOnThePreviousDrive()
    {
        const QString path = freshPath();
        store(path, QStringLiteral("n"));
        const DriveSetting setting(path);
        TfrmSettings form(messages, setting, source());
        form.show();
        form.hide();
        QSettings(path, QSettings::IniFormat)
            .setValue(key, QStringList{QStringLiteral("e"), QStringLiteral("f")});
        form.show();
        QVERIFY(form.isVisible());
        QCOMPARE(messages.errors, QStringList{QStringLiteral("Invalid data type for 'Drive'")});
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->drive(), QLatin1Char('n'));
        QCOMPARE(windowChild<DrivePicker>(form, "DriveComboBox1")->currentText(),
                 QStringLiteral("n: //srv/share"));
    }

    void failedWriteKeepsTheDialogOpen()
    {
        const QString blocker = dir.filePath(QStringLiteral("blocker"));
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const DriveSetting setting(blocker + QStringLiteral("/tessaro.ini"));
        TfrmSettings form(messages, setting, source());
        form.show();
        QCOMPARE(messages.errors, QStringList{QStringLiteral("Failed to set data for 'Drive'")});
        QTest::mouseClick(windowChild<QPushButton>(form, "Button2"), Qt::LeftButton);
        QVERIFY(form.isVisible());
        QCOMPARE(messages.errors.size(), 2);
        QCOMPARE(messages.errors.last(), QStringLiteral("Failed to set data for 'Drive'"));
        QTest::mouseClick(windowChild<QPushButton>(form, "Button1"), Qt::LeftButton);
        QVERIFY(!form.isVisible());
    }

    void keysCloseOnlyThroughTheButtons()
    {
        const QString path = freshPath();
        store(path, QStringLiteral("c"));
        const DriveSetting setting(path);
        TfrmSettings form(messages, setting, source());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_Escape);
        QTest::keyClick(&form, Qt::Key_Return);
        QVERIFY(form.isVisible());
        // Every button and tick box answers a mnemonic of its own.
        QSet<QChar> keys;
        for (const QAbstractButton* button : form.findChildren<QAbstractButton*>()) {
            const QString text = button->text();
            const qsizetype amp = text.indexOf(QLatin1Char('&'));
            QVERIFY2(amp >= 0 && amp + 1 < text.size(), qPrintable(text));
            QVERIFY2(!keys.contains(text.at(amp + 1).toLower()), qPrintable(text));
            keys.insert(text.at(amp + 1).toLower());
        }
        QCheckBox* names = windowChild<QCheckBox>(form, "NamesCheckBox");
        const bool ticked = names->isChecked();
        QTest::keyClick(&form, Qt::Key_N, Qt::AltModifier);
        QTRY_COMPARE(names->isChecked(), !ticked);
        windowChild<DrivePicker>(form, "DriveComboBox1")->setCurrentIndex(4);
        QTest::keyClick(&form, Qt::Key_O, Qt::AltModifier);
        // A mnemonic presses the button visibly: the click comes a moment later.
        QTRY_VERIFY(!form.isVisible());
        QCOMPARE(stored(path), QVariant(QStringLiteral("r")));
    }

    void modalShowingReturnsAfterOk()
    {
        const QString path = freshPath();
        const DriveSetting setting(path);
        TfrmSettings form(messages, setting, source());
        bool clicked = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, &form, [&] {
            if (QApplication::activeModalWidget() == &form &&
                windowChild<DrivePicker>(form, "DriveComboBox1")->count() > 0) {
                poll.stop();
                // The user picks the line already shown, which stands for another letter.
                Q_EMIT windowChild<DrivePicker>(form, "DriveComboBox1")->activated(0);
                clicked = true;
                windowChild<QPushButton>(form, "Button2")->click();
            }
        });
        poll.start();
        QTimer::singleShot(5000, &form, [&form] { form.reject(); });
        const int result = form.exec();
        QVERIFY(clicked);
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(stored(path), QVariant(QStringLiteral("c")));
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "settingsdialog_test.moc"
