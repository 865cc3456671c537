#pragma once

#include <QString>
#include <optional>

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

// One JSON object on one line, its members in the order they are added.
class JsonObject
{
  public:
    JsonObject& text(const char* key, const QString& value) { return add(key, jsonText(value)); }
    // null when there is no value.
    JsonObject& text(const char* key, const std::optional<QString>& value)
    {
        return add(key, value ? jsonText(*value) : QStringLiteral("null"));
    }
    JsonObject& number(const char* key, qint64 value) { return add(key, QString::number(value)); }
    // null when there is no value.
    JsonObject& number(const char* key, const std::optional<qint64>& value)
    {
        return add(key, value ? QString::number(*value) : QStringLiteral("null"));
    }
    JsonObject& null(const char* key) { return add(key, QStringLiteral("null")); }
    QString line() const { return QLatin1Char('{') + members_ + QLatin1Char('}'); }

  private:
    JsonObject& add(const char* key, const QString& value)
    {
        if (!members_.isEmpty())
            members_ += QLatin1Char(',');
        members_ += jsonText(QLatin1String(key)) + QLatin1Char(':') + value;
        return *this;
    }
    QString members_;
};
