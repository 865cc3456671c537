#include "settings/HashSetting.h"

#include "common/TessaroError.h"

#include <QSettings>

namespace
{
const QString hashesKey = QStringLiteral("Software/Quillomat/Tessaro/Hashes");
} // namespace

HashSetting::HashSetting(QString iniPath) : path_(std::move(iniPath)) {}

bool HashSetting::hashContents() const
{
    const QSettings settings(path_, QSettings::IniFormat);
    if (!settings.contains(hashesKey))
        return false;
    const QVariant value = settings.value(hashesKey);
    const QString text =
        value.typeId() == QMetaType::QString ? value.toString().trimmed().toLower() : QString();
    if (text == QLatin1String("true") || text == QLatin1String("yes") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("no") || text == QLatin1String("0") ||
        (value.typeId() == QMetaType::QString && text.isEmpty()))
        return false;
    throw TessaroError(QStringLiteral("Invalid data type for 'Hashes'"));
}

void HashSetting::write(bool on) const
{
    QSettings settings(path_, QSettings::IniFormat);
    settings.setValue(hashesKey, on ? QStringLiteral("true") : QStringLiteral("false"));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw TessaroError(QStringLiteral("Failed to set data for 'Hashes'"));
}
