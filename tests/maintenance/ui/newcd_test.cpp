#include "catalogue/Transaction.h"
#include "common/ShownDate.h"
#include "common/TessaroError.h"
#include "maintenance/ui/UnNewCD.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/WindowChild.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace
{
// A dialog over a fake main window and drive, shown without a modal loop.
struct Rig {
    Rig()
    {
        dialog.ResetDialog();
        dialog.show();
    }
    FakeHost host;
    FakeDrive drive;
    RecordingMessages messages;
    int driveReads = 0;
    TfrmNewCD dialog{host.session(), host.refresh(), messages,
                     [this] {
                         ++driveReads;
                         return kDrive;
                     },
                     drive};

    qint64 count(const char* table) { return host.catalogue.count(QLatin1String(table)); }
    // Clicks the button from the walk's event pump once the bar has reached the position.
    void clickDuringRun(QAbstractButton* button, int atPosition)
    {
        auto* once = new QObject(&dialog);
        QObject::connect(windowChild<QProgressBar>(dialog, "JvXPProgressBar1"), &QProgressBar::valueChanged,
                         once, [=](int value) {
                             if (value >= atPosition) {
                                 QTimer::singleShot(0, button, &QAbstractButton::click);
                                 delete once;
                             }
                         });
    }
};
} // namespace

class NewCdTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void controlsSitAtTheirPlaces();
    void refusesWithoutConnectionOrDisc();
    void completedRunShowsLabelAndCount();
    void barMovesThroughEachFile();
    void emptyDiscAndDvdType();
    void stopLeavesNoRowsAndTheSameIdAgain();
    void settingAndCountErrorsGoToTheErrorBox();
    void errorDuringRunRemovesTheDiscAndShowsItsText();
    void cancelAfterCompletedRun();
    void okAndCancelDuringRunStopFirst();
    void everyWayOfClosingAsksLikeCancel();
    void resetAfterCompletedRun();
    void sameDiscAgainAsksFirst_data();
    void sameDiscAgainAsksFirst();
    void waitsForAnotherRunsLock_data();
    void waitsForAnotherRunsLock();
    void countingAnswersItsButtons_data();
    void countingAnswersItsButtons();
    void writingTheDiscShowsAWait();
};

void NewCdTest::controlsSitAtTheirPlaces()
{
    Rig rig;
    TfrmNewCD& d = rig.dialog;
    QCOMPARE(d.windowTitle(), QStringLiteral("New CD"));
    QCOMPARE(d.size(), QSize(212, 155));
    QCOMPARE(windowChild<QFrame>(d, "Panel1")->geometry(), QRect(0, 0, 212, 155));
    QCOMPARE(windowChild<QFrame>(d, "Panel1")->palette().color(QPalette::Window), QColor(166, 202, 240));
    QCOMPARE(windowChild<QLabel>(d, "Label1")->pos(), QPoint(11, 39));
    QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->geometry(), QRect(44, 36, 94, 21));
    QCOMPARE(windowChild<QToolButton>(d, "SpeedButton3")->geometry(), QRect(144, 36, 51, 22));
    QCOMPARE(windowChild<QProgressBar>(d, "JvXPProgressBar1")->geometry(), QRect(16, 64, 179, 17));
    QCOMPARE(windowChild<QPushButton>(d, "Button1")->geometry(), QRect(16, 103, 51, 22));
    QCOMPARE(windowChild<QPushButton>(d, "Button2")->geometry(), QRect(144, 103, 51, 22));
    QCOMPARE(windowChild<QStatusBar>(d, "StatusBar1")->height(), 19);
    QCOMPARE(windowChild<QStatusBar>(d, "StatusBar1")->geometry().bottom(), 155 - 2);
    for (QWidget* w : windowChild<QFrame>(d, "Panel1")->findChildren<QWidget*>())
        QVERIFY2(w->mapTo(windowChild<QFrame>(d, "Panel1"), QPoint(0, 0)).y() >= 20,
                 qPrintable(w->objectName()));
    QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->count(), 2);
    QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->itemText(1), QStringLiteral("DVD"));
    QCOMPARE(windowChild<QToolButton>(d, "SpeedButton3")->text(), QStringLiteral("Start"));
    QCOMPARE(windowChild<QPushButton>(d, "Button1")->text(), QStringLiteral("&Cancel"));
    QCOMPARE(windowChild<QPushButton>(d, "Button2")->text(), QStringLiteral("&OK"));
    QCOMPARE(windowChild<QPushButton>(d, "Button2")->toolTip(), QStringLiteral("Confirm"));
    QCOMPARE(windowChild<QProgressBar>(d, "JvXPProgressBar1")->minimum(), 0);
    QCOMPARE(windowChild<QProgressBar>(d, "JvXPProgressBar1")->maximum(), 100);
    for (QPushButton* b : d.findChildren<QPushButton*>())
        QVERIFY(!b->autoDefault() && !b->isDefault());
    QCOMPARE(d.findChild<QComboBox*>(QStringLiteral("ComboBox1")), windowChild<QComboBox>(d, "ComboBox1"));
    QCOMPARE(d.findChild<QProgressBar*>(QStringLiteral("JvXPProgressBar1")),
             windowChild<QProgressBar>(d, "JvXPProgressBar1"));
    // Hints go to the status bar.
    QStatusTipEvent tip(QStringLiteral("Disc Type"));
    QCoreApplication::sendEvent(windowChild<QComboBox>(d, "ComboBox1"), &tip);
    QCOMPARE(windowChild<QStatusBar>(d, "StatusBar1")->currentMessage(), QStringLiteral("Disc Type"));
}

void NewCdTest::refusesWithoutConnectionOrDisc()
{
    Rig rig;
    rig.drive.addFile(QStringLiteral("a.txt"));
    rig.drive.present = false;
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    QCOMPARE(rig.messages.messages, QStringList{QStringLiteral("No disc in the drive")});
    QCOMPARE(rig.drive.asked, QString(kDrive));
    QCOMPARE(rig.drive.beeps, 1);
    QCOMPARE(rig.count("cd"), 0);
    QVERIFY(windowChild<QComboBox>(rig.dialog, "ComboBox1")->isEnabled());

    rig.messages.messages.clear();
    rig.host.catalogue.connection.disconnect();
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    QCOMPARE(rig.messages.messages,
             QStringList{QStringLiteral("Unable to insert CD if not connected to DB")});
    QCOMPARE(rig.driveReads, 1); // the drive is not even asked for
}

void NewCdTest::completedRunShowsLabelAndCount()
{
    Rig rig;
    rig.drive.addFile(QStringLiteral("a.txt"));
    rig.drive.addFile(QStringLiteral("sub/b.jpg"));
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    QCOMPARE(rig.messages.messages,
             (QStringList{QStringLiteral("New CD ID: C0001"), QStringLiteral("2 files found")}));
    QCOMPARE(rig.count("cd"), 1);
    QCOMPARE(rig.count("files"), 2);
    QCOMPARE(rig.host.catalogue.scalar(QStringLiteral("select etichetta from cd")).toString(),
             QStringLiteral("MY_DISC"));
    QVERIFY(!windowChild<QToolButton>(rig.dialog, "SpeedButton3")->isEnabled());
    QVERIFY(!windowChild<QComboBox>(rig.dialog, "ComboBox1")->isEnabled());
    QCOMPARE(windowChild<QToolButton>(rig.dialog, "SpeedButton3")->text(), QStringLiteral("Start"));
    QCOMPARE(windowChild<QProgressBar>(rig.dialog, "JvXPProgressBar1")->value(), 0);
    QCOMPARE(rig.dialog.cataloguer().NewDiscId, 1);
    QVERIFY(rig.dialog.isVisible());
}

void NewCdTest::barMovesThroughEachFile()
{
    Rig rig;
    for (const char* name : {"a", "b", "c"})
        rig.drive.addFile(QLatin1String(name));
    QList<int> values;
    QStringList captions;
    connect(windowChild<QProgressBar>(rig.dialog, "JvXPProgressBar1"), &QProgressBar::valueChanged, this,
            [&](int v) {
                values.append(v);
                captions.append(windowChild<QToolButton>(rig.dialog, "SpeedButton3")->text());
            });
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    QCOMPARE(values, (QList<int>{33, 67, 100, 0}));
    QCOMPARE(captions, (QStringList{QStringLiteral("Stop"), QStringLiteral("Stop"), QStringLiteral("Stop"),
                                    QStringLiteral("Stop")}));
    QCOMPARE(rig.messages.messages.last(), QStringLiteral("3 files found"));
}

void NewCdTest::emptyDiscAndDvdType()
{
    Rig rig;
    windowChild<QComboBox>(rig.dialog, "ComboBox1")->setCurrentIndex(1);
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    QCOMPARE(rig.messages.messages,
             (QStringList{QStringLiteral("New CD ID: D0001"), QStringLiteral("0 files found")}));
    QCOMPARE(rig.host.catalogue.scalar(QStringLiteral("select tipo from cd")).toString(),
             QStringLiteral("D"));
}

void NewCdTest::stopLeavesNoRowsAndTheSameIdAgain()
{
    Rig rig;
    rig.drive.addFiles(60);
    windowChild<QComboBox>(rig.dialog, "ComboBox1")->setCurrentIndex(1);
    rig.clickDuringRun(windowChild<QToolButton>(rig.dialog, "SpeedButton3"), 20);
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    QVERIFY(rig.messages.messages.isEmpty());
    QCOMPARE(rig.count("cd"), 0);
    QCOMPARE(rig.count("files"), 0);
    QCOMPARE(windowChild<QToolButton>(rig.dialog, "SpeedButton3")->text(), QStringLiteral("Start"));
    QVERIFY(windowChild<QToolButton>(rig.dialog, "SpeedButton3")->isEnabled());
    QVERIFY(windowChild<QComboBox>(rig.dialog, "ComboBox1")->isEnabled());
    QCOMPARE(windowChild<QComboBox>(rig.dialog, "ComboBox1")->currentText(), QStringLiteral("DVD"));
    QCOMPARE(windowChild<QProgressBar>(rig.dialog, "JvXPProgressBar1")->value(), 0);
    QCOMPARE(rig.dialog.cataloguer().NewDiscId, 0);

    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    QCOMPARE(rig.messages.messages,
             (QStringList{QStringLiteral("New CD ID: D0001"), QStringLiteral("60 files found")}));
}

// Errors before the run (the drive setting, the count) reach the default error box from the
// click itself, never through Qt's event delivery; nothing is written.
void NewCdTest::settingAndCountErrorsGoToTheErrorBox()
{
    FakeHost host;
    FakeDrive drive;
    drive.addFiles(2);
    RecordingMessages messages;
    TfrmNewCD badSetting(
        host.session(), host.refresh(), messages,
        []() -> QChar { throw TessaroError(QStringLiteral("Invalid data type for 'Drive'")); }, drive);
    badSetting.ResetDialog();
    windowChild<QToolButton>(badSetting, "SpeedButton3")->click();
    // A drive "letter" that names no drive folder fails the count.
    TfrmNewCD badLetter(
        host.session(), host.refresh(), messages, [] { return QLatin1Char('1'); }, drive);
    badLetter.ResetDialog();
    windowChild<QToolButton>(badLetter, "SpeedButton3")->click();
    QCOMPARE(messages.errors, (QStringList{QStringLiteral("Invalid data type for 'Drive'"),
                                           QStringLiteral("Not a drive folder: 1:\\")}));
    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(windowChild<QToolButton>(badLetter, "SpeedButton3")->text(), QStringLiteral("Start"));
    QVERIFY(windowChild<QToolButton>(badLetter, "SpeedButton3")->isEnabled());
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 0);
}

void NewCdTest::errorDuringRunRemovesTheDiscAndShowsItsText()
{
    Rig rig;
    rig.drive.addFiles(10);
    rig.host.catalogue.connection.exec(
        "create temp trigger poison before insert on files when new.nome = 'f7.dat' "
        "begin select raise(abort, 'database or disk is full'); end");
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    QCOMPARE(rig.messages.messages, QStringList{QStringLiteral("database or disk is full")});
    QCOMPARE(rig.count("cd"), 0);
    QCOMPARE(rig.count("files"), 0);
    QVERIFY(windowChild<QComboBox>(rig.dialog, "ComboBox1")->isEnabled());
    QVERIFY(windowChild<QToolButton>(rig.dialog, "SpeedButton3")->isEnabled());
    QCOMPARE(windowChild<QToolButton>(rig.dialog, "SpeedButton3")->text(), QStringLiteral("Start"));
    QCOMPARE(windowChild<QProgressBar>(rig.dialog, "JvXPProgressBar1")->value(), 0);
    QCOMPARE(rig.dialog.cataloguer().NewDiscId, 0);
    // Failed is back to Ready: Cancel closes without asking.
    windowChild<QPushButton>(rig.dialog, "Button1")->click();
    QVERIFY(rig.messages.questions.isEmpty());
    QVERIFY(!rig.dialog.isVisible());
}

void NewCdTest::cancelAfterCompletedRun()
{
    Rig rig;
    rig.drive.addFiles(3);
    const qint64 earlier = rig.host.catalogue.addDisc(QStringLiteral("C"));
    rig.host.catalogue.addFile(earlier, QStringLiteral("\\"), QStringLiteral("keep.txt"));
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    QCOMPARE(rig.count("files"), 4);

    rig.messages.answers = {false};
    windowChild<QPushButton>(rig.dialog, "Button1")->click();
    QCOMPARE(rig.messages.questions, QStringList{QStringLiteral("Cancel Insert?")});
    QVERIFY(rig.dialog.isVisible());
    QCOMPARE(rig.count("files"), 4);

    rig.messages.answers = {true};
    windowChild<QPushButton>(rig.dialog, "Button1")->click();
    QVERIFY(!rig.dialog.isVisible());
    QCOMPARE(rig.count("cd"), 1);
    QCOMPARE(rig.count("files"), 1);
    QCOMPARE(rig.host.refreshes, 0);
}

void NewCdTest::okAndCancelDuringRunStopFirst()
{
    {
        Rig rig;
        rig.drive.addFiles(60);
        rig.clickDuringRun(windowChild<QPushButton>(rig.dialog, "Button2"), 10);
        windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
        QVERIFY(!rig.dialog.isVisible());
        QCOMPARE(rig.host.refreshes, 1);
        QVERIFY(rig.messages.messages.isEmpty());
        QCOMPARE(rig.count("cd"), 0);
        QCOMPARE(rig.count("files"), 0);
    }
    {
        Rig rig;
        rig.drive.addFiles(60);
        rig.clickDuringRun(windowChild<QPushButton>(rig.dialog, "Button1"), 10);
        windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
        QVERIFY(!rig.dialog.isVisible());
        QVERIFY(rig.messages.questions.isEmpty());
        QCOMPARE(rig.host.refreshes, 0);
        QCOMPARE(rig.count("cd"), 0);
        QCOMPARE(rig.count("files"), 0);
    }
}

void NewCdTest::everyWayOfClosingAsksLikeCancel()
{
    Rig rig;
    rig.drive.addFiles(2);
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    rig.messages.answers = {false, false, false};
    QTest::keyClick(&rig.dialog, Qt::Key_Return);
    QTest::keyClick(&rig.dialog, Qt::Key_Enter);
    QVERIFY(rig.messages.questions.isEmpty());
    QTest::keyClick(&rig.dialog, Qt::Key_Escape);
    QVERIFY(!rig.dialog.close());
    rig.dialog.reject();
    QCOMPARE(rig.messages.questions.size(), 2); // Escape does nothing; close() and reject() ask
    QVERIFY(rig.dialog.isVisible());
    QCOMPARE(rig.count("files"), 2);

    rig.messages.answers = {true};
    rig.dialog.close();
    QVERIFY(!rig.dialog.isVisible());
    QCOMPARE(rig.count("files"), 0);
}

void NewCdTest::resetAfterCompletedRun()
{
    Rig rig;
    rig.drive.addFiles(1);
    windowChild<QComboBox>(rig.dialog, "ComboBox1")->setCurrentIndex(1);
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    windowChild<QPushButton>(rig.dialog, "Button2")->click(); // OK keeps the disc
    QCOMPARE(rig.host.refreshes, 1);
    QVERIFY(!rig.dialog.isVisible());
    rig.dialog.ResetDialog();
    QVERIFY(windowChild<QComboBox>(rig.dialog, "ComboBox1")->isEnabled());
    QCOMPARE(windowChild<QComboBox>(rig.dialog, "ComboBox1")->currentText(), QStringLiteral("CD"));
    QVERIFY(windowChild<QToolButton>(rig.dialog, "SpeedButton3")->isEnabled());
    QCOMPARE(rig.dialog.cataloguer().NewDiscId, 0);
    QCOMPARE(rig.dialog.cataloguer().FilesAdded, 0);
    QCOMPARE(rig.count("cd"), 1);
    // With no disc of its own, Cancel closes without asking.
    rig.dialog.show();
    windowChild<QPushButton>(rig.dialog, "Button1")->click();
    QVERIFY(rig.messages.questions.isEmpty());
    QVERIFY(!rig.dialog.isVisible());
}

void NewCdTest::sameDiscAgainAsksFirst_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("catalogue it again") << true;
    QTest::newRow("leave it") << false;
}

void NewCdTest::sameDiscAgainAsksFirst()
{
    QFETCH(bool, answer);
    Rig rig;
    rig.drive.addFile(QStringLiteral("sub/b.jpg"));
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    QCOMPARE(rig.count("cd"), 1);
    QVERIFY(rig.messages.questions.isEmpty());
    rig.dialog.ResetDialog();
    rig.messages.messages.clear();
    rig.messages.answers.push_back(answer);
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    // The date as the grid shows it, in the locale's form.
    const QString date = ShownDate::text(
        rig.host.catalogue.scalar(QStringLiteral("select data from cd where id = 1")).toString());
    QCOMPARE(
        rig.messages.questions,
        QStringList{
            QStringLiteral("This disc looks like C0001, catalogued on %1; catalogue it again?").arg(date)});
    QCOMPARE(rig.count("cd"), answer ? 2 : 1);
    QCOMPARE(rig.messages.messages.isEmpty(), !answer);
}

void NewCdTest::waitsForAnotherRunsLock_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("Stop ends the wait") << true;
    QTest::newRow("the other run ends") << false;
}

// Another run holds the catalogue: the window says it waits and keeps answering; Stop ends the
// wait with nothing written, and the run goes on once the other one has ended.
void NewCdTest::waitsForAnotherRunsLock()
{
    QFETCH(bool, stop);
    Rig rig;
    rig.drive.addFiles(3);
    Connection other;
    other.connect(rig.host.catalogue.path());
    std::optional<Transaction> held;
    held.emplace(other);
    bool sawWaiting = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (windowChild<QLabel>(rig.dialog, "WaitingLabel")->isHidden())
            return;
        watch.stop();
        sawWaiting = windowChild<QToolButton>(rig.dialog, "SpeedButton3")->text() == QStringLiteral("Stop") &&
                     !windowChild<QComboBox>(rig.dialog, "ComboBox1")->isEnabled();
        if (stop)
            windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
        else
            held.reset();
    });
    watch.start(20);
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    QVERIFY(sawWaiting);
    QVERIFY(windowChild<QLabel>(rig.dialog, "WaitingLabel")->isHidden());
    if (stop) {
        QVERIFY(rig.messages.messages.isEmpty());
        QCOMPARE(rig.count("cd"), 0);
        QCOMPARE(windowChild<QToolButton>(rig.dialog, "SpeedButton3")->text(), QStringLiteral("Start"));
        QVERIFY(windowChild<QToolButton>(rig.dialog, "SpeedButton3")->isEnabled());
        QVERIFY(windowChild<QComboBox>(rig.dialog, "ComboBox1")->isEnabled());
        // Nothing was left half begun: the next run goes through.
        held.reset();
        windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    }
    QCOMPARE(rig.messages.messages,
             (QStringList{QStringLiteral("New CD ID: C0001"), QStringLiteral("3 files found")}));
    QCOMPARE(rig.count("files"), 3);
}

// The counting pass pumps events as the walk does: a click during it is handled there, and
// Stop, OK and Cancel end it before a single file is walked or a row written.
void NewCdTest::countingAnswersItsButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Stop") << "SpeedButton3" << false;
    QTest::newRow("OK") << "Button2" << true;
    QTest::newRow("Cancel") << "Button1" << true;
}

void NewCdTest::countingAnswersItsButtons()
{
    QFETCH(QString, button);
    QFETCH(bool, closes);
    Rig rig;
    for (const char* name : {"a", "b", "c", "sub/d"})
        rig.drive.addFile(QLatin1String(name));
    auto* target = rig.dialog.findChild<QAbstractButton*>(button);
    QVERIFY(target);
    QString captionThen;
    QTimer::singleShot(0, target, [&] {
        captionThen = windowChild<QToolButton>(rig.dialog, "SpeedButton3")->text();
        target->click();
    });
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    QCOMPARE(captionThen, QStringLiteral("Stop"));
    QVERIFY(rig.dialog.cataloguer().searcher().FoundFiles.isEmpty());
    QVERIFY(!rig.dialog.cataloguer().running());
    QCOMPARE(rig.count("cd"), 0);
    QVERIFY(rig.messages.messages.isEmpty());
    QCOMPARE(rig.dialog.isVisible(), !closes);
    QCOMPARE(windowChild<QToolButton>(rig.dialog, "SpeedButton3")->text(), QStringLiteral("Start"));
    QVERIFY(windowChild<QToolButton>(rig.dialog, "SpeedButton3")->isEnabled());
}

// Between the walk's end and the commit the window repaints and shows that it waits: the bar
// full, the run button disabled, the wait pointer; all gone once the disc is written.
void NewCdTest::writingTheDiscShowsAWait()
{
    Rig rig;
    for (const char* name : {"a", "b"})
        rig.drive.addFile(QLatin1String(name));
    bool waitSeen = false;
    QTimer sampler;
    sampler.setInterval(0);
    connect(&sampler, &QTimer::timeout, this, [&] {
        const QCursor* cursor = QApplication::overrideCursor();
        if (cursor && cursor->shape() == Qt::WaitCursor &&
            !windowChild<QToolButton>(rig.dialog, "SpeedButton3")->isEnabled() &&
            windowChild<QProgressBar>(rig.dialog, "JvXPProgressBar1")->value() == 100 &&
            rig.dialog.cataloguer().running())
            waitSeen = true;
    });
    sampler.start();
    windowChild<QToolButton>(rig.dialog, "SpeedButton3")->click();
    sampler.stop();
    QVERIFY(waitSeen);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(rig.count("cd"), 1);
    QCOMPARE(windowChild<QProgressBar>(rig.dialog, "JvXPProgressBar1")->value(), 0);
    QCOMPARE(windowChild<QToolButton>(rig.dialog, "SpeedButton3")->text(), QStringLiteral("Start"));
}

QTEST_MAIN(NewCdTest)
#include "newcd_test.moc"
