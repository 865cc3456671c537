#include "app/EdgeHitTest.h"
#include "app/ui/CaptionButton.h"
#include "app/ui/UnLoading.h"
#include "app/ui/UnMyForm.h"
#include "app/ui/WindowChrome.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WindowChild.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWindow>
#include <QtTest>

namespace
{
// A dialog built the way the program's dialogs are: fixed size, an outer panel placed by hand
// with the top 20 pixels left free, a push button that would become the default, and a close
// handler that may refuse.
class FramedDialog : public QDialog
{
  public:
    explicit FramedDialog(QWidget* parent = nullptr) : QDialog(parent)
    {
        setWindowTitle(QStringLiteral("Settings"));
        setFixedSize(228, 127);
        Panel1 = new QFrame(this);
        Panel1->setObjectName(QStringLiteral("Panel1"));
        Panel1->setGeometry(rect());
        Edit = new QLineEdit(Panel1);
        Edit->setGeometry(66, 36, 145, 19);
        Cancel = new QPushButton(QStringLiteral("&Cancel"), Panel1);
        Cancel->setGeometry(22, 75, 51, 22);
        connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    }

    void closeEvent(QCloseEvent* event) override
    {
        ++closeRequests;
        if (refuseClose)
            event->ignore();
        else
            QDialog::closeEvent(event);
    }

    QFrame* Panel1;
    QLineEdit* Edit;
    QPushButton* Cancel;
    int closeRequests = 0;
    bool refuseClose = false;
};

QRect workArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}
} // namespace

class ChromeTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void dialogFrameAndCaptionBar();
    void captionFollowsTitleAndWidth();
    void leftDragOnCaptionBarLabelOrIconMovesTheWindow_data();
    void leftDragOnCaptionBarLabelOrIconMovesTheWindow();
    void otherButtonsAndShortTravelsDoNothing();
    void doubleClickMaximisesAndRestoresDialogWithDisabledButton();
    void maximiseButtonOnMainWindow();
    void minimiseButtonMinimisesTheApplication();
    void exitButtonGoesThroughTheWindowsCloseHandling();
    void enterAndEscapeNeverCloseAFramedDialog();
    void mainWindowIsFramedAndCentred();
    void pointerShapeFollowsTheEdgeUnderIt();
    void marginPressSizesTheMainWindow();
    void borderLineAndMaximisedWindowDoNotSize();
    void splashIsGoneAfterAGoodStartAndStaysWhenListsFail();
    void windowsAreInPlaceBeforeTheyHaveAWindowAndShowingNeverMovesThem_data();
    void windowsAreInPlaceBeforeTheyHaveAWindowAndShowingNeverMovesThem();
    void maximisedDialogKeepsControlsAndStatusBarAlongTheBottom_data();
    void maximisedDialogKeepsControlsAndStatusBarAlongTheBottom();
};

namespace
{
QWidget* programWindow(TPersonalForm& form, const QString& name)
{
    if (name == QLatin1String("PersonalForm"))
        return &form;
    return form.findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
}
} // namespace

void ChromeTest::dialogFrameAndCaptionBar()
{
    FramedDialog dialog;
    WindowChrome* chrome = WindowChrome::attachDialog(&dialog);
    QVERIFY(chrome);
    QCOMPARE(WindowChrome::of(&dialog), chrome);
    QCOMPARE(WindowChrome::attachDialog(&dialog), chrome);
    QCOMPARE(dialog.findChildren<QFrame*>(QStringLiteral("Panel2")).size(), 1);
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(windowChild<QFrame>(dialog, "Panel1")->palette().color(QPalette::Window), QColor(166, 202, 240));
    QCOMPARE(windowChild<QFrame>(dialog, "Panel1")->frameWidth(), 1);

    // The bar lies inside the border line and the 2-pixel margin, its inner edge 4 pixels in.
    QCOMPARE(windowChild<QFrame>(chrome->window(), "Panel2")->parentWidget(),
             windowChild<QFrame>(dialog, "Panel1"));
    QCOMPARE(windowChild<QFrame>(chrome->window(), "Panel2")->geometry(), QRect(3, 3, 222, 20));
    QCOMPARE(windowChild<QFrame>(chrome->window(), "Panel2")->palette().color(QPalette::Window),
             QColor(74, 146, 225));
    QCOMPARE(windowChild<QFrame>(chrome->window(), "Panel3")->size(), QSize(56, 16));
    QCOMPARE(windowChild<QFrame>(chrome->window(), "Panel3")->geometry().right(),
             windowChild<QFrame>(chrome->window(), "Panel2")->width() - 3);
    QCOMPARE(windowChild<QLabel>(chrome->window(), "MyIcon")->size(), QSize(16, 16));
    QVERIFY(!windowChild<QLabel>(chrome->window(), "MyIcon")->pixmap().isNull());
    QCOMPARE(windowChild<QLabel>(chrome->window(), "MyIcon")->toolTip(), QStringLiteral("Settings"));

    const struct {
        CaptionButton* button;
        int left;
        const char* hint;
        bool enabled;
    } buttons[] = {{windowChild<CaptionButton>(chrome->window(), "dxToolButton1"), 4, "Minimize", true},
                   {windowChild<CaptionButton>(chrome->window(), "dxToolButton2"), 22, "Maximize", false},
                   {windowChild<CaptionButton>(chrome->window(), "dxToolButton3"), 40, "Exit", true}};
    for (const auto& b : buttons) {
        QCOMPARE(b.button->parentWidget(), windowChild<QFrame>(chrome->window(), "Panel3"));
        QCOMPARE(b.button->geometry(), QRect(b.left, 0, 15, 15));
        QCOMPARE(b.button->toolTip(), QLatin1String(b.hint));
        QCOMPARE(b.button->statusTip(), QLatin1String(b.hint));
        QCOMPARE(b.button->isEnabled(), b.enabled);
        QCOMPARE(b.button->focusPolicy(), Qt::NoFocus);
    }
    QCOMPARE(windowChild<CaptionButton>(chrome->window(), "dxToolButton3")->glyph(),
             CaptionButton::Glyph::Close);

    QCOMPARE(windowChild<QLabel>(chrome->window(), "CaptionLabel")->text(), QStringLiteral("Settings"));
    QVERIFY(windowChild<QLabel>(chrome->window(), "CaptionLabel")->font().bold());
    QCOMPARE(windowChild<QLabel>(chrome->window(), "CaptionLabel")->palette().color(QPalette::WindowText),
             QColor(Qt::white));
    QCOMPARE(windowChild<QLabel>(chrome->window(), "CaptionLabel")->x(),
             1 + captionLabelLeft(228, windowChild<QLabel>(chrome->window(), "CaptionLabel")->width()));
    QCOMPARE(chrome->icons().size(), 1);
}

void ChromeTest::captionFollowsTitleAndWidth()
{
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    WindowChrome* chrome = WindowChrome::of(&form);
    QVERIFY(chrome);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const int before = windowChild<QLabel>(chrome->window(), "CaptionLabel")->width();
    form.setWindowTitle(QStringLiteral("Tessaro v1.3 - a much longer caption"));
    QCOMPARE(windowChild<QLabel>(chrome->window(), "CaptionLabel")->text(), form.windowTitle());
    QCOMPARE(windowChild<QLabel>(chrome->window(), "MyIcon")->toolTip(), form.windowTitle());
    QVERIFY(windowChild<QLabel>(chrome->window(), "CaptionLabel")->width() > before);
    form.resize(701, 400);
    QCOMPARE(windowChild<QLabel>(chrome->window(), "CaptionLabel")->x(),
             1 + captionLabelLeft(701, windowChild<QLabel>(chrome->window(), "CaptionLabel")->width()));
}

void ChromeTest::leftDragOnCaptionBarLabelOrIconMovesTheWindow_data()
{
    QTest::addColumn<QString>("part");
    QTest::newRow("empty part of the bar") << "Panel2";
    QTest::newRow("caption text") << "CaptionLabel";
    QTest::newRow("icon") << "MyIcon";
}

void ChromeTest::leftDragOnCaptionBarLabelOrIconMovesTheWindow()
{
    QFETCH(QString, part);
    FramedDialog dialog;
    WindowChrome* chrome = WindowChrome::attachDialog(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QWidget* target = part == QLatin1String("Panel2") ? windowChild<QFrame>(chrome->window(), "Panel2")
                      : part == QLatin1String("MyIcon")
                          ? static_cast<QWidget*>(windowChild<QLabel>(chrome->window(), "MyIcon"))
                          : windowChild<QLabel>(chrome->window(), "CaptionLabel");
    const QPoint press = part == QLatin1String("Panel2") ? QPoint(30, 10) : target->rect().center();
    const QPoint start = dialog.pos();
    // Without a window manager the window system refuses the move: the window follows the
    // pointer by itself.
    QTest::mousePress(target, Qt::LeftButton, {}, press);
    QTest::mouseMove(target, press + QPoint(40, 25));
    QTest::mouseRelease(target, Qt::LeftButton, {}, press + QPoint(40, 25));
    QCOMPARE(dialog.pos(), start + QPoint(40, 25));
}

void ChromeTest::otherButtonsAndShortTravelsDoNothing()
{
    FramedDialog dialog;
    WindowChrome* chrome = WindowChrome::attachDialog(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint start = dialog.pos();
    const QPoint press(30, 10);

    QTest::mousePress(windowChild<QFrame>(chrome->window(), "Panel2"), Qt::RightButton, {}, press);
    QTest::mouseMove(windowChild<QFrame>(chrome->window(), "Panel2"), press + QPoint(60, 40));
    QTest::mouseRelease(windowChild<QFrame>(chrome->window(), "Panel2"), Qt::RightButton, {},
                        press + QPoint(60, 40));
    QCOMPARE(dialog.pos(), start);
    QTest::mouseDClick(windowChild<QFrame>(chrome->window(), "Panel2"), Qt::RightButton, {}, press);
    QVERIFY(!dialog.isMaximized());

    // Less than the drag distance leaves the window where it is.
    const int small = QApplication::startDragDistance() / 2;
    QTest::mousePress(windowChild<QLabel>(chrome->window(), "CaptionLabel"), Qt::LeftButton, {},
                      QPoint(5, 5));
    QTest::mouseMove(windowChild<QLabel>(chrome->window(), "CaptionLabel"), QPoint(5 + small, 5));
    QTest::mouseRelease(windowChild<QLabel>(chrome->window(), "CaptionLabel"), Qt::LeftButton, {},
                        QPoint(5 + small, 5));
    QCOMPARE(dialog.pos(), start);
}

void ChromeTest::doubleClickMaximisesAndRestoresDialogWithDisabledButton()
{
    FramedDialog dialog;
    WindowChrome* chrome = WindowChrome::attachDialog(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(!windowChild<CaptionButton>(chrome->window(), "dxToolButton2")->isEnabled());

    QTest::mouseDClick(windowChild<QFrame>(chrome->window(), "Panel2"), Qt::LeftButton, {}, QPoint(30, 10));
    QVERIFY(dialog.isMaximized());
    QTRY_COMPARE(dialog.size(), workArea().size());
    QCOMPARE(windowChild<QFrame>(dialog, "Panel1")->size(), dialog.size());
    QCOMPARE(windowChild<QFrame>(chrome->window(), "Panel2")->width(), dialog.width() - 6);
    QCOMPARE(windowChild<CaptionButton>(chrome->window(), "dxToolButton2")->toolTip(),
             QStringLiteral("Restore"));
    QCOMPARE(windowChild<CaptionButton>(chrome->window(), "dxToolButton2")->glyph(),
             CaptionButton::Glyph::Restore);
    QVERIFY(!windowChild<CaptionButton>(chrome->window(), "dxToolButton2")->isEnabled());

    // A double-click on the caption text counts as one on the bar.
    QTest::mouseDClick(windowChild<QLabel>(chrome->window(), "CaptionLabel"), Qt::LeftButton, {},
                       QPoint(3, 3));
    QVERIFY(!dialog.isMaximized());
    QTRY_COMPARE(dialog.size(), QSize(228, 127));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(windowChild<QFrame>(dialog, "Panel1")->size(), QSize(228, 127));
    QCOMPARE(windowChild<CaptionButton>(chrome->window(), "dxToolButton2")->toolTip(),
             QStringLiteral("Maximize"));
    QCOMPARE(windowChild<CaptionButton>(chrome->window(), "dxToolButton2")->glyph(),
             CaptionButton::Glyph::Maximise);
}

void ChromeTest::maximiseButtonOnMainWindow()
{
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    WindowChrome* chrome = WindowChrome::of(&form);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(windowChild<CaptionButton>(chrome->window(), "dxToolButton2")->isEnabled());
    QTest::mouseClick(windowChild<CaptionButton>(chrome->window(), "dxToolButton2"), Qt::LeftButton);
    QVERIFY(form.isMaximized());
    QCOMPARE(windowChild<CaptionButton>(chrome->window(), "dxToolButton2")->toolTip(),
             QStringLiteral("Restore"));
    QTest::mouseClick(windowChild<CaptionButton>(chrome->window(), "dxToolButton2"), Qt::LeftButton);
    QVERIFY(!form.isMaximized());
    QCOMPARE(windowChild<CaptionButton>(chrome->window(), "dxToolButton2")->toolTip(),
             QStringLiteral("Maximize"));

    // A window maximised some other way turns the button into its restore form too.
    form.showMaximized();
    QCOMPARE(windowChild<CaptionButton>(chrome->window(), "dxToolButton2")->toolTip(),
             QStringLiteral("Restore"));
    QTest::mouseClick(windowChild<CaptionButton>(chrome->window(), "dxToolButton2"), Qt::LeftButton);
    QVERIFY(!form.isMaximized());
}

void ChromeTest::minimiseButtonMinimisesTheApplication()
{
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    FramedDialog dialog(&form);
    WindowChrome* chrome = WindowChrome::attachDialog(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(windowChild<CaptionButton>(chrome->window(), "dxToolButton1"), Qt::LeftButton);
    QVERIFY(dialog.isMinimized());
    QVERIFY(form.isMinimized());
}

void ChromeTest::exitButtonGoesThroughTheWindowsCloseHandling()
{
    FramedDialog dialog;
    WindowChrome* chrome = WindowChrome::attachDialog(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.refuseClose = true; // as the new-disc dialog does when "Cancel Insert?" gets No
    QTest::mouseClick(windowChild<CaptionButton>(chrome->window(), "dxToolButton3"), Qt::LeftButton);
    QCOMPARE(dialog.closeRequests, 1);
    QVERIFY(dialog.isVisible());
    dialog.refuseClose = false;
    QTest::mouseClick(windowChild<CaptionButton>(chrome->window(), "dxToolButton3"), Qt::LeftButton);
    QCOMPARE(dialog.closeRequests, 2);
    QVERIFY(!dialog.isVisible());
}

void ChromeTest::enterAndEscapeNeverCloseAFramedDialog()
{
    FramedDialog dialog;
    WindowChrome* chrome = WindowChrome::attachDialog(&dialog);
    bool openAfterKeys = false;
    bool cancelWasDefault = false;
    QTimer::singleShot(0, &dialog, [&] {
        QApplication::setActiveWindow(&dialog);
        dialog.Edit->setFocus();
        cancelWasDefault = dialog.Cancel->isDefault();
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(dialog.Edit, key);
        openAfterKeys = dialog.isVisible();
        QTest::mouseClick(windowChild<CaptionButton>(chrome->window(), "dxToolButton3"), Qt::LeftButton);
    });
    QTimer watchdog;
    watchdog.callOnTimeout(&dialog, &QDialog::reject);
    watchdog.start(5000);
    dialog.exec();
    // Without the frame's guard Enter would have clicked the default button.
    QVERIFY(cancelWasDefault);
    QVERIFY(openAfterKeys);
    QCOMPARE(dialog.closeRequests, 1);
}

void ChromeTest::mainWindowIsFramedAndCentred()
{
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    WindowChrome* chrome = WindowChrome::of(&form);
    QVERIFY(chrome);
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(!form.windowIcon().isNull());
    QCOMPARE(windowChild<QLabel>(chrome->window(), "CaptionLabel")->text(), QStringLiteral("Tessaro v1.3"));
    QCOMPARE(windowChild<QFrame>(chrome->window(), "Panel2")->parentWidget(),
             windowChild<QFrame>(form, "Panel1"));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.size(), QSize(593, 367));
    QCOMPARE(form.pos(), centredTopLeft(form.size(), form.screen()->availableGeometry()));
    // Caption bar first, then the toolbar, inside the 2-pixel margin.
    QCOMPARE(windowChild<QFrame>(chrome->window(), "Panel2")->geometry(), QRect(3, 3, 587, 20));
    QCOMPARE(windowChild<QToolBar>(form, "ToolBar1")->y(), 23);
    QCOMPARE(windowChild<QStatusBar>(form, "StatusBar1")->geometry().bottom(), 367 - 4);
}

void ChromeTest::pointerShapeFollowsTheEdgeUnderIt()
{
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QPoint origin = form.geometry().topLeft();
    // Timer1 runs the hit test at the pointer's position every 100 ms.
    QCursor::setPos(origin + QPoint(591, 365));
    QTRY_COMPARE(windowChild<QFrame>(form, "Panel1")->cursor().shape(), Qt::SizeFDiagCursor);
    QCursor::setPos(origin + QPoint(0, 200));
    QTRY_COMPARE(windowChild<QFrame>(form, "Panel1")->cursor().shape(), Qt::SizeHorCursor);
    QCursor::setPos(origin + QPoint(591, 1));
    QTRY_COMPARE(windowChild<QFrame>(form, "Panel1")->cursor().shape(), Qt::SizeBDiagCursor);
    QCursor::setPos(origin + QPoint(300, 366));
    QTRY_COMPARE(windowChild<QFrame>(form, "Panel1")->cursor().shape(), Qt::SizeVerCursor);
    QCursor::setPos(origin + QPoint(300, 200));
    QTRY_COMPARE(windowChild<QFrame>(form, "Panel1")->cursor().shape(), Qt::ArrowCursor);

    form.showMaximized();
    QCursor::setPos(form.geometry().topLeft() + QPoint(1, 1));
    QTest::qWait(250);
    QCOMPARE(windowChild<QFrame>(form, "Panel1")->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!WindowChrome::of(&form)->edgeFlags().any());
}

void ChromeTest::marginPressSizesTheMainWindow()
{
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QRect start = form.geometry();

    // The bottom-right margin, two pixels in from the border: the window system refuses to
    // size without a window manager, so the window sizes itself.
    QTest::mousePress(windowChild<QFrame>(form, "Panel1"), Qt::LeftButton, {}, QPoint(591, 365));
    QTest::mouseMove(windowChild<QFrame>(form, "Panel1"), QPoint(591 + 30, 365 + 20));
    QTest::mouseRelease(windowChild<QFrame>(form, "Panel1"), Qt::LeftButton, {}, QPoint(591 + 30, 365 + 20));
    QCOMPARE(form.geometry(), QRect(start.topLeft(), start.size() + QSize(30, 20)));

    // The left margin: the right edge stays, and the window stops at its minimum width.
    const QRect wide = form.geometry();
    QTest::mousePress(windowChild<QFrame>(form, "Panel1"), Qt::LeftButton, {}, QPoint(1, 150));
    QTest::mouseMove(windowChild<QFrame>(form, "Panel1"), QPoint(1 + 400, 150));
    QTest::mouseRelease(windowChild<QFrame>(form, "Panel1"), Qt::LeftButton, {}, QPoint(1 + 400, 150));
    QCOMPARE(form.width(), 568);
    QCOMPARE(form.geometry().right(), wide.right());
    QCOMPARE(form.height(), wide.height());
}

void ChromeTest::borderLineAndMaximisedWindowDoNotSize()
{
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QRect start = form.geometry();
    QTest::mousePress(windowChild<QFrame>(form, "Panel1"), Qt::LeftButton, {}, QPoint(592, 366));
    QTest::mouseMove(windowChild<QFrame>(form, "Panel1"), QPoint(592 + 30, 366 + 20));
    QTest::mouseRelease(windowChild<QFrame>(form, "Panel1"), Qt::LeftButton, {}, QPoint(592 + 30, 366 + 20));
    QCOMPARE(form.geometry(), start);

    // A right press on the margin does nothing either.
    QTest::mousePress(windowChild<QFrame>(form, "Panel1"), Qt::RightButton, {}, QPoint(591, 365));
    QTest::mouseMove(windowChild<QFrame>(form, "Panel1"), QPoint(591 + 30, 365 + 20));
    QTest::mouseRelease(windowChild<QFrame>(form, "Panel1"), Qt::RightButton, {}, QPoint(591 + 30, 365 + 20));
    QCOMPARE(form.geometry(), start);

    form.showMaximized();
    QTRY_VERIFY(form.isMaximized());
    const QRect maximised = form.geometry();
    const QPoint corner(windowChild<QFrame>(form, "Panel1")->width() - 2,
                        windowChild<QFrame>(form, "Panel1")->height() - 2);
    QTest::mousePress(windowChild<QFrame>(form, "Panel1"), Qt::LeftButton, {}, corner);
    QTest::mouseMove(windowChild<QFrame>(form, "Panel1"), corner - QPoint(100, 100));
    QTest::mouseRelease(windowChild<QFrame>(form, "Panel1"), Qt::LeftButton, {}, corner - QPoint(100, 100));
    QCOMPARE(form.geometry(), maximised);
}

void ChromeTest::splashIsGoneAfterAGoodStartAndStaysWhenListsFail()
{
    {
        TestCatalogue cat;
        RecordingMessages messages;
        Catalogue session;
        TPersonalForm form(messages, session, cat.path());
        QVERIFY(form.findChildren<TfrmLoading*>().isEmpty());
        QVERIFY(messages.messages.isEmpty());
    }
    // A catalogue that opens but whose disc list cannot be read: the disc type is computed
    // from the row when read, and the computation overflows.
    TestCatalogue cat;
    cat.connection.exec("drop table cd");
    cat.connection.exec("create table cd (id integer primary key, etichetta text not null default '', "
                        "data text not null)");
    cat.connection.exec("insert into cd (id, data) values (1, '')");
    cat.connection.exec("alter table cd add column tipo text as (abs(-9223372036854775807 - 1))");
    cat.connection.disconnect();
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    QVERIFY(session.connection().connected());
    QCOMPARE(messages.messages,
             QStringList{QStringLiteral("Unable to connect to DB, program will be closed")});
    const auto splashes = form.findChildren<TfrmLoading*>();
    QCOMPARE(splashes.size(), 1);
    QVERIFY(splashes.first()->isVisible());
    QCOMPARE(splashes.first()->size(), QSize(247, 249));
    QVERIFY(windowChild<QTimer>(form, "Timer2")->isActive());
}

void ChromeTest::windowsAreInPlaceBeforeTheyHaveAWindowAndShowingNeverMovesThem_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("main window") << "PersonalForm";
    QTest::newRow("settings") << "frmSettings";
    QTest::newRow("new disc") << "frmNewCD";
    QTest::newRow("disc removal") << "frmDelCD";
    QTest::newRow("about box") << "frmAbout";
}

// A window moved between getting its window-system window and being mapped can end up, under an
// X11 window manager, with Qt believing it sits at the screen's corner: popups then open there.
// So each window must be centred before it gets its window, and showing it must not move it.
void ChromeTest::windowsAreInPlaceBeforeTheyHaveAWindowAndShowingNeverMovesThem()
{
    QFETCH(QString, window);
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    QWidget* w = programWindow(form, window);
    QVERIFY(w);
    // The main window has its window-system window already, made for the splash screen it owns.
    w->winId();
    QWindow* handle = w->windowHandle();
    QVERIFY(handle);
    const QPoint centred = centredTopLeft(w->size(), w->screen()->availableGeometry());
    QCOMPARE(handle->position(), centred);
    QSignalSpy xMoves(handle, &QWindow::xChanged);
    QSignalSpy yMoves(handle, &QWindow::yChanged);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(xMoves.count() + yMoves.count(), 0);
    QCOMPARE(w->pos(), centred);
    w->hide();
}

void ChromeTest::maximisedDialogKeepsControlsAndStatusBarAlongTheBottom_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::newRow("settings") << "frmSettings";
    QTest::newRow("new disc") << "frmNewCD";
    QTest::newRow("disc removal") << "frmDelCD";
}

void ChromeTest::maximisedDialogKeepsControlsAndStatusBarAlongTheBottom()
{
    QFETCH(QString, dialog);
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    QWidget* w = programWindow(form, dialog);
    QVERIFY(w);
    WindowChrome* chrome = WindowChrome::of(w);
    QVERIFY(chrome);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    auto* bar = windowChild<QFrame>(chrome->window(), "Panel1")
                    ->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(bar);
    const QSize normal = w->size();
    const QRect barBefore = bar->geometry();
    QList<QPair<QWidget*, QRect>> controls;
    for (QWidget* c : windowChild<QFrame>(chrome->window(), "Panel1")
                          ->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (c != bar && c != windowChild<QFrame>(chrome->window(), "Panel2"))
            controls.append({c, c->geometry()});
    }
    QVERIFY(!controls.isEmpty());

    QTest::mouseDClick(windowChild<QFrame>(chrome->window(), "Panel2"), Qt::LeftButton, {}, QPoint(30, 10));
    QTRY_COMPARE(w->size(), workArea().size());
    QCOMPARE(windowChild<QFrame>(chrome->window(), "Panel1")->size(), w->size());
    for (const auto& [c, place] : controls)
        QCOMPARE(c->geometry(), place);
    // The status bar runs along the bottom as before, across the whole width.
    const QSize grown = w->size() - normal;
    QCOMPARE(bar->geometry(), QRect(barBefore.x(), barBefore.y() + grown.height(),
                                    barBefore.width() + grown.width(), barBefore.height()));
    QVERIFY(windowChild<QFrame>(chrome->window(), "Panel1")->contentsRect().contains(bar->geometry()));

    QTest::mouseDClick(windowChild<QFrame>(chrome->window(), "Panel2"), Qt::LeftButton, {}, QPoint(30, 10));
    QTRY_COMPARE(w->size(), normal);
    QCOMPARE(bar->geometry(), barBefore);
    for (const auto& [c, place] : controls)
        QCOMPARE(c->geometry(), place);
    w->hide();
}

QTEST_MAIN(ChromeTest)
#include "chrome_test.moc"
