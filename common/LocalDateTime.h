#pragma once

#include <QDateTime>
#include <QString>
#include <ctime>

// A wall-clock moment in local time, whole seconds. The catalogue stores it as the text
// "YYYY-MM-DD HH:MM:SS", so comparisons and ordering in SQL are textual and exact.
struct LocalDateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;

    // Local time of a POSIX time stamp; the offset is the one in force at that moment.
    // A stamp the C library cannot convert becomes the Unix epoch, never garbage.
    static LocalDateTime fromTime(time_t t)
    {
        std::tm tm{};
        if (localtime_r(&t, &tm) == nullptr || tm.tm_year + 1900 < 1 || tm.tm_year + 1900 > 9999) {
            time_t zero = 0;
            if (localtime_r(&zero, &tm) == nullptr)
                return {1970, 1, 1, 0, 0, 0};
        }
        return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    }

    static LocalDateTime now() { return fromTime(std::time(nullptr)); }

    static LocalDateTime fromQDateTime(const QDateTime& dt)
    {
        const QDate d = dt.date();
        const QTime t = dt.time();
        return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
    }

    QDateTime toQDateTime() const { return QDateTime(QDate(year, month, day), QTime(hour, minute, second)); }

    static constexpr int TextLength = 19;

    // "YYYY-MM-DD HH:MM:SS" into TextLength bytes at `out`, no terminator; written by hand
    // because it runs once per catalogued file.
    void writeText(char* out) const
    {
        put(out, year, 4);
        out[4] = '-';
        put(out + 5, month, 2);
        out[7] = '-';
        put(out + 8, day, 2);
        out[10] = ' ';
        put(out + 11, hour, 2);
        out[13] = ':';
        put(out + 14, minute, 2);
        out[16] = ':';
        put(out + 17, second, 2);
    }

    QString toText() const
    {
        char buf[TextLength];
        writeText(buf);
        return QString::fromLatin1(buf, TextLength);
    }

    // Reads the catalogue's text form back; returns false when the text is not in that form.
    static bool fromText(const QString& text, LocalDateTime& out)
    {
        const QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!dt.isValid())
            return false;
        out = fromQDateTime(dt);
        return true;
    }

  private:
    static void put(char* at, int value, int digits)
    {
        for (int i = digits - 1; i >= 0; --i) {
            at[i] = char('0' + value % 10);
            value /= 10;
        }
    }
};
