#include "app/EdgeHitTest.h"

#include <QtTest>

Q_DECLARE_METATYPE(EdgeFlags)

namespace
{
EdgeFlags flags(const char* which)
{
    EdgeFlags f;
    for (const char* c = which; *c; ++c) {
        f.top = f.top || *c == 't';
        f.left = f.left || *c == 'l';
        f.bottom = f.bottom || *c == 'b';
        f.right = f.right || *c == 'r';
    }
    return f;
}

constexpr int W = 593;
constexpr int H = 367;
} // namespace

// The main window's edge hit test, the pointer shapes and edges it leads to, and the
// placement rules of the frame, on plain coordinates.
class HitTestTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void hitTest_data();
    void hitTest();
    void onlyANormalWindowHasEdges();
    void cursorAndEdgesForEachFlagCombination_data();
    void cursorAndEdgesForEachFlagCombination();
    void captionCentring_data();
    void captionCentring();
    void sizingByHand_data();
    void sizingByHand();
    void framedWindowCentring_data();
    void framedWindowCentring();
};

void HitTestTest::hitTest_data()
{
    // A 593 x 367 outer panel: pixels 0..592 and 0..366, its border line on the outermost
    // pixels and the 2-pixel margin inside that.
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<EdgeFlags>("expected");
    QTest::newRow("top-left border pixel") << 0 << 0 << flags("tl");
    QTest::newRow("one outside top-left") << -1 << -1 << flags("tl");
    QTest::newRow("two outside top-left") << -2 << -2 << flags("");
    QTest::newRow("top-left margin, inner pixel") << 2 << 2 << flags("tl");
    QTest::newRow("top-left, inside the margin") << 3 << 3 << flags("");
    QTest::newRow("top") << 300 << 1 << flags("t");
    QTest::newRow("left") << 1 << 200 << flags("l");
    QTest::newRow("right margin, inner pixel") << W - 3 << 200 << flags("r");
    QTest::newRow("right, inside the margin") << W - 4 << 200 << flags("");
    QTest::newRow("right border pixel") << W - 1 << 200 << flags("r");
    QTest::newRow("one right of the window") << W << 200 << flags("r");
    QTest::newRow("two right of the window") << W + 1 << 200 << flags("");
    QTest::newRow("bottom") << 300 << H - 2 << flags("b");
    QTest::newRow("bottom-right margin") << W - 2 << H - 2 << flags("br");
    QTest::newRow("bottom-right border pixel") << W - 1 << H - 1 << flags("br");
    QTest::newRow("bottom-right, inner margin pixels") << W - 3 << H - 3 << flags("br");
    QTest::newRow("bottom-right, inside the margin") << W - 4 << H - 4 << flags("");
    QTest::newRow("top-right") << W - 2 << 0 << flags("tr");
    QTest::newRow("bottom-left") << 0 << H - 1 << flags("bl");
    QTest::newRow("centre") << W / 2 << H / 2 << flags("");
    QTest::newRow("level with the top, far to the right") << W + 600 << 1 << flags("t");
}

void HitTestTest::hitTest()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(EdgeFlags, expected);
    const EdgeFlags got = edgeHitTest(x, y, W, H, Qt::WindowNoState);
    QCOMPARE(got.top, expected.top);
    QCOMPARE(got.left, expected.left);
    QCOMPARE(got.bottom, expected.bottom);
    QCOMPARE(got.right, expected.right);
}

void HitTestTest::onlyANormalWindowHasEdges()
{
    for (Qt::WindowStates state :
         {Qt::WindowStates(Qt::WindowMaximized), Qt::WindowStates(Qt::WindowMinimized),
          Qt::WindowMinimized | Qt::WindowMaximized, Qt::WindowStates(Qt::WindowFullScreen)}) {
        QVERIFY(!edgeHitTest(0, 0, W, H, state).any());
        QVERIFY(!edgeHitTest(W - 2, H - 2, W, H, state).any());
    }
    QVERIFY(edgeHitTest(W - 2, H - 2, W, H, Qt::WindowActive).any());
    // Top is checked before bottom, left before right: in a tiny panel the first one wins.
    QCOMPARE(edgeHitTest(1, 1, 3, 3, Qt::WindowNoState), flags("tl"));
}

void HitTestTest::cursorAndEdgesForEachFlagCombination_data()
{
    QTest::addColumn<EdgeFlags>("flags");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("edges");
    QTest::newRow("none") << flags("") << int(Qt::ArrowCursor) << 0;
    QTest::newRow("top-left") << flags("tl") << int(Qt::SizeFDiagCursor) << int(Qt::TopEdge | Qt::LeftEdge);
    QTest::newRow("bottom-right") << flags("br") << int(Qt::SizeFDiagCursor)
                                  << int(Qt::BottomEdge | Qt::RightEdge);
    QTest::newRow("bottom-left") << flags("bl") << int(Qt::SizeBDiagCursor)
                                 << int(Qt::BottomEdge | Qt::LeftEdge);
    QTest::newRow("top-right") << flags("tr") << int(Qt::SizeBDiagCursor) << int(Qt::TopEdge | Qt::RightEdge);
    QTest::newRow("left") << flags("l") << int(Qt::SizeHorCursor) << int(Qt::LeftEdge);
    QTest::newRow("right") << flags("r") << int(Qt::SizeHorCursor) << int(Qt::RightEdge);
    QTest::newRow("top") << flags("t") << int(Qt::SizeVerCursor) << int(Qt::TopEdge);
    QTest::newRow("bottom") << flags("b") << int(Qt::SizeVerCursor) << int(Qt::BottomEdge);
}

void HitTestTest::cursorAndEdgesForEachFlagCombination()
{
    QFETCH(EdgeFlags, flags);
    QFETCH(int, cursor);
    QFETCH(int, edges);
    QCOMPARE(int(edgeCursor(flags)), cursor);
    QCOMPARE(int(edgesToSize(flags)), edges);
}

void HitTestTest::captionCentring_data()
{
    QTest::addColumn<int>("windowWidth");
    QTest::addColumn<int>("labelWidth");
    QTest::addColumn<int>("left");
    QTest::newRow("main window") << 593 << 91 << 296 - 45 - 10;
    QTest::newRow("even widths") << 228 << 60 << 114 - 30 - 10;
    QTest::newRow("odd halves truncate") << 213 << 47 << 106 - 23 - 10;
    QTest::newRow("one-pixel label") << 190 << 1 << 95 - 0 - 10;
    QTest::newRow("label wider than the window") << 100 << 201 << 50 - 100 - 10;
}

void HitTestTest::captionCentring()
{
    QFETCH(int, windowWidth);
    QFETCH(int, labelWidth);
    QFETCH(int, left);
    QCOMPARE(captionLabelLeft(windowWidth, labelWidth), left);
}

void HitTestTest::sizingByHand_data()
{
    QTest::addColumn<int>("edges");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");
    const QRect start(100, 100, 593, 367);
    QTest::newRow("moved") << 0 << QPoint(-30, 40) << start.translated(-30, 40);
    QTest::newRow("bottom-right grows")
        << int(Qt::BottomEdge | Qt::RightEdge) << QPoint(50, 30) << QRect(100, 100, 643, 397);
    QTest::newRow("top-left grows, bottom-right stays")
        << int(Qt::TopEdge | Qt::LeftEdge) << QPoint(-20, -10) << QRect(80, 90, 613, 377);
    QTest::newRow("right stops at the minimum width")
        << int(Qt::RightEdge) << QPoint(-500, 0) << QRect(100, 100, 568, 367);
    QTest::newRow("left stops at the minimum, right edge stays")
        << int(Qt::LeftEdge) << QPoint(300, 0) << QRect(125, 100, 568, 367);
    QTest::newRow("top stops at the minimum height")
        << int(Qt::TopEdge) << QPoint(0, 400) << QRect(100, 272, 593, 195);
}

void HitTestTest::sizingByHand()
{
    QFETCH(int, edges);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);
    QCOMPARE(draggedGeometry(QRect(100, 100, 593, 367), delta, Qt::Edges(edges), QSize(568, 195)), expected);
}

// A message box is centred with the frame the window manager gives it; a frame still being made
// (kwin reports a 1x1 frame for a moment) must not put the box's corner at the screen's centre.
void HitTestTest::framedWindowCentring_data()
{
    QTest::addColumn<QRect>("client");
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QPoint>("expected");
    const QRect box(0, 0, 224, 71);
    QTest::newRow("no frame") << box << box << QPoint(528, 364);
    QTest::newRow("title bar and borders")
        << box.translated(5, 29) << QRect(0, 0, 234, 105) << QPoint(528, 376);
    QTest::newRow("frame of 1x1 being made")
        << box.translated(528, 364) << QRect(528, 364, 1, 1) << QPoint(528, 364);
    QTest::newRow("frame far wider than any")
        << box.translated(400, 300) << QRect(0, 0, 1280, 800) << QPoint(528, 364);
}

void HitTestTest::framedWindowCentring()
{
    QFETCH(QRect, client);
    QFETCH(QRect, frame);
    QFETCH(QPoint, expected);
    QCOMPARE(centredClientTopLeft(client, frame, QRect(0, 0, 1280, 800)), expected);
}

QTEST_MAIN(HitTestTest)
#include "hittest_test.moc"
