#include "app/ui/WindowChrome.h"

#include "app/ui/CaptionButton.h"
#include "common/ui/Panels.h"
#include "resources/Art.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCursor>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace
{
const QColor kCaptionBlue(74, 146, 225);
constexpr int kCaptionHeight = 20;
constexpr int kMargin = 2; // Panel1's border width, inside its border line

void fill(QWidget* widget, const QColor& colour)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

void setHint(QWidget* widget, const QString& hint)
{
    widget->setToolTip(hint);
    widget->setStatusTip(hint);
}

bool isPlainWindow(const QWidget* w)
{
    switch (w->windowType()) {
    case Qt::Popup:
    case Qt::ToolTip:
    case Qt::SplashScreen:
    case Qt::Desktop:
        return false;
    default:
        return true;
    }
}
} // namespace

WindowChrome* WindowChrome::attach(QWidget* window, Options options)
{
    if (WindowChrome* existing = of(window))
        return existing;
    auto* panel1 = window->findChild<QFrame*>(QStringLiteral("Panel1"));
    Q_ASSERT_X(panel1, "WindowChrome::attach", "the window has no Panel1");
    if (!panel1)
        return nullptr;
    return new WindowChrome(window, panel1, options);
}

WindowChrome* WindowChrome::of(const QWidget* window)
{
    return window->findChild<WindowChrome*>(QString(), Qt::FindDirectChildrenOnly);
}

WindowChrome::WindowChrome(QWidget* window, QFrame* panel1, Options options)
    : QObject(window), Panel1(panel1), window_(window), options_(options)
{
    setObjectName(QStringLiteral("WindowChrome"));
    window_->setWindowFlag(Qt::FramelessWindowHint);

    Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel1->setLineWidth(1);
    fill(Panel1, Panels::SkyBlue);

    buildCaptionBar();
    CaptionSetup();
    placeCentred();

    window_->installEventFilter(this);
    Panel1->installEventFilter(this);
    Panel2->installEventFilter(this);
    CaptionLabel->installEventFilter(this);
    MyIcon->installEventFilter(this);
}

void WindowChrome::buildCaptionBar()
{
    Panel2 = new QFrame(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel2->setLineWidth(1);
    Panel2->setFixedHeight(kCaptionHeight);
    fill(Panel2, kCaptionBlue);

    MyIcon = new QLabel(Panel2);
    MyIcon->setObjectName(QStringLiteral("MyIcon"));
    MyIcon->setGeometry(2, 2, 16, 16);
    MyIcon->setScaledContents(true);

    CaptionLabel = new QLabel(Panel2);
    CaptionLabel->setObjectName(QStringLiteral("CaptionLabel"));
    QFont bold = CaptionLabel->font();
    bold.setBold(true);
    CaptionLabel->setFont(bold);
    QPalette white = CaptionLabel->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    CaptionLabel->setPalette(white);
    CaptionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Panel3 = new QFrame(Panel2);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->resize(56, 16);
    fill(Panel3, kCaptionBlue);

    auto button = [this](const char* name, CaptionButton::Glyph glyph, int left, const QString& hint) {
        auto* b = new CaptionButton(glyph, kCaptionBlue, Qt::white, Panel3);
        b->setObjectName(QLatin1String(name));
        b->move(left, 0);
        b->setHint(hint);
        return b;
    };
    dxToolButton1 = button("dxToolButton1", CaptionButton::Glyph::Minimise, 4, QStringLiteral("Minimize"));
    dxToolButton2 = button("dxToolButton2", CaptionButton::Glyph::Maximise, 22, QStringLiteral("Maximize"));
    dxToolButton3 = button("dxToolButton3", CaptionButton::Glyph::Close, 40, QStringLiteral("Exit"));
    dxToolButton2->setEnabled(options_.canMaximise);

    // The buttons and the handlers cross over by name.
    connect(dxToolButton3, &QAbstractButton::clicked, this, &WindowChrome::dxToolButton1Click);
    connect(dxToolButton1, &QAbstractButton::clicked, this, &WindowChrome::dxToolButton3Click);
    connect(dxToolButton2, &QAbstractButton::clicked, this, &WindowChrome::dxToolButton2Click);

    // A window laid out top to bottom takes the bar as its first row; one laid out by hand
    // has left the room for it free.
    if (auto* box = qobject_cast<QBoxLayout*>(Panel1->layout());
        box && (box->direction() == QBoxLayout::TopToBottom)) {
        box->insertWidget(0, Panel2);
        captionInLayout_ = true;
    } else {
        placeCaptionBar();
        Panel2->raise();
    }
}

void WindowChrome::CaptionSetup()
{
    ImageList1 = {QIcon(QString(Art::appIcon))};
    window_->setWindowIcon(ImageList1.at(0));
    MyIcon->setPixmap(ImageList1.at(0).pixmap(QSize(16, 16), window_->devicePixelRatio()));
    CaptionLabel->setText(window_->windowTitle());
    CaptionLabel->adjustSize();
    setHint(MyIcon, window_->windowTitle());
    FormResize();
}

void WindowChrome::placeCentred()
{
    // Only while the window has no window-system window yet. Moving a created but unmapped window
    // makes the X server report a configure that Qt reads only after the window manager has
    // put the window into its frame, and sometimes before the frame is in place: Qt then keeps
    // the frame's first corner as the window's position, and popups, system moves and resizes
    // start from there until the window is next moved.
    if (window_->testAttribute(Qt::WA_WState_Created))
        return;
    if (QScreen* screen = window_->screen())
        window_->move(centredTopLeft(window_->size(), screen->availableGeometry()));
}

void WindowChrome::placeCaptionBar()
{
    const int inset = Panel1->frameWidth() + kMargin;
    Panel2->setGeometry(inset, inset, Panel1->width() - 2 * inset, kCaptionHeight);
    placeButtons();
}

void WindowChrome::keepStatusBarsAtTheBottom(QSize oldSize)
{
    // The controls of a panel placed by hand keep their places when the window is maximised, but
    // a status bar stays along the bottom, as wide as before within the panel's margins.
    if (Panel1->layout() || !oldSize.isValid())
        return;
    const QSize grown = Panel1->size() - oldSize;
    const auto bars = Panel1->findChildren<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
    for (QStatusBar* bar : bars)
        bar->setGeometry(bar->x(), bar->y() + grown.height(), bar->width() + grown.width(), bar->height());
}

void WindowChrome::placeButtons()
{
    Panel3->move(Panel2->width() - Panel2->frameWidth() - 1 - Panel3->width(), 2);
}

void WindowChrome::FormResize()
{
    // Positions inside the caption bar count from its inner edge, one border line in.
    const int inner = Panel2->frameWidth();
    CaptionLabel->setGeometry(inner + captionLabelLeft(window_->width(), CaptionLabel->width()), inner,
                              CaptionLabel->width(), Panel2->height() - 2 * inner);
}

void WindowChrome::setRestoreKind(bool restore)
{
    restoreKind_ = restore;
    dxToolButton2->setGlyph(restore ? CaptionButton::Glyph::Restore : CaptionButton::Glyph::Maximise);
    dxToolButton2->setHint(restore ? QStringLiteral("Restore") : QStringLiteral("Maximize"));
}

void WindowChrome::dxToolButton1Click()
{
    window_->close();
}

void WindowChrome::dxToolButton2Click()
{
    if (!restoreKind_) {
        // A dialog of fixed size is let loose while maximised and fixed again on restoring.
        if (window_->minimumSize() == window_->maximumSize()) {
            fixedGeometry_ = window_->geometry();
            window_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        }
        window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        setRestoreKind(true);
    } else {
        window_->setWindowState(window_->windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
        setRestoreKind(false);
    }
}

void WindowChrome::windowStateChanged()
{
    const bool maximised = window_->windowState() & Qt::WindowMaximized;
    setRestoreKind(maximised);
    if (!maximised && fixedGeometry_.isValid()) {
        // Once the window manager has restored it, the window gets its place and fixed size back.
        QTimer::singleShot(0, this, [this, geometry = fixedGeometry_] {
            window_->setFixedSize(geometry.size());
            window_->move(geometry.topLeft());
        });
        fixedGeometry_ = QRect();
    }
}

void WindowChrome::dxToolButton3Click()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->isVisible() && isPlainWindow(w))
            w->showMinimized();
    }
}

void WindowChrome::Panel2DblClick()
{
    drag_ = Drag::None;
    dxToolButton2Click();
}

void WindowChrome::Panel1MouseMove()
{
    hitTestAt(QCursor::pos());
    const Qt::CursorShape shape = edgeCursor(flags_);
    if (shape == shownCursor_)
        return;
    shownCursor_ = shape;
    if (flags_.any())
        Panel1->setCursor(shape);
    else
        Panel1->unsetCursor();
}

void WindowChrome::hitTestAt(QPoint global)
{
    if (!options_.resizable) {
        flags_ = {};
        return;
    }
    const QPoint origin = window_->frameGeometry().topLeft();
    flags_ = edgeHitTest(global.x() - origin.x(), global.y() - origin.y(), Panel1->width(), Panel1->height(),
                         window_->windowState());
}

void WindowChrome::Panel2MouseDown(QMouseEvent* event)
{
    beginMove(event);
}

void WindowChrome::CaptionLabelMouseDown(QMouseEvent* event)
{
    beginMove(event);
}

void WindowChrome::MyIconMouseDown(QMouseEvent* event)
{
    beginMove(event);
}

void WindowChrome::beginMove(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The move starts once the pointer has travelled: handing it to the window system on the
    // press would swallow a double-click.
    drag_ = Drag::PendingMove;
    pressGlobal_ = event->globalPosition().toPoint();
    startGeometry_ = window_->geometry();
}

bool WindowChrome::Panel1MouseDown(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !options_.resizable)
        return false;
    const QPoint pos = event->position().toPoint();
    // Only the margin inside the border line sizes; the border line itself and the controls
    // Panel1 holds do not.
    if (!Panel1->contentsRect().contains(pos) || Panel1->childAt(pos))
        return false;
    hitTestAt(event->globalPosition().toPoint());
    const Qt::Edges edges = edgesToSize(flags_);
    if (!edges)
        return false;
    QWindow* handle = window_->windowHandle();
    if (handle && handle->startSystemResize(edges))
        return true;
    drag_ = Drag::Sizing;
    dragEdges_ = edges;
    pressGlobal_ = event->globalPosition().toPoint();
    startGeometry_ = window_->geometry();
    return true;
}

bool WindowChrome::dragMouseMove(QMouseEvent* event)
{
    if (drag_ == Drag::None)
        return false;
    if (!(event->buttons() & Qt::LeftButton)) {
        drag_ = Drag::None;
        return false;
    }
    const QPoint delta = event->globalPosition().toPoint() - pressGlobal_;
    if (drag_ == Drag::PendingMove) {
        if (delta.manhattanLength() < QApplication::startDragDistance())
            return true;
        QWindow* handle = window_->windowHandle();
        if (handle && handle->startSystemMove()) {
            drag_ = Drag::None;
            return true;
        }
        // The window system refused: a maximised window stays put, any other follows the pointer.
        if (window_->isMaximized()) {
            drag_ = Drag::None;
            return true;
        }
        drag_ = Drag::Moving;
    }
    if (drag_ == Drag::Moving)
        window_->move(startGeometry_.topLeft() + delta);
    else if (drag_ == Drag::Sizing)
        window_->setGeometry(draggedGeometry(startGeometry_, delta, dragEdges_, window_->minimumSize()));
    return true;
}

bool WindowChrome::captionMouseEvent(QMouseEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (event->button() == Qt::LeftButton)
            Panel2DblClick();
        return true;
    case QEvent::MouseMove:
        dragMouseMove(event);
        return true;
    case QEvent::MouseButtonRelease:
        drag_ = Drag::None;
        return true;
    default:
        return false;
    }
}

bool WindowChrome::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == Panel2 || watched == CaptionLabel || watched == MyIcon) {
        if (type == QEvent::Resize && watched == Panel2) {
            placeButtons();
            FormResize();
            return false;
        }
        auto* mouse = dynamic_cast<QMouseEvent*>(event);
        if (!mouse)
            return false;
        if (type == QEvent::MouseButtonPress) {
            if (watched == Panel2)
                Panel2MouseDown(mouse);
            else if (watched == CaptionLabel)
                CaptionLabelMouseDown(mouse);
            else
                MyIconMouseDown(mouse);
            return true;
        }
        return captionMouseEvent(mouse);
    }
    if (watched == Panel1) {
        switch (type) {
        case QEvent::Resize:
            if (!captionInLayout_)
                placeCaptionBar();
            keepStatusBarsAtTheBottom(static_cast<QResizeEvent*>(event)->oldSize());
            return false;
        case QEvent::MouseButtonPress:
            return Panel1MouseDown(static_cast<QMouseEvent*>(event));
        case QEvent::MouseMove:
            return drag_ == Drag::Sizing && dragMouseMove(static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonRelease:
            if (drag_ != Drag::Sizing)
                return false;
            drag_ = Drag::None;
            return true;
        default:
            return false;
        }
    }
    if (watched == window_) {
        switch (type) {
        case QEvent::Resize:
            // Sized again before it ever showed: still centred, as long as that costs no
            // window-system request.
            if (!window_->testAttribute(Qt::WA_WState_Created))
                placeCentred();
            // A panel placed by hand follows the window, as when it is maximised.
            if (Panel1->parentWidget() == window_ && !window_->layout())
                Panel1->setGeometry(window_->rect());
            FormResize();
            break;
        case QEvent::WindowStateChange:
            windowStateChanged();
            break;
        case QEvent::WindowTitleChange:
            CaptionLabel->setText(window_->windowTitle());
            CaptionLabel->adjustSize();
            setHint(MyIcon, window_->windowTitle());
            FormResize();
            break;
        case QEvent::KeyPress: {
            // No framed window has a default or a cancel button.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)
                return true;
            break;
        }
        default:
            break;
        }
    }
    return false;
}
