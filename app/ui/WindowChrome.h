#pragma once

#include "app/EdgeHitTest.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

class CaptionButton;
class QFrame;
class QLabel;
class QMouseEvent;
class QWidget;

// The frame every main window and dialog of the program shares instead of the platform's:
// the window goes frameless, its outer panel "Panel1" gets its border and colour, and the
// caption bar "Panel2" (icon, centred caption, minimise / maximise / exit) goes into the top
// of the outer panel. The caption bar moves the window, a double-click on it toggles maximised
// state. A resizable window is also sized from the outer panel's margin, with the pointer shape
// following the edge under it (followPointer, run by the window's own timer).
class WindowChrome : public QObject
{
    Q_OBJECT
  public:
    struct Options {
        bool canMaximise = true;
        bool resizable = false;
    };

    // The window must hold a QFrame named "Panel1" filling it. The caption is the window's
    // title, kept up to date. A window has one frame: attaching again returns it.
    static WindowChrome* attach(QWidget* window, Options options);
    // A dialog's frame: everything but the maximise button, which stays disabled.
    static WindowChrome* attachDialog(QWidget* dialog) { return attach(dialog, {.canMaximise = false}); }
    // The chrome attached to a window, or nullptr.
    static WindowChrome* of(const QWidget* window);

    QWidget* window() const { return window_; }
    EdgeFlags edgeFlags() const { return flags_; }
    // Whether the maximise button is in its restore form.
    bool restoreKind() const { return restoreKind_; }

    // The window's icon, the one entry.
    const QList<QIcon>& icons() const { return icons_; }

  public Q_SLOTS:
    // Closes the window, through its own close handling (the dialogs confirm there).
    void closeWindow();
    // Maximises or restores the window according to the button's kind.
    void toggleMaximised();
    // Minimises the whole application.
    void minimiseAll();
    void captionDoubleClicked();
    void FormResize();
    // The edge hit test at the pointer's current position; sets the pointer shape.
    void followPointer();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    WindowChrome(QWidget* window, QFrame* panel1, Options options);
    void buildCaptionBar();
    void CaptionSetup();
    // Centres the window on its screen, before it is first created.
    void placeCentred();
    void placeCaptionBar();
    void placeButtons();
    void keepStatusBarsAtTheBottom(QSize oldSize);
    void setRestoreKind(bool restore);
    void windowStateChanged();
    void hitTestAt(QPoint global);

    bool captionMouseEvent(QMouseEvent* event);
    void captionBarPressed(QMouseEvent* event);
    void captionPressed(QMouseEvent* event);
    void iconPressed(QMouseEvent* event);
    bool panelPressed(QMouseEvent* event);
    void beginMove(QMouseEvent* event);
    bool dragMouseMove(QMouseEvent* event);

    enum class Drag { None, PendingMove, Moving, Sizing };

    QWidget* window_;
    QFrame* panel_;
    QFrame* captionBar_;
    QLabel* icon_;
    QLabel* caption_;
    QFrame* buttonBox_;
    CaptionButton* minimiseButton_;
    CaptionButton* maximiseButton_; // or restore
    CaptionButton* exitButton_;
    QList<QIcon> icons_;
    Options options_;
    bool captionInLayout_ = false;
    bool restoreKind_ = false;
    EdgeFlags flags_;
    Qt::CursorShape shownCursor_ = Qt::ArrowCursor;
    Drag drag_ = Drag::None;
    Qt::Edges dragEdges_;
    QPoint pressGlobal_;
    QRect startGeometry_;
    QRect fixedGeometry_; // where a fixed-size window was before it was maximised
};
