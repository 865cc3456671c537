#include "catalogue/DiscLabel.h"

#include "common/TessaroError.h"

QString discLabel(const QString& typeLetter, qint64 id)
{
    QString digits = QString::number(id);
    while (digits.size() < 4)
        digits.prepend(QLatin1Char('0'));
    return typeLetter + digits;
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
