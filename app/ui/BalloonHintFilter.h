#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>

class BalloonHint;
class QHelpEvent;
class QWidget;

// Replaces the application's tooltips with balloon hints: every tooltip request the
// application receives for a widget, a menu entry or a grid cell with a hint shows that hint
// as a balloon instead. Balloons open after the platform's usual tooltip delay (the request
// comes then) and close when the pointer leaves what the hint belongs to, on any click, key
// or wheel turn, and after ten seconds.
class BalloonHintFilter : public QObject
{
    Q_OBJECT
  public:
    explicit BalloonHintFilter(QObject* parent = nullptr);
    ~BalloonHintFilter() override;

    // Installs one filter on the running application; a second call does nothing.
    static BalloonHintFilter* install();

    // Shows a hint of the program's own, pointing at `at` (global), as if `owner` had asked
    // for it; it closes as the others do.
    void showHint(QWidget* owner, const QString& hint, QPoint at);
    // The balloon on screen, or nullptr.
    BalloonHint* balloon() const;
    void hideBalloon();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool showFor(QWidget* widget, QHelpEvent* help);
    void show(QWidget* owner, const QString& hint, QPoint at, const QRect& area);

    QPointer<BalloonHint> balloon_;
    QPointer<QWidget> owner_;
    QRect ownerRect_; // in the owner's coordinates: leaving it closes the balloon
    QTimer hideTimer_;
};
