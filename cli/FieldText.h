#pragma once

#include <QString>

// A value on an output line, safe for a terminal and for the line's fields: control characters
// (tabs and line breaks among them) are written as \xHH, and a backslash that would read as the
// start of such an escape (followed by an x and two hex digits) as \x5C. Reading every \xHH back as
// its character restores the value exactly, and a name holding the text \x0A is never taken for a
// line break; every other backslash, such as the ones between folders, stays as it is.
inline QString fieldText(const QString& value)
{
    const auto hex = [&](qsizetype i) {
        if (i >= value.size())
            return false;
        const char16_t c = value.at(i).unicode();
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t u = value.at(i).unicode();
        const bool control = u < 0x20 || u == 0x7f || (u >= 0x80 && u <= 0x9f);
        const bool looksEscaped = u == '\\' && i + 1 < value.size() && value.at(i + 1) == QLatin1Char('x') &&
                                  hex(i + 2) && hex(i + 3);
        if (control || looksEscaped)
            out +=
                QLatin1String("\\x") + QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            out += value.at(i);
    }
    return out;
}
