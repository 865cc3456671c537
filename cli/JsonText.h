#pragma once

#include <QString>

// A JSON string literal of the value: the quote, the backslash and the control characters
// escaped as JSON requires, everything else as it is (written out as UTF-8).
inline QString jsonText(const QString& value)
{
    QString out;
    out.reserve(value.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        if (u == '"' || u == '\\') {
            out += QLatin1Char('\\');
            out += c;
        } else if (u == '\n') {
            out += QLatin1String("\\n");
        } else if (u == '\t') {
            out += QLatin1String("\\t");
        } else if (u < 0x20) {
            out += QLatin1String("\\u00") + QString::number(u, 16).rightJustified(2, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}
