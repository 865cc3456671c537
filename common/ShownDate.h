#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

// How every window shows a catalogue date ("YYYY-MM-DD HH:MM:SS"): the locale's short date and
// long time without a time zone, without the time when it is exactly midnight. Text in any
// other form is shown as it is.
namespace ShownDate
{
inline QString dateFormat(const QLocale& locale)
{
    return locale.dateFormat(QLocale::ShortFormat);
}

// Qt's long time format ends in a time-zone field ("t"); a catalogue date has no zone.
inline QString timeFormat(const QLocale& locale)
{
    QString out;
    bool quoted = false;
    for (QChar c : locale.timeFormat(QLocale::LongFormat)) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out += c;
    }
    return out.simplified();
}

inline QString text(const QString& catalogueDate, const QLocale& locale, const QString& dateFmt,
                    const QString& timeFmt)
{
    // Date and time apart: a wall-clock time that a daylight-saving change skipped is still
    // the time the catalogue holds.
    if (catalogueDate.size() != 19 || catalogueDate[10] != QLatin1Char(' '))
        return catalogueDate;
    const QDate date = QDate::fromString(catalogueDate.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(catalogueDate.mid(11), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return catalogueDate;
    const QString day = locale.toString(date, dateFmt);
    if (time == QTime(0, 0, 0))
        return day;
    return day + QLatin1Char(' ') + locale.toString(time, timeFmt);
}

// In the default locale.
inline QString text(const QString& catalogueDate)
{
    const QLocale locale;
    return text(catalogueDate, locale, dateFormat(locale), timeFormat(locale));
}
} // namespace ShownDate
