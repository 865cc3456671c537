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

    Panel1 = Panels::outerPanel(this, Panels::LightBlue);
    Panel1->setGeometry(rect());

    // Placements count from the panel's inside, one border line in.
    const QPoint in(Panel1->frameWidth(), Panel1->frameWidth());
    Image1 = picture(Panel1, "Image1", Art::emblem, QRect(in + QPoint(1, 1), QSize(48, 48)));
    Image2 = picture(Panel1, "Image2", Art::about, QRect(in + QPoint(1, 55), QSize(210, 130)));

    Label1 = new QLabel(QStringLiteral("Tessaro"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label1->adjustSize();
    Label1->move(in + QPoint(64, 3));
    Label2 = text(Panel1, "Label2", QStringLiteral("ver. 1.3"), in + QPoint(64, 22));
    Label3 = text(Panel1, "Label3", AppInfo::Year, in + QPoint(64, 36));
    Label4 = text(Panel1, "Label4",
                  QStringLiteral("<a href=\"%1\">Home page</a>").arg(AppInfo::HomePage.toHtmlEscaped()),
                  in + QPoint(141, 35));
    Label4->setTextFormat(Qt::RichText);
    Label4->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    Label4->setToolTip(AppInfo::HomePage);
    Label4->setStatusTip(AppInfo::HomePage);
    Label4->adjustSize();
    connect(Label4, &QLabel::linkActivated, this, &TfrmAbout::Label4Click);

    Button1 = new QPushButton(QStringLiteral("&OK"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(QRect(in + QPoint(82, 191), QSize(47, 26)));
    Button1->setToolTip(QStringLiteral("OK"));
    Button1->setStatusTip(QStringLiteral("OK"));
    // No default button: Enter does not close the box.
    Button1->setAutoDefault(false);
    Button1->setDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TfrmAbout::Button1Click);

    dxToolButton1 = new CaptionButton(CaptionButton::Glyph::Close, Panels::LightBlue, Qt::black, Panel1);
    dxToolButton1->setObjectName(QStringLiteral("dxToolButton1"));
    dxToolButton1->move(in + QPoint(197, 1));
    dxToolButton1->setHint(QStringLiteral("Exit"));
    connect(dxToolButton1, &QAbstractButton::clicked, this, &TfrmAbout::dxToolButton1Click);

    // Placed before it has a window-system window, so that showing it never moves it (see
    // WindowChrome::placeCentred).
    if (QScreen* s = screen())
        move(centredTopLeft(size(), s->availableGeometry()));
}

void TfrmAbout::Button1Click()
{
    close();
}

void TfrmAbout::dxToolButton1Click()
{
    close();
}

void TfrmAbout::Label4Click()
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
