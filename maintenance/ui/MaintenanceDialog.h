#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QStatusBar;

// What the two maintenance dialogs share: a fixed client area filled by the sky-blue outer
// panel, whose top 20 pixels are left to the caption bar, controls at fixed positions, hints
// in the status bar along the bottom, and no default or cancel button: Enter and Escape never
// close the dialog, and every way of closing it (Escape, the window manager, the caption
// bar's exit button) runs the dialog's own exit handler.
class MaintenanceDialog : public QDialog
{
    Q_OBJECT
  public:
    static constexpr int CaptionBarHeight = 20;
    static constexpr int StatusBarHeight = 19;

    // Escape and a close request come here.
    void reject() override;
    // The progress bars' look: a deep to a pale green on the program's window colour.
    static QString progressBarStyle();

  protected:
    MaintenanceDialog(const QString& caption, int clientWidth, int clientHeight, QWidget* parent);

    // The outer panel the controls go on, and the status bar along its bottom.
    QFrame* panel() const { return panel_; }
    QStatusBar* statusBar() const { return statusBar_; }

    // What the exit button does; closeDialog() when the dialog may close.
    virtual void exitRequested() = 0;
    // Hides the dialog and ends its modal loop without asking anything.
    void closeDialog();

    QLabel* addLabel(const char* name, const QString& text, int left, int top);
    QPushButton* addButton(const char* name, const QString& text, const QString& hint, int left, int top,
                           int width, int height);
    static void setHint(QWidget* widget, const QString& hint);

    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QFrame* panel_;
    QStatusBar* statusBar_;
    bool closing_ = false;
};
