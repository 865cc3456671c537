#pragma once

#include <QString>

// A value on a tab-separated output line: tabs, newlines, carriage returns and backslashes
// are written as \t, \n, \r and \\, so that every record stays one line of fields.
inline QString fieldText(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        default:
            out += c;
        }
    }
    return out;
}
