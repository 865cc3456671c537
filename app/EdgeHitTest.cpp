#include "app/EdgeHitTest.h"

#include <algorithm>

EdgeFlags edgeHitTest(int x, int y, int width, int height, Qt::WindowStates state)
{
    EdgeFlags flags;
    if (state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return flags;
    if (y >= -1 && y <= 2)
        flags.top = true;
    else if (y >= height - 3 && y <= height)
        flags.bottom = true;
    if (x >= -1 && x <= 2)
        flags.left = true;
    else if (x >= width - 3 && x <= width)
        flags.right = true;
    return flags;
}

Qt::CursorShape edgeCursor(EdgeFlags flags)
{
    if ((flags.left && flags.top) || (flags.right && flags.bottom))
        return Qt::SizeFDiagCursor;
    if ((flags.left && flags.bottom) || (flags.right && flags.top))
        return Qt::SizeBDiagCursor;
    if (flags.left || flags.right)
        return Qt::SizeHorCursor;
    if (flags.top || flags.bottom)
        return Qt::SizeVerCursor;
    return Qt::ArrowCursor;
}

Qt::Edges edgesToSize(EdgeFlags flags)
{
    Qt::Edges edges;
    if (flags.top)
        edges |= Qt::TopEdge;
    if (flags.left)
        edges |= Qt::LeftEdge;
    if (flags.bottom)
        edges |= Qt::BottomEdge;
    if (flags.right)
        edges |= Qt::RightEdge;
    return edges;
}

int captionLabelLeft(int windowWidth, int labelWidth)
{
    return windowWidth / 2 - labelWidth / 2 - 10;
}

QPoint centredTopLeft(QSize window, const QRect& area)
{
    return {area.left() + (area.width() - window.width()) / 2,
            area.top() + (area.height() - window.height()) / 2};
}

QPoint centredClientTopLeft(const QRect& client, const QRect& frame, const QRect& area)
{
    constexpr int kWidestBorder = 100;
    QMargins border(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                    frame.bottom() - client.bottom());
    for (const int side : {border.left(), border.top(), border.right(), border.bottom()})
        if (side < 0 || side > kWidestBorder)
            border = {};
    return centredTopLeft(client.size().grownBy(border), area) + QPoint(border.left(), border.top());
}

QRect draggedGeometry(const QRect& start, QPoint delta, Qt::Edges edges, QSize minimum)
{
    if (!edges)
        return start.translated(delta);
    QRect r = start;
    if (edges & Qt::LeftEdge)
        r.setLeft(std::min(start.left() + delta.x(), start.right() + 1 - minimum.width()));
    if (edges & Qt::RightEdge)
        r.setRight(std::max(start.right() + delta.x(), start.left() + minimum.width() - 1));
    if (edges & Qt::TopEdge)
        r.setTop(std::min(start.top() + delta.y(), start.bottom() + 1 - minimum.height()));
    if (edges & Qt::BottomEdge)
        r.setBottom(std::max(start.bottom() + delta.y(), start.top() + minimum.height() - 1));
    return r;
}
