#include "app/ui/BalloonHint.h"

#include "common/ui/Panels.h"

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QStyle>
#include <algorithm>

namespace
{
constexpr int kStem = 12;      // height of the stem between body and tip
constexpr int kStemWidth = 10; // width of the stem where it meets the body
constexpr int kStemInset = 14; // from the body's near side to the tip
constexpr int kRadius = 6;
constexpr int kPad = 7;
constexpr int kIcon = 16;
constexpr int kGap = 4;
constexpr int kMaxTextWidth = 300;
constexpr int kCursorHeight = 16; // a body below the pointer clears the arrow

QFont headerFont(const QFont& base)
{
    QFont bold = base;
    bold.setBold(true);
    return bold;
}

// The two ends of the stem where it meets the body, kept clear of the rounded corners.
std::pair<int, int> stemBase(const BalloonPlacement& p)
{
    int from = p.leftward ? p.tip.x() - kStemWidth : p.tip.x();
    from = std::clamp(from, p.body.left() + kRadius,
                      std::max(p.body.left() + kRadius, p.body.right() - kRadius - kStemWidth));
    return {from, from + kStemWidth};
}

// The outline through the centres of the border pixels; grown by one for the mask, which
// keeps whole pixels on its inside only.
QPainterPath outline(const BalloonPlacement& p, int grow)
{
    QPainterPath body;
    body.addRoundedRect(QRectF(p.body).adjusted(0, 0, grow - 1, grow - 1), kRadius, kRadius);
    const auto [from, to] = stemBase(p);
    const qreal edge = p.below ? p.body.top() + 1 : p.body.bottom() - 1;
    QPainterPath stem;
    stem.moveTo(from, edge);
    stem.lineTo(p.tip.x(), p.tip.y());
    stem.lineTo(to, edge);
    stem.closeSubpath();
    return body.united(stem);
}
} // namespace

QRect BalloonPlacement::window() const
{
    return body.united(QRect(tip, QSize(1, 1)));
}

BalloonPlacement placeBalloon(QPoint pointer, QSize body, const QRect& workArea)
{
    BalloonPlacement p;
    p.tip = pointer;
    QRect r(QPoint(pointer.x() - kStemInset, pointer.y() - kStem - body.height()), body);
    if (r.right() > workArea.right()) {
        p.leftward = true;
        r.moveRight(pointer.x() + kStemInset);
    }
    if (r.top() < workArea.top()) {
        p.below = true;
        p.tip = pointer + QPoint(0, kCursorHeight);
        r.moveTop(p.tip.y() + kStem);
    }
    if (r.right() > workArea.right())
        r.moveRight(workArea.right());
    if (r.left() < workArea.left())
        r.moveLeft(workArea.left());
    p.body = r;
    return p;
}

BalloonHint::BalloonHint(const QString& text, QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::BypassGraphicsProxyWidget), text_(text)
{
    setObjectName(QStringLiteral("BalloonHint"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The info-tip colours and the windows' face, whatever the desktop's tooltips look like.
    setPalette(Panels::windowPalette());
    setFont(Panels::windowFont());

    const QFontMetrics header(headerFont(font()));
    const QFontMetrics body(font());
    const QRect textBox = body.boundingRect(QRect(0, 0, kMaxTextWidth, 10000), Qt::TextWordWrap, text_);
    const int headerWidth = kIcon + kGap + header.horizontalAdvance(QStringLiteral("Info"));
    const int headerHeight = std::max(kIcon, header.height());
    bodySize_ = QSize(2 * kPad + std::max(headerWidth, textBox.width()),
                      2 * kPad + headerHeight + kGap + textBox.height());
}

void BalloonHint::showAt(QPoint pointer, const QRect& workArea)
{
    placement_ = placeBalloon(pointer, bodySize_, workArea);
    const QRect frame = placement_.window();
    setGeometry(frame);
    BalloonPlacement local = placement_;
    local.body.translate(-frame.topLeft());
    local.tip -= frame.topLeft();
    setMask(QRegion(outline(local, 1).toFillPolygon().toPolygon()));
    show();
    update();
}

QRect BalloonHint::textRect() const
{
    const QFontMetrics header(headerFont(font()));
    QRect body = placement_.body.translated(-placement_.window().topLeft());
    const int top = body.top() + kPad + std::max(kIcon, header.height()) + kGap;
    return QRect(body.left() + kPad, top, body.width() - 2 * kPad, body.bottom() - kPad - top + 1);
}

void BalloonHint::paintEvent(QPaintEvent*)
{
    const QPoint origin = placement_.window().topLeft();
    BalloonPlacement local = placement_;
    local.body.translate(-origin);
    local.tip -= origin;

    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::ToolTipBase));
    // The mask cuts whole pixels: the outline is drawn without antialiasing to match it.
    p.setPen(palette().color(QPalette::ToolTipText));
    p.drawPolygon(outline(local, 0).toFillPolygon().toPolygon());

    const QRect body = local.body;
    const QFontMetrics header(headerFont(font()));
    const int headerHeight = std::max(kIcon, header.height());
    const QIcon info = style()->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this);
    info.paint(&p, QRect(body.left() + kPad, body.top() + kPad + (headerHeight - kIcon) / 2, kIcon, kIcon));
    p.setFont(headerFont(font()));
    p.drawText(QRect(body.left() + kPad + kIcon + kGap, body.top() + kPad, body.width(), headerHeight),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Info"));
    p.setFont(font());
    p.drawText(textRect(), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text_);
}
