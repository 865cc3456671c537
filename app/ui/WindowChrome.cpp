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
constexpr int kMargin = 2; // panel_'s border width, inside its border line

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
    : QObject(window), window_(window), panel_(panel1), options_(options)
{
    setObjectName(QStringLiteral("WindowChrome"));
    window_->setWindowFlag(Qt::FramelessWindowHint);

    panel_->setFrameStyle(QFrame::Box | QFrame::Plain);
    panel_->setLineWidth(1);
    fill(panel_, Panels::SkyBlue);

    buildCaptionBar();
    CaptionSetup();
    placeCentred();

    window_->installEventFilter(this);
    panel_->installEventFilter(this);
    captionBar_->installEventFilter(this);
    caption_->installEventFilter(this);
    icon_->installEventFilter(this);
}

void WindowChrome::buildCaptionBar()
{
    captionBar_ = new QFrame(panel_);
    captionBar_->setObjectName(QStringLiteral("Panel2"));
    captionBar_->setFrameStyle(QFrame::Box | QFrame::Plain);
    captionBar_->setLineWidth(1);
    captionBar_->setFixedHeight(kCaptionHeight);
    fill(captionBar_, kCaptionBlue);

    icon_ = new QLabel(captionBar_);
    icon_->setObjectName(QStringLiteral("MyIcon"));
    icon_->setGeometry(2, 2, 16, 16);
    icon_->setScaledContents(true);

    caption_ = new QLabel(captionBar_);
    caption_->setObjectName(QStringLiteral("CaptionLabel"));
    QFont bold = caption_->font();
    bold.setBold(true);
    caption_->setFont(bold);
    QPalette white = caption_->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    caption_->setPalette(white);
    caption_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    buttonBox_ = new QFrame(captionBar_);
    buttonBox_->setObjectName(QStringLiteral("Panel3"));
    buttonBox_->resize(56, 16);
    fill(buttonBox_, kCaptionBlue);

    auto button = [this](const char* name, CaptionButton::Glyph glyph, int left, const QString& hint) {
        auto* b = new CaptionButton(glyph, kCaptionBlue, Qt::white, buttonBox_);
        b->setObjectName(QLatin1String(name));
        b->move(left, 0);
        b->setHint(hint);
        return b;
    };
    minimiseButton_ = button("dxToolButton1", CaptionButton::Glyph::Minimise, 4, QStringLiteral("Minimize"));
    maximiseButton_ = button("dxToolButton2", CaptionButton::Glyph::Maximise, 22, QStringLiteral("Maximize"));
    exitButton_ = button("dxToolButton3", CaptionButton::Glyph::Close, 40, QStringLiteral("Exit"));
    maximiseButton_->setEnabled(options_.canMaximise);

    connect(exitButton_, &QAbstractButton::clicked, this, &WindowChrome::closeWindow);
    connect(minimiseButton_, &QAbstractButton::clicked, this, &WindowChrome::minimiseAll);
    connect(maximiseButton_, &QAbstractButton::clicked, this, &WindowChrome::toggleMaximised);

    // A window laid out top to bottom takes the bar as its first row; one laid out by hand
    // has left the room for it free.
    if (auto* box = qobject_cast<QBoxLayout*>(panel_->layout());
        box && (box->direction() == QBoxLayout::TopToBottom)) {
        box->insertWidget(0, captionBar_);
        captionInLayout_ = true;
    } else {
        placeCaptionBar();
        captionBar_->raise();
    }
}

void WindowChrome::CaptionSetup()
{
    icons_ = {QIcon(QString(Art::appIcon))};
    window_->setWindowIcon(icons_.at(0));
    icon_->setPixmap(icons_.at(0).pixmap(QSize(16, 16), window_->devicePixelRatio()));
    caption_->setText(window_->windowTitle());
    caption_->adjustSize();
    setHint(icon_, window_->windowTitle());
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
    const int inset = panel_->frameWidth() + kMargin;
    captionBar_->setGeometry(inset, inset, panel_->width() - 2 * inset, kCaptionHeight);
    placeButtons();
}

void WindowChrome::keepStatusBarsAtTheBottom(QSize oldSize)
{
    // The controls of a panel placed by hand keep their places when the window is maximised, but
    // a status bar stays along the bottom, as wide as before within the panel's margins.
    if (panel_->layout() || !oldSize.isValid())
        return;
    const QSize grown = panel_->size() - oldSize;
    const auto bars = panel_->findChildren<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
    for (QStatusBar* bar : bars)
        bar->setGeometry(bar->x(), bar->y() + grown.height(), bar->width() + grown.width(), bar->height());
}

void WindowChrome::placeButtons()
{
    buttonBox_->move(captionBar_->width() - captionBar_->frameWidth() - 1 - buttonBox_->width(), 2);
}

void WindowChrome::FormResize()
{
    // Positions inside the caption bar count from its inner edge, one border line in.
    const int inner = captionBar_->frameWidth();
    caption_->setGeometry(inner + captionLabelLeft(window_->width(), caption_->width()), inner,
                          caption_->width(), captionBar_->height() - 2 * inner);
}

void WindowChrome::setRestoreKind(bool restore)
{
    restoreKind_ = restore;
    maximiseButton_->setGlyph(restore ? CaptionButton::Glyph::Restore : CaptionButton::Glyph::Maximise);
    maximiseButton_->setHint(restore ? QStringLiteral("Restore") : QStringLiteral("Maximize"));
}

void WindowChrome::closeWindow()
{
    window_->close();
}

void WindowChrome::toggleMaximised()
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

void WindowChrome::minimiseAll()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->isVisible() && isPlainWindow(w))
            w->showMinimized();
    }
}

void WindowChrome::captionDoubleClicked()
{
    drag_ = Drag::None;
    toggleMaximised();
}

void WindowChrome::followPointer()
{
    hitTestAt(QCursor::pos());
    const Qt::CursorShape shape = edgeCursor(flags_);
    if (shape == shownCursor_)
        return;
    shownCursor_ = shape;
    if (flags_.any())
        panel_->setCursor(shape);
    else
        panel_->unsetCursor();
}

void WindowChrome::hitTestAt(QPoint global)
{
    if (!options_.resizable) {
        flags_ = {};
        return;
    }
    const QPoint origin = window_->frameGeometry().topLeft();
    flags_ = edgeHitTest(global.x() - origin.x(), global.y() - origin.y(), panel_->width(), panel_->height(),
                         window_->windowState());
}

void WindowChrome::captionBarPressed(QMouseEvent* event)
{
    beginMove(event);
}

void WindowChrome::captionPressed(QMouseEvent* event)
{
    beginMove(event);
}

void WindowChrome::iconPressed(QMouseEvent* event)
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

bool WindowChrome::panelPressed(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !options_.resizable)
        return false;
    const QPoint pos = event->position().toPoint();
    // Only the margin inside the border line sizes; the border line itself and the controls
    // panel_ holds do not.
    if (!panel_->contentsRect().contains(pos) || panel_->childAt(pos))
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
            captionDoubleClicked();
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
    if (watched == captionBar_ || watched == caption_ || watched == icon_) {
        if (type == QEvent::Resize && watched == captionBar_) {
            placeButtons();
            FormResize();
            return false;
        }
        auto* mouse = dynamic_cast<QMouseEvent*>(event);
        if (!mouse)
            return false;
        if (type == QEvent::MouseButtonPress) {
            if (watched == captionBar_)
                captionBarPressed(mouse);
            else if (watched == caption_)
                captionPressed(mouse);
            else
                iconPressed(mouse);
            return true;
        }
        return captionMouseEvent(mouse);
    }
    if (watched == panel_) {
        switch (type) {
        case QEvent::Resize:
            if (!captionInLayout_)
                placeCaptionBar();
            keepStatusBarsAtTheBottom(static_cast<QResizeEvent*>(event)->oldSize());
            return false;
        case QEvent::MouseButtonPress:
            return panelPressed(static_cast<QMouseEvent*>(event));
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
            if (panel_->parentWidget() == window_ && !window_->layout())
                panel_->setGeometry(window_->rect());
            FormResize();
            break;
        case QEvent::WindowStateChange:
            windowStateChanged();
            break;
        case QEvent::WindowTitleChange:
            caption_->setText(window_->windowTitle());
            caption_->adjustSize();
            setHint(icon_, window_->windowTitle());
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
