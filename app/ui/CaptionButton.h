#pragma once

#include <QAbstractButton>
#include <QColor>

// A flat 15x15 caption button: a minimise, maximise, restore or close glyph drawn on its
// background, grey while disabled, framed while hovered or pressed. It takes no focus.
class CaptionButton : public QAbstractButton
{
    Q_OBJECT
  public:
    enum class Glyph { Minimise, Maximise, Restore, Close };

    CaptionButton(Glyph glyph, const QColor& face, const QColor& ink, QWidget* parent = nullptr);

    Glyph glyph() const { return glyph_; }
    void setGlyph(Glyph glyph);
    // The hint shows in the balloon and in the status bar alike.
    void setHint(const QString& hint);

    QSize sizeHint() const override { return {15, 15}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Glyph glyph_;
    QColor face_;
    QColor ink_;
};
