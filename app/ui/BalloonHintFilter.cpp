#include "app/ui/BalloonHintFilter.h"

#include "app/ui/BalloonHint.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>

namespace
{
constexpr int kShowMs = 10000;

// The hint a tooltip request asks for, and the area of the widget it belongs to.
QString hintAt(QWidget* widget, QPoint pos, QRect* area)
{
    *area = widget->rect();
    if (auto* menu = qobject_cast<QMenu*>(widget)) {
        QAction* action = menu->actionAt(pos);
        if (!action || !menu->toolTipsVisible())
            return {};
        *area = menu->actionGeometry(action);
        return action->toolTip();
    }
    if (auto* view = qobject_cast<QAbstractItemView*>(widget->parentWidget());
        view && view->viewport() == widget) {
        const QModelIndex index = view->indexAt(pos);
        if (index.isValid()) {
            *area = view->visualRect(index);
            return index.data(Qt::ToolTipRole).toString();
        }
    }
    return widget->toolTip();
}
} // namespace

BalloonHintFilter::BalloonHintFilter(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("BalloonHintFilter"));
    hideTimer_.setSingleShot(true);
    connect(&hideTimer_, &QTimer::timeout, this, &BalloonHintFilter::hideBalloon);
}

BalloonHintFilter::~BalloonHintFilter()
{
    hideBalloon();
}

BalloonHintFilter* BalloonHintFilter::install()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (auto* existing = app->findChild<BalloonHintFilter*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    auto* filter = new BalloonHintFilter(app);
    app->installEventFilter(filter);
    return filter;
}

BalloonHint* BalloonHintFilter::balloon() const
{
    return balloon_;
}

void BalloonHintFilter::hideBalloon()
{
    hideTimer_.stop();
    owner_.clear();
    if (balloon_) {
        balloon_->hide();
        balloon_->deleteLater();
        balloon_.clear();
    }
}

bool BalloonHintFilter::showFor(QWidget* widget, QHelpEvent* help)
{
    QRect area;
    const QString hint = hintAt(widget, help->pos(), &area);
    if (hint.isEmpty()) {
        // The request goes on to the parent, as tooltips do; a menu has no parent to ask.
        if (qobject_cast<QMenu*>(widget))
            hideBalloon();
        return qobject_cast<QMenu*>(widget) != nullptr;
    }
    if (balloon_ && owner_ == widget && ownerRect_ == area && balloon_->text() == hint)
        return true;
    show(widget, hint, help->globalPos(), area);
    return true;
}

void BalloonHintFilter::showHint(QWidget* owner, const QString& hint, QPoint at)
{
    show(owner, hint, at, owner->rect());
}

void BalloonHintFilter::show(QWidget* owner, const QString& hint, QPoint at, const QRect& area)
{
    hideBalloon();
    QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = owner->screen();
    balloon_ = new BalloonHint(hint, owner->window());
    owner_ = owner;
    ownerRect_ = area;
    balloon_->showAt(at, screen->availableGeometry());
    hideTimer_.start(kShowMs);
}

bool BalloonHintFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ToolTip:
        if (watched->isWidgetType())
            return showFor(static_cast<QWidget*>(watched), static_cast<QHelpEvent*>(event));
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::WindowDeactivate:
        if (balloon_)
            hideBalloon();
        break;
    case QEvent::Leave:
    case QEvent::Hide:
        if (balloon_ && watched == owner_)
            hideBalloon();
        break;
    case QEvent::MouseMove:
        if (balloon_ && watched == owner_ &&
            !ownerRect_.contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
            hideBalloon();
        break;
    default:
        break;
    }
    return false;
}
