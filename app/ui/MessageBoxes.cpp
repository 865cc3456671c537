#include "app/ui/MessageBoxes.h"

#include "app/AppInfo.h"
#include "app/EdgeHitTest.h"
#include "common/ui/Panels.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <QTimer>

namespace
{
// A message box centred on the screen, frame included, in the program's colours and face.
class CentredBox : public QMessageBox
{
  public:
    CentredBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons)
        : QMessageBox(icon, title, text, buttons)
    {
        setObjectName(QStringLiteral("MessageBox"));
        Panels::applyLook(this);
        // The same plain buttons on every box, whatever icon theme the desktop has.
        for (QAbstractButton* button : this->buttons())
            button->setIcon(QIcon());
        // Wide enough that the window frame shows the whole caption beside its buttons.
        if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
            const int width = fontMetrics().horizontalAdvance(title) + 140;
            grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                          grid->rowCount(), 0, 1, grid->columnCount());
        }
    }

  protected:
    void showEvent(QShowEvent* event) override
    {
        // Qt's own placement guesses a frame from the other windows, which have none.
        QMessageBox::showEvent(event);
        centre();
        // The window manager frames the box once it is mapped, and some place it themselves
        // meanwhile: for a while the box is centred again whenever it is not, frame included.
        auto* settle = new QTimer(this);
        settle->setInterval(20);
        connect(settle, &QTimer::timeout, this, [this, settle, ticks = 0]() mutable {
            centre();
            // Qt reads the frame again only when the window system reports a configure, and a
            // manager may add the frame without one: a move there and back brings one.
            if (++ticks % 5 == 0 && frameGeometry() == geometry()) {
                const QRect at = geometry();
                setGeometry(at.translated(1, 0));
                setGeometry(at);
            }
            if (ticks >= 40)
                settle->deleteLater();
        });
        settle->start();
    }

  private:
    void centre()
    {
        const QWidget* anchor = QApplication::activeWindow();
        QScreen* screen = anchor && anchor != this ? anchor->screen() : this->screen();
        if (!screen)
            return;
        // Qt's move() would place the frame by a frame size that may still be wrong: the box's
        // own area is placed instead.
        const QPoint at = centredClientTopLeft(geometry(), frameGeometry(), screen->availableGeometry());
        if (at != geometry().topLeft())
            setGeometry(QRect(at, size()));
    }
};

int run(QMessageBox::Icon icon, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons)
{
    CentredBox box(icon, title, text, buttons);
    return box.exec();
}
} // namespace

void MessageBoxes::showMessage(const QString& text)
{
    run(QMessageBox::NoIcon, AppInfo::Title, text, QMessageBox::Ok);
}

bool MessageBoxes::confirm(const QString& question)
{
    return run(QMessageBox::Question, QStringLiteral("Confirm"), question,
               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxes::showError(const QString& text)
{
    run(QMessageBox::Critical, AppInfo::Title, errorBoxText(text), QMessageBox::Ok);
}

QString MessageBoxes::errorBoxText(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}
