#pragma once

#include "common/ui/ProgramStyle.h"

// The drop-down button of the filter panel's narrow lists and date pickers: a slim arrow, so
// that at their fixed widths the face shows its whole text ("- None -" beside its icon, a date
// with a two-digit day) in the windows' face. With `itemFace` the face of a list is drawn as
// its entries are: the entry's icon 1 pixel in, its text 21 pixels in. Its list opens below the
// field, as every list of the program does.
class DropDownStyle : public ProgramStyle
{
    Q_OBJECT
  public:
    static constexpr int ArrowWidth = 11;

    explicit DropDownStyle(bool itemFace, QObject* parent);

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;

  private:
    bool itemFace_;
};
