#include "maintenance/ui/MaintenanceDialog.h"

#include "common/ui/Panels.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>

MaintenanceDialog::MaintenanceDialog(const QString& caption, int clientWidth, int clientHeight,
                                     QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(caption);
    setFixedSize(clientWidth, clientHeight);
    setSizeGripEnabled(false);

    panel_ = Panels::outerPanel(this, Panels::SkyBlue);
    panel_->setGeometry(0, 0, clientWidth, clientHeight);

    statusBar_ = new QStatusBar(panel_);
    statusBar_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar_->setSizeGripEnabled(false);
    statusBar_->setGeometry(1, clientHeight - 1 - StatusBarHeight, clientWidth - 2, StatusBarHeight);
}

QLabel* MaintenanceDialog::addLabel(const char* name, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, panel_);
    label->setObjectName(QLatin1String(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

QPushButton* MaintenanceDialog::addButton(const char* name, const QString& text, const QString& hint,
                                          int left, int top, int width, int height)
{
    auto* button = new QPushButton(text, panel_);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, top, width, height);
    // No default button: Enter must not click anything.
    button->setAutoDefault(false);
    button->setDefault(false);
    setHint(button, hint);
    return button;
}

void MaintenanceDialog::setHint(QWidget* widget, const QString& hint)
{
    widget->setToolTip(hint);
    widget->setStatusTip(hint);
}

QString MaintenanceDialog::progressBarStyle()
{
    return QStringLiteral("QProgressBar { border: 1px solid rgb(127, 157, 185); border-radius: 2px;"
                          " background: %1; }"
                          "QProgressBar::chunk { margin: 1px; background: qlineargradient(x1:0, y1:0, x2:0, "
                          "y2:1, stop:0 rgb(41, 211, 49), stop:1 rgb(173, 239, 173)); }")
        .arg(Panels::ButtonFace.name());
}

void MaintenanceDialog::closeDialog()
{
    closing_ = true;
    done(QDialog::Rejected);
    closing_ = false;
}

void MaintenanceDialog::reject()
{
    exitRequested();
}

bool MaintenanceDialog::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        statusBar_->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

void MaintenanceDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void MaintenanceDialog::closeEvent(QCloseEvent* event)
{
    if (closing_) {
        QDialog::closeEvent(event);
        return;
    }
    // The exit handler decides, and closes the dialog itself when it may.
    event->ignore();
    exitRequested();
}
