#include "app/ui/UnAbout.h"

#include "app/AppInfo.h"
#include "app/EdgeHitTest.h"
#include "app/ui/CaptionButton.h"
#include "common/ui/Panels.h"
#include "resources/Art.h"

#include <QDesktopServices>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace
{

QLabel* picture(QWidget* parent, const char* name, QLatin1StringView art, const QRect& where)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(where);
    label->setPixmap(QIcon(QString(art)).pixmap(where.size(), parent->devicePixelRatio()));
    return label;
}

QLabel* text(QWidget* parent, const char* name, const QString& text, QPoint where)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->adjustSize();
    label->move(where);
    return label;
}
} // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Tessaro"));
    setModal(true);
    setFixedSize(215, 225);

    auto* panel = Panels::outerPanel(this, Panels::LightBlue);
    panel->setGeometry(rect());

    // Placements count from the panel's inside, one border line in.
    const QPoint in(panel->frameWidth(), panel->frameWidth());
    picture(panel, "Image1", Art::emblem, QRect(in + QPoint(1, 1), QSize(48, 48)));
    picture(panel, "Image2", Art::about, QRect(in + QPoint(1, 55), QSize(210, 130)));

    auto* product = new QLabel(QStringLiteral("Tessaro"), panel);
    product->setObjectName(QStringLiteral("Label1"));
    QFont bold = product->font();
    bold.setBold(true);
    product->setFont(bold);
    product->adjustSize();
    product->move(in + QPoint(64, 3));
    text(panel, "Label2", QStringLiteral("ver. 1.3"), in + QPoint(64, 22));
    text(panel, "Label3", AppInfo::Year, in + QPoint(64, 36));
    QLabel* homePage =
        text(panel, "Label4",
             QStringLiteral("<a href=\"%1\">Home page</a>").arg(AppInfo::HomePage.toHtmlEscaped()),
             in + QPoint(141, 35));
    homePage->setTextFormat(Qt::RichText);
    homePage->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    homePage->setToolTip(AppInfo::HomePage);
    homePage->setStatusTip(AppInfo::HomePage);
    homePage->adjustSize();
    connect(homePage, &QLabel::linkActivated, this, &TfrmAbout::openHomePage);

    auto* ok = new QPushButton(QStringLiteral("&OK"), panel);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setGeometry(QRect(in + QPoint(82, 191), QSize(47, 26)));
    ok->setToolTip(QStringLiteral("OK"));
    ok->setStatusTip(QStringLiteral("OK"));
    // No default button: Enter does not close the box.
    ok->setAutoDefault(false);
    ok->setDefault(false);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);

    auto* exitButton = new CaptionButton(CaptionButton::Glyph::Close, Panels::LightBlue, Qt::black, panel);
    exitButton->setObjectName(QStringLiteral("dxToolButton1"));
    exitButton->move(in + QPoint(197, 1));
    exitButton->setHint(QStringLiteral("Exit"));
    connect(exitButton, &QAbstractButton::clicked, this, &QWidget::close);

    // Placed before it has a window-system window, so that showing it never moves it (see
    // WindowChrome::placeCentred).
    if (QScreen* s = screen())
        move(centredTopLeft(size(), s->availableGeometry()));
}

void TfrmAbout::openHomePage()
{
    QDesktopServices::openUrl(QUrl(AppInfo::HomePage));
}

void TfrmAbout::keyPressEvent(QKeyEvent* event)
{
    // No default or cancel button: Enter and Escape leave the box open.
    const int key = event->key();
    if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
