#pragma once

#include <QProxyStyle>

// The desktop's style with the program's own drop-down lists: a list opens below its field (above
// it where the screen ends below), never over the field with the chosen entry on it.
class ProgramStyle : public QProxyStyle
{
  public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};
