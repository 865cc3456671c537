#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <Qt>

// The four edge flags of the main window's hit test.
struct EdgeFlags {
    bool top = false;
    bool left = false;
    bool bottom = false;
    bool right = false;

    bool any() const { return top || left || bottom || right; }
    friend bool operator==(const EdgeFlags&, const EdgeFlags&) = default;
};

// x and y are the pointer's position relative to the window's top-left corner, width and
// height those of the outer panel. Only a window in its normal state has edges to size from.
EdgeFlags edgeHitTest(int x, int y, int width, int height, Qt::WindowStates state);

// The pointer shape for a set of flags; Qt::ArrowCursor when none is set.
Qt::CursorShape edgeCursor(EdgeFlags flags);

// The edges a press sizes from; empty when no flag is set.
Qt::Edges edgesToSize(EdgeFlags flags);

// Left position of the caption text inside the caption bar's inner edge: half the window
// width minus half the text width minus 10, each half truncated.
int captionLabelLeft(int windowWidth, int labelWidth);

// Top-left corner that centres a window of the given size in an area.
QPoint centredTopLeft(QSize window, const QRect& area);

// Where a framed window's own area (client) goes so that the window with its frame is centred
// in an area. While the window manager is still making the frame, the window system may report
// a frame smaller than the window or a border wider than any frame has: the window then counts
// as unframed until the frame is known.
QPoint centredClientTopLeft(const QRect& client, const QRect& frame, const QRect& area);

// The geometry a window sized by hand gets: the start geometry with the dragged edges moved
// by delta, never smaller than minimum (the opposite edges stay put). Empty edges move it.
QRect draggedGeometry(const QRect& start, QPoint delta, Qt::Edges edges, QSize minimum);
