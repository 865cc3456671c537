#include "app/AppInfo.h"
#include "app/ui/MessageBoxes.h"
#include "app/ui/TessaroApplication.h"
#include "app/ui/UnMyForm.h"
#include "common/TessaroError.h"
#include "maintenance/ui/UnDelCD.h"
#include "maintenance/ui/UnNewCD.h"
#include "settings/ui/UnSettings.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WindowChild.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

RecordingMessages* appMessages = nullptr; // the application's own message boxes

namespace
{
// Throws from inside an event handler, as a failing statement in a click handler does.
class Thrower : public QObject
{
  public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw TessaroError(QStringLiteral("disk I/O error"));
        return QObject::event(e);
    }
};
} // namespace

class StartupTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void errorBoxTextRule_data();
    void errorBoxTextRule();
    void failedStartShowsMessageOnceAndClosesAfterASecond();
    void goodCatalogueStartsConnected();
    void uncaughtErrorShowsTheErrorBoxAndTheLoopGoesOn();
    void messageBoxesLookAsTheProgramSays();
    void dropDownListsOpenBelowTheirFields();
};

void StartupTest::errorBoxTextRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter gets a dot") << "disk full"
                                       << "disk full.";
    QTest::newRow("dot stays single") << "disk full."
                                      << "disk full.";
    QTest::newRow("exclamation has a lower code") << "Stop!"
                                                  << "Stop!";
    QTest::newRow("bracket has a lower code") << "failed (5)"
                                              << "failed (5)";
    QTest::newRow("digit comes after the dot") << "code 5"
                                               << "code 5.";
    QTest::newRow("slash comes after the dot") << "a/"
                                               << "a/.";
    QTest::newRow("empty stays empty") << ""
                                       << "";
}

void StartupTest::errorBoxTextRule()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(MessageBoxes::errorBoxText(text), shown);
}

void StartupTest::failedStartShowsMessageOnceAndClosesAfterASecond()
{
    QTemporaryDir dir;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, dir.filePath(QStringLiteral("archive.mdb")));
    QCOMPARE(messages.messages,
             QStringList{QStringLiteral("Unable to connect to DB, program will be closed")});
    QVERIFY(!session.connection().connected());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 3000);
    QVERIFY2(clock.elapsed() >= 800, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(messages.messages.size(), 1);
    QVERIFY(messages.errors.isEmpty());
}

void StartupTest::goodCatalogueStartsConnected()
{
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    QVERIFY(session.connection().connected());
    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(form.windowTitle(), AppInfo::Title);
    QVERIFY(windowChild<QTimer>(form, "Timer1")->isActive());
    QCOMPARE(windowChild<QTimer>(form, "Timer1")->interval(), 100);
    QVERIFY(!windowChild<QTimer>(form, "Timer2")->isActive());
    QCOMPARE(form.minimumSize(), QSize(568, 195));
    QCOMPARE(windowChild<QToolButton>(form, "ToolButton1")->toolTip(), QStringLiteral("New CD"));
    QCOMPARE(windowChild<QToolButton>(form, "ToolButton2")->toolTip(), QStringLiteral("Remove CD"));
    QCOMPARE(windowChild<QToolButton>(form, "ToolButton3")->toolTip(), QStringLiteral("Settings"));
    QCOMPARE(windowChild<QToolButton>(form, "ToolButton5")->toolTip(), QStringLiteral("Help"));
    QCOMPARE(windowChild<QToolButton>(form, "ToolButton5")->popupMode(), QToolButton::MenuButtonPopup);
}

void StartupTest::uncaughtErrorShowsTheErrorBoxAndTheLoopGoesOn()
{
    auto* app = qobject_cast<TessaroApplication*>(QCoreApplication::instance());
    QVERIFY(app);
    Thrower thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    bool later = false;
    QTimer::singleShot(50, [&] { later = true; });
    QTRY_VERIFY(later);
    QCOMPARE(appMessages->errors, QStringList{QStringLiteral("disk I/O error")});
}

void StartupTest::messageBoxesLookAsTheProgramSays()
{
    MessageBoxes boxes;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QPoint offCentre;
    auto answer = [&](QMessageBox::StandardButton button) {
        QTimer::singleShot(20, [&, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->buttons().size();
            offCentre = box->frameGeometry().center() - box->screen()->availableGeometry().center();
            box->button(button)->click();
        });
    };
    answer(QMessageBox::Ok);
    boxes.showMessage(QStringLiteral("No disc in the drive"));
    QCOMPARE(title, AppInfo::Title);
    QCOMPARE(text, QStringLiteral("No disc in the drive"));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons, 1);
    // Centred on the screen, frame included.
    QVERIFY2(offCentre.manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));

    answer(QMessageBox::Yes);
    QVERIFY(boxes.confirm(QStringLiteral("Cancel Insert?")));
    QCOMPARE(title, QStringLiteral("Confirm"));
    QCOMPARE(icon, QMessageBox::Question);
    QVERIFY(offCentre.manhattanLength() <= 2);
    QCOMPARE(buttons, 2);
    answer(QMessageBox::No);
    QVERIFY(!boxes.confirm(QStringLiteral("Cancel Insert?")));

    answer(QMessageBox::Ok);
    boxes.showError(QStringLiteral("database is locked"));
    QCOMPARE(text, QStringLiteral("database is locked."));
    QCOMPARE(icon, QMessageBox::Critical);
}

// Every drop-down list of every window opens below its field, never over it.
void StartupTest::dropDownListsOpenBelowTheirFields()
{
    TestCatalogue cat;
    const qint64 disc = cat.addDisc(QStringLiteral("C"));
    cat.addFile(disc, QStringLiteral("\\"), QStringLiteral("a.txt"));
    cat.addFile(disc, QStringLiteral("\\"), QStringLiteral("b.jpg"));
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    form.show();
    windowChild<TfrmDelCD>(form, "frmDelCD")->FillDiscList();
    int lists = 0;
    for (QWidget* window :
         {static_cast<QWidget*>(&form), static_cast<QWidget*>(windowChild<TfrmNewCD>(form, "frmNewCD")),
          static_cast<QWidget*>(windowChild<TfrmDelCD>(form, "frmDelCD")),
          static_cast<QWidget*>(windowChild<TfrmSettings>(form, "frmSettings"))}) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        for (QComboBox* list : window->findChildren<QComboBox*>()) {
            if (list->count() == 0)
                continue;
            list->setCurrentIndex(list->count() - 1);
            list->showPopup();
            QWidget* popup = list->view()->window();
            QTRY_VERIFY(popup->isVisible());
            const int fieldBottom = list->mapToGlobal(QPoint(0, list->height())).y();
            QVERIFY2(popup->geometry().top() >= fieldBottom - 1,
                     qPrintable(QStringLiteral("%1: list at %2, field ends at %3")
                                    .arg(list->objectName())
                                    .arg(popup->geometry().top())
                                    .arg(fieldBottom)));
            list->hidePopup();
            ++lists;
        }
    }
    QVERIFY(lists >= 4);
}

int main(int argc, char** argv)
{
    RecordingMessages messages;
    appMessages = &messages;
    TessaroApplication app(argc, argv, messages);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "startup_test.moc"
