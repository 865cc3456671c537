#include "app/ui/UnLoading.h"

#include "app/EdgeHitTest.h"
#include "common/ui/Panels.h"
#include "resources/Art.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

TfrmLoading::TfrmLoading(QWidget* owner) : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmLoading"));
    setWindowTitle(QStringLiteral("Tessaro"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    // It goes before the main window shows: its going must not count as the last window closing.
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(247, 249);

    auto* panel = Panels::outerPanel(this, Panels::LightBlue);
    panel->setGeometry(rect());

    // The picture fills the panel inside its border line.
    auto* picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setGeometry(panel->contentsRect());
    picture->setPixmap(QIcon(QString(Art::splash)).pixmap(picture->size(), devicePixelRatio()));
}

TfrmLoading* TfrmLoading::showFor(QWidget* owner)
{
    auto* splash = new TfrmLoading(owner);
    if (QScreen* s = splash->screen())
        splash->move(centredTopLeft(splash->size(), s->availableGeometry()));
    splash->show();
    splash->drawNow();
    return splash;
}

namespace
{
// Whether two pictures of the same window agree at a grid of points, allowing for a screen of
// fewer colours than the picture.
bool samePicture(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull())
        return false;
    constexpr int kSteps = 16;
    constexpr int kTolerance = 8;
    for (int i = 0; i < kSteps; ++i) {
        for (int j = 0; j < kSteps; ++j) {
            const int x = (a.width() - 1) * i / (kSteps - 1);
            const int y = (a.height() - 1) * j / (kSteps - 1);
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            if (qAbs(p.red() - q.red()) > kTolerance || qAbs(p.green() - q.green()) > kTolerance ||
                qAbs(p.blue() - q.blue()) > kTolerance)
                return false;
        }
    }
    return true;
}
} // namespace

bool TfrmLoading::isOnScreen(const QImage& drawn) const
{
    const QWindow* window = windowHandle();
    if (!window || !window->isExposed())
        return false;
    QScreen* s = window->screen();
    const QImage shown = s ? s->grabWindow(winId()).toImage() : QImage();
    // A window system that does not hand out what is on the screen is trusted once it exposes.
    if (shown.isNull())
        return true;
    return samePicture(shown, drawn.scaled(shown.size()));
}

void TfrmLoading::drawNow()
{
    // A shown window reaches the screen only once the window manager has mapped it, a round trip
    // or more away, and some managers expose it more than once on the way: what is painted
    // before the last of these is lost, and the filling that follows keeps the event loop from
    // painting again. So the event loop runs (for a bounded time) until the window system shows
    // what the splash paints.
    constexpr int kTimeoutMs = 3000;
    constexpr int kPollMs = 10;
    const QImage drawn = grab().toImage();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kPollMs);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (clock.elapsed() > kTimeoutMs || isOnScreen(drawn))
            loop.quit();
    });
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}
