#include "catalogue/DiscLabel.h"

#include "common/TessaroError.h"

QString discLabel(const QString& typeLetter, qint64 id)
{
    // As SQL's printf('%04d') writes it, so that every list and every search shows one label:
    // a hand-edited id below one keeps its sign in front of the zeros, -3 as -003.
    QString digits = QString::number(id);
    const bool negative = id < 0;
    if (negative)
        digits.remove(0, 1);
    digits = digits.rightJustified(negative ? 3 : 4, QLatin1Char('0'));
    return negative ? typeLetter + QLatin1Char('-') + digits : typeLetter + digits;
}

qint64 discIdFromLabel(const QString& label)
{
    const QString rest = label.mid(1);
    bool ok = false;
    const qint64 id = rest.toLongLong(&ok, 10);
    if (!ok)
        throw TessaroError(QStringLiteral("'%1' is not a valid integer value").arg(rest));
    return id;
}

QString discTypeName(const QString& typeLetter)
{
    if (typeLetter == QLatin1String("C"))
        return QStringLiteral("CD");
    if (typeLetter == QLatin1String("D"))
        return QStringLiteral("DVD");
    return typeLetter;
}
