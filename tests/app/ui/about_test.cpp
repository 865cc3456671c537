#include "app/AppInfo.h"
#include "app/ui/CaptionButton.h"
#include "app/ui/UnAbout.h"
#include "app/ui/UnMyForm.h"
#include "search/ui/GridRequisiti.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WindowChild.h"

#include <QAction>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>

namespace
{
// Receives the URLs the program asks the desktop to open.
class UrlCatcher : public QObject
{
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

struct Outcome {
    bool seen = false;
    bool leftOpen = false; // the action did not close the box: the test closed it
};

// Waits for the about box to come up modally, then runs the action on it.
void whenAboutShows(const std::function<void(TfrmAbout*)>& action, Outcome* outcome)
{
    auto* poll = new QTimer;
    auto* watchdog = new QElapsedTimer;
    watchdog->start();
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto* about = qobject_cast<TfrmAbout*>(QApplication::activeModalWidget());
        if (about) {
            outcome->seen = true;
            QApplication::setActiveWindow(about);
            action(about);
            // A mnemonic clicks its button the way the platform animates it, a moment later.
            if (!QTest::qWaitFor([about] { return !about->isVisible(); }, 1000))
                qWarning("the about box is still open");
            if (about->isVisible()) {
                outcome->leftOpen = true;
                about->done(QDialog::Rejected);
            }
        } else if (watchdog->elapsed() < 5000) {
            return;
        }
        poll->deleteLater();
        delete watchdog;
    });
    poll->start();
}
} // namespace

class AboutTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void layoutAndTexts();
    void opensFromTheMenuAndClosesWithOk();
    void altOClosesIt();
    void exitButtonClosesItAndEnterOrEscapeDoNot();
    void linkOpensTheHomePage();
    void helpButtonIsFlatAgainOnceItCloses();

  private:
    std::unique_ptr<TestCatalogue> cat_;
    std::unique_ptr<RecordingMessages> messages_;
    Catalogue session_;
    std::unique_ptr<TPersonalForm> form_;
};

void AboutTest::init()
{
    cat_ = std::make_unique<TestCatalogue>();
    messages_ = std::make_unique<RecordingMessages>();
    form_ = std::make_unique<TPersonalForm>(*messages_, session_, cat_->path());
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void AboutTest::cleanup()
{
    form_.reset();
    messages_.reset();
    cat_.reset();
}

void AboutTest::layoutAndTexts()
{
    TfrmAbout* about = windowChild<TfrmAbout>(form_, "frmAbout");
    QVERIFY(about);
    QVERIFY(!about->isVisible()); // created hidden at start-up
    QVERIFY(about->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(about->size(), QSize(215, 225));
    QCOMPARE(windowChild<QFrame>(about, "Panel1")->geometry(), QRect(0, 0, 215, 225));
    QCOMPARE(windowChild<QFrame>(about, "Panel1")->palette().color(QPalette::Window), QColor(210, 228, 249));
    QCOMPARE(windowChild<QLabel>(about, "Label1")->text(), QStringLiteral("Tessaro"));
    QVERIFY(windowChild<QLabel>(about, "Label1")->font().bold());
    QCOMPARE(windowChild<QLabel>(about, "Label2")->text(), QStringLiteral("ver. 1.3"));
    QCOMPARE(windowChild<QLabel>(about, "Label3")->text(), AppInfo::Year);
    // The pictures come from the compiled-in artwork.
    QVERIFY(!windowChild<QLabel>(about, "Image1")->pixmap().isNull());
    QVERIFY(!windowChild<QLabel>(about, "Image2")->pixmap().isNull());
    // Every control stays inside the border line.
    const QRect inside = windowChild<QFrame>(about, "Panel1")->contentsRect();
    for (QWidget* w :
         windowChild<QFrame>(about, "Panel1")->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        QVERIFY2(inside.contains(w->geometry()), qPrintable(w->objectName()));
}

void AboutTest::opensFromTheMenuAndClosesWithOk()
{
    Outcome outcome;
    QPoint shownAt;
    whenAboutShows(
        [&](TfrmAbout* about) {
            shownAt = about->pos();
            QTest::mouseClick(windowChild<QPushButton>(about, "Button1"), Qt::LeftButton);
        },
        &outcome);
    windowChild<QAction>(form_, "Informazionisu1")->trigger();
    QVERIFY(outcome.seen);
    QVERIFY(!outcome.leftOpen);
    QVERIFY(!windowChild<TfrmAbout>(form_, "frmAbout")->isVisible());
    QCOMPARE(shownAt, QPoint((form_->screen()->availableGeometry().width() - 215) / 2,
                             (form_->screen()->availableGeometry().height() - 225) / 2) +
                          form_->screen()->availableGeometry().topLeft());
    // The one instance shows again.
    outcome = {};
    whenAboutShows(
        [](TfrmAbout* about) {
            QTest::mouseClick(windowChild<QPushButton>(about, "Button1"), Qt::LeftButton);
        },
        &outcome);
    windowChild<QAction>(form_, "Informazionisu1")->trigger();
    QVERIFY(outcome.seen);
    QVERIFY(!outcome.leftOpen);
}

void AboutTest::altOClosesIt()
{
    Outcome outcome;
    whenAboutShows([](TfrmAbout* about) { QTest::keyClick(about, Qt::Key_O, Qt::AltModifier); }, &outcome);
    windowChild<QAction>(form_, "Informazionisu1")->trigger();
    QVERIFY(outcome.seen);
    QVERIFY(!outcome.leftOpen);
    QVERIFY(!windowChild<TfrmAbout>(form_, "frmAbout")->isVisible());
}

void AboutTest::exitButtonClosesItAndEnterOrEscapeDoNot()
{
    Outcome outcome;
    bool openAfterEscape = false;
    whenAboutShows(
        [&](TfrmAbout* about) {
            // Enter on the OK button or elsewhere: the box has no default button.
            windowChild<QPushButton>(about, "Button1")->setFocus();
            for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
                QTest::keyClick(windowChild<QPushButton>(about, "Button1"), key);
                QTest::keyClick(about, key);
            }
            openAfterEscape = about->isVisible();
            QTest::mouseClick(windowChild<CaptionButton>(about, "dxToolButton1"), Qt::LeftButton);
        },
        &outcome);
    windowChild<QAction>(form_, "Informazionisu1")->trigger();
    QVERIFY(outcome.seen);
    QVERIFY(!outcome.leftOpen);
    QVERIFY(openAfterEscape);
    QVERIFY(!windowChild<TfrmAbout>(form_, "frmAbout")->isVisible());
}

void AboutTest::linkOpensTheHomePage()
{
    UrlCatcher catcher;
    const QString scheme = QUrl(AppInfo::HomePage).scheme();
    QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    Outcome outcome;
    whenAboutShows(
        [&](TfrmAbout* about) {
            // The label holds nothing but the link.
            QTest::mouseClick(windowChild<QLabel>(about, "Label4"), Qt::LeftButton, {},
                              windowChild<QLabel>(about, "Label4")->rect().center());
            QTest::mouseClick(windowChild<QPushButton>(about, "Button1"), Qt::LeftButton);
        },
        &outcome);
    windowChild<QAction>(form_, "Informazionisu1")->trigger();
    QDesktopServices::unsetUrlHandler(scheme);
    QVERIFY(outcome.seen);
    QVERIFY(!outcome.leftOpen);
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(AppInfo::HomePage)});
}

// The box opens from the Help button's menu and takes the pointer with it: once it closes with
// the pointer elsewhere, the button no longer counts as under the pointer (drawn raised).
void AboutTest::helpButtonIsFlatAgainOnceItCloses()
{
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    QToolButton* help = windowChild<QToolButton>(form_, "ToolButton5");
    help->setAttribute(Qt::WA_UnderMouse, true); // as when the menu was opened from it
    QCursor::setPos(windowChild<TGridRequisiti>(form_, "GridRequisiti")
                        ->mapToGlobal(windowChild<TGridRequisiti>(form_, "GridRequisiti")->rect().center()));
    Outcome outcome;
    whenAboutShows([](TfrmAbout* about) { windowChild<QPushButton>(about, "Button1")->click(); }, &outcome);
    windowChild<QAction>(form_, "Informazionisu1")->trigger();
    QVERIFY(outcome.seen);
    QVERIFY(!help->underMouse());
}

QTEST_MAIN(AboutTest)
#include "about_test.moc"
