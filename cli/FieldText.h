#pragma once

#include <QString>

// A value on an output line, safe for a terminal and for the line's fields: control characters
// (tabs and line breaks among them) are written as \xHH, and a backslash that is followed by an
// x as \x5C, so that reading every \xHH back as its character restores the value exactly and a
// name holding the text \x0A is never taken for a line break. Other backslashes, such as the
// ones between folders, stay as they are.
inline QString fieldText(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t u = value.at(i).unicode();
        const bool control = u < 0x20 || u == 0x7f || (u >= 0x80 && u <= 0x9f);
        const bool startsEscape = u == '\\' && i + 1 < value.size() && value.at(i + 1) == QLatin1Char('x');
        if (control || startsEscape)
            out +=
                QLatin1String("\\x") + QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            out += value.at(i);
    }
    return out;
}
