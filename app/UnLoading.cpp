#include "app/UnLoading.h"

#include "app/EdgeHitTest.h"
#include "common/Panels.h"
#include "resources/Art.h"

#include <QCoreApplication>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QScreen>

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

    Panel1 = Panels::outerPanel(this, Panels::LightBlue);
    Panel1->setGeometry(rect());

    // The picture fills the panel inside its border line.
    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(Panel1->contentsRect());
    Image1->setPixmap(QIcon(QString(Art::splash)).pixmap(Image1->size(), devicePixelRatio()));
}

TfrmLoading* TfrmLoading::showFor(QWidget* owner)
{
    auto* splash = new TfrmLoading(owner);
    if (QScreen* s = splash->screen())
        splash->move(centredTopLeft(splash->size(), s->availableGeometry()));
    splash->show();
    splash->Image1->repaint();
    QCoreApplication::processEvents();
    return splash;
}
