#include "settings/IniSwitch.h"

#include "common/TessaroError.h"

#include <QSettings>

namespace
{
QString keyOf(const QString& name)
{
    return QStringLiteral("Software/Quillomat/Tessaro/") + name;
}
} // namespace

bool IniSwitch::read(const QString& iniPath, const QString& name)
{
    const QSettings settings(iniPath, QSettings::IniFormat);
    const QString key = keyOf(name);
    if (!settings.contains(key))
        return false;
    const QVariant value = settings.value(key);
    const QString text =
        value.typeId() == QMetaType::QString ? value.toString().trimmed().toLower() : QString();
    if (text == QLatin1String("true") || text == QLatin1String("yes") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("no") || text == QLatin1String("0") ||
        (value.typeId() == QMetaType::QString && text.isEmpty()))
        return false;
    throw TessaroError(QStringLiteral("Invalid data type for '%1'").arg(name));
}

void IniSwitch::write(const QString& iniPath, const QString& name, bool on)
{
    QSettings settings(iniPath, QSettings::IniFormat);
    settings.setValue(keyOf(name), on ? QStringLiteral("true") : QStringLiteral("false"));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw TessaroError(QStringLiteral("Failed to set data for '%1'").arg(name));
}
