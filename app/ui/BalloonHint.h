#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

// Where a balloon goes: its body, and the tip of its stem that points at the pointer.
struct BalloonPlacement {
    QRect body;
    QPoint tip;
    bool below = false;    // the body hangs under the pointer instead of above it
    bool leftward = false; // the body reaches left of the pointer instead of right

    // The window holding the body and the stem.
    QRect window() const;
};

// Above and to the right of the pointer, flipped to the other side where the body would
// leave the work area, and pushed back inside it where it is wider than either side allows.
BalloonPlacement placeBalloon(QPoint pointer, QSize body, const QRect& workArea);

// A hint as a balloon: a rounded body with a stem, a bold "Info" header with the information
// icon, then the hint's text. The window is shaped with a mask, so it looks the same with or
// without a compositor.
class BalloonHint : public QWidget
{
    Q_OBJECT
  public:
    BalloonHint(const QString& text, QWidget* owner);

    QString text() const { return text_; }
    const BalloonPlacement& placement() const { return placement_; }
    QSize bodySize() const { return bodySize_; }

    // Places the balloon for a pointer position inside a work area and shows it.
    void showAt(QPoint pointer, const QRect& workArea);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect textRect() const;

    QString text_;
    QSize bodySize_;
    BalloonPlacement placement_;
};
