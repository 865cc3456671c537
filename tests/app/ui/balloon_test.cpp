#include "app/ui/BalloonHint.h"
#include "app/ui/BalloonHintFilter.h"

#include <QAction>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <QtTest>

namespace
{
const QSize kBody(120, 60);
const QRect kScreen(0, 0, 1280, 800);

bool inside(const QRect& area, const BalloonPlacement& p)
{
    return area.contains(p.body) && area.contains(p.window());
}

void askForHint(QWidget* widget, QPoint pos)
{
    QHelpEvent help(QEvent::ToolTip, pos, widget->mapToGlobal(pos));
    QApplication::sendEvent(widget, &help);
}
} // namespace

class BalloonTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void aboveAndRightOfThePointer();
    void flipsNearTheRightEdge();
    void flipsNearTheTopEdge();
    void pushedInsideAWorkAreaThatIsNotAtTheOrigin();
    void replacesTheTooltipOfAWidget();
    void askingAWidgetWithoutHintShowsItsParentsHint();
    void menuEntriesShowTheirHints();
    void closesOnPressAndWhenThePointerLeaves();
    void balloonNearTheScreenEdgeStaysOnScreen();

  private:
    BalloonHintFilter* filter_ = nullptr;
};

void BalloonTest::initTestCase()
{
    filter_ = BalloonHintFilter::install();
    QCOMPARE(BalloonHintFilter::install(), filter_);
}

void BalloonTest::cleanup()
{
    filter_->hideBalloon();
}

void BalloonTest::aboveAndRightOfThePointer()
{
    const QPoint pointer(600, 400);
    const BalloonPlacement p = placeBalloon(pointer, kBody, kScreen);
    QVERIFY(!p.below);
    QVERIFY(!p.leftward);
    QCOMPARE(p.body.size(), kBody);
    QCOMPARE(p.tip, pointer);
    QVERIFY(p.body.bottom() < pointer.y());
    QVERIFY(p.body.left() < pointer.x());
    // Most of the body reaches to the right of the pointer.
    QVERIFY(p.body.right() - pointer.x() > pointer.x() - p.body.left());
    QVERIFY(inside(kScreen, p));
}

void BalloonTest::flipsNearTheRightEdge()
{
    const QPoint pointer(1270, 400);
    const BalloonPlacement p = placeBalloon(pointer, kBody, kScreen);
    QVERIFY(p.leftward);
    QVERIFY(!p.below);
    QVERIFY(p.body.left() - pointer.x() < 0);
    QVERIFY(pointer.x() - p.body.left() > p.body.right() - pointer.x());
    QVERIFY(inside(kScreen, p));
    // The body ends 106 pixels right of the pointer: one pixel more than fits flips it.
    QVERIFY(!placeBalloon(QPoint(1279 - kBody.width() + 15, 400), kBody, kScreen).leftward);
    QVERIFY(placeBalloon(QPoint(1279 - kBody.width() + 16, 400), kBody, kScreen).leftward);
}

void BalloonTest::flipsNearTheTopEdge()
{
    const QPoint pointer(600, 30);
    const BalloonPlacement p = placeBalloon(pointer, kBody, kScreen);
    QVERIFY(p.below);
    QVERIFY(!p.leftward);
    QVERIFY(p.body.top() > pointer.y());
    QVERIFY(p.tip.y() > pointer.y());
    QCOMPARE(p.tip.x(), pointer.x());
    QVERIFY(inside(kScreen, p));
}

void BalloonTest::pushedInsideAWorkAreaThatIsNotAtTheOrigin()
{
    // A second screen to the right, with a panel along its top.
    const QRect area(1280, 28, 1024, 740);
    const BalloonPlacement nearLeft = placeBalloon(QPoint(1282, 400), kBody, area);
    QVERIFY(!nearLeft.leftward);
    QCOMPARE(nearLeft.body.left(), area.left());
    QVERIFY(inside(area, nearLeft));
    const BalloonPlacement underPanel = placeBalloon(QPoint(1600, 60), kBody, area);
    QVERIFY(underPanel.below);
    QVERIFY(inside(area, underPanel));
    // The same pointer on a screen without the panel keeps the balloon above.
    QVERIFY(!placeBalloon(QPoint(1600, 90), kBody, QRect(1280, 0, 1024, 768)).below);
}

void BalloonTest::replacesTheTooltipOfAWidget()
{
    QWidget window;
    window.resize(400, 300);
    auto* button = new QPushButton(QStringLiteral("Find"), &window);
    button->setGeometry(150, 150, 60, 30);
    button->setToolTip(QStringLiteral("Find"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    askForHint(button, QPoint(30, 15));
    BalloonHint* balloon = filter_->balloon();
    QVERIFY(balloon);
    QVERIFY(balloon->isVisible());
    QVERIFY(!QToolTip::isVisible());
    QCOMPARE(balloon->text(), QStringLiteral("Find"));
    QCOMPARE(balloon->windowType(), Qt::ToolTip);
    const QPoint pointer = button->mapToGlobal(QPoint(30, 15));
    const BalloonPlacement expected =
        placeBalloon(pointer, balloon->bodySize(), button->screen()->availableGeometry());
    QCOMPARE(balloon->placement().body, expected.body);
    QCOMPARE(balloon->geometry(), expected.window());
    // Shaped: the rounded corners and the space beside the stem are cut away, the body is not.
    const QRegion mask = balloon->mask();
    QVERIFY(!mask.isEmpty());
    const QRect body = expected.body.translated(-expected.window().topLeft());
    QVERIFY(!mask.contains(body.topLeft()));
    QVERIFY(!mask.contains(body.topRight()));
    QVERIFY(mask.contains(body.center()));
    QVERIFY(!mask.contains(QPoint(balloon->width() - 1, balloon->height() - 1)));
    QVERIFY(mask.contains(expected.tip - expected.window().topLeft() - QPoint(0, 2)));
}

void BalloonTest::askingAWidgetWithoutHintShowsItsParentsHint()
{
    QWidget window;
    window.resize(300, 200);
    auto* panel = new QWidget(&window);
    panel->setGeometry(0, 0, 300, 200);
    panel->setToolTip(QStringLiteral("File date from"));
    auto* label = new QLabel(QStringLiteral("Date from:"), panel);
    label->move(20, 20);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    askForHint(label, QPoint(5, 5));
    QVERIFY(filter_->balloon());
    QCOMPARE(filter_->balloon()->text(), QStringLiteral("File date from"));
}

void BalloonTest::menuEntriesShowTheirHints()
{
    QMenu menu;
    menu.setToolTipsVisible(true);
    QAction* online = menu.addAction(QStringLiteral("Online Help"));
    online->setToolTip(QStringLiteral("Online Help"));
    QAction* about = menu.addAction(QStringLiteral("About..."));
    about->setToolTip(QStringLiteral("About Tessaro"));
    menu.popup(QPoint(300, 300));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    askForHint(&menu, menu.actionGeometry(about).center());
    QVERIFY(filter_->balloon());
    QCOMPARE(filter_->balloon()->text(), QStringLiteral("About Tessaro"));
    askForHint(&menu, menu.actionGeometry(online).center());
    QVERIFY(filter_->balloon());
    QCOMPARE(filter_->balloon()->text(), QStringLiteral("Online Help"));
    menu.close();
}

void BalloonTest::closesOnPressAndWhenThePointerLeaves()
{
    QWidget window;
    window.resize(300, 200);
    auto* button = new QPushButton(QStringLiteral("OK"), &window);
    button->setGeometry(50, 50, 60, 30);
    button->setToolTip(QStringLiteral("Confirm"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    askForHint(button, QPoint(10, 10));
    QPointer<BalloonHint> balloon = filter_->balloon();
    QVERIFY(balloon);
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(200, 150));
    QVERIFY(!filter_->balloon());
    QTRY_VERIFY(!balloon); // released, not only hidden

    askForHint(button, QPoint(10, 10));
    QVERIFY(filter_->balloon());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    QVERIFY(!filter_->balloon());
}

void BalloonTest::balloonNearTheScreenEdgeStaysOnScreen()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget window;
    window.setGeometry(area.right() - 99, area.top(), 100, 60);
    window.setToolTip(QStringLiteral("CDROM Drive"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    askForHint(&window, QPoint(95, 5));
    BalloonHint* balloon = filter_->balloon();
    QVERIFY(balloon);
    QVERIFY(balloon->placement().leftward);
    QVERIFY(balloon->placement().below);
    QVERIFY(area.contains(balloon->geometry()));
}

QTEST_MAIN(BalloonTest)
#include "balloon_test.moc"
