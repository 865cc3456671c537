#include "app/ui/CaptionButton.h"

#include <QPainter>

namespace
{
const QColor kDisabledInk(128, 128, 128);
}

CaptionButton::CaptionButton(Glyph glyph, const QColor& face, const QColor& ink, QWidget* parent)
    : QAbstractButton(parent), glyph_(glyph), face_(face), ink_(ink)
{
    setFixedSize(15, 15);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void CaptionButton::setGlyph(Glyph glyph)
{
    if (glyph_ == glyph)
        return;
    glyph_ = glyph;
    update();
}

void CaptionButton::setHint(const QString& hint)
{
    setToolTip(hint);
    setStatusTip(hint);
}

void CaptionButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), isDown() ? face_.darker(115) : face_);
    const QColor ink = isEnabled() ? ink_ : kDisabledInk;
    if (isEnabled() && (isDown() || underMouse())) {
        p.setPen(ink);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    // Glyphs are drawn in whole pixels so they stay crisp at this size.
    const int shift = isDown() ? 1 : 0;
    p.translate(shift, shift);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    switch (glyph_) {
    case Glyph::Minimise:
        p.drawRect(4, 10, 7, 2);
        break;
    case Glyph::Maximise:
        p.setBrush(Qt::NoBrush);
        p.setPen(ink);
        p.drawRect(3, 3, 8, 8);
        p.drawLine(3, 4, 11, 4);
        break;
    case Glyph::Restore:
        p.setBrush(Qt::NoBrush);
        p.setPen(ink);
        p.drawRect(5, 2, 7, 6);
        p.drawLine(5, 3, 12, 3);
        p.fillRect(2, 5, 8, 7, isDown() ? face_.darker(115) : face_);
        p.drawRect(2, 5, 7, 6);
        p.drawLine(2, 6, 9, 6);
        break;
    case Glyph::Close:
        p.setPen(QPen(ink, 1));
        for (int d = 0; d < 2; ++d) {
            p.drawLine(3 + d, 3, 10 + d, 10);
            p.drawLine(10 + d, 3, 3 + d, 10);
        }
        break;
    }
}
