#include "settings/NameSearchSetting.h"

#include "common/TessaroError.h"

#include <QFileInfo>
#include <QSettings>

namespace
{
const QString namesAnywhereKey = QStringLiteral("Software/Quillomat/Tessaro/NamesAnywhere");
} // namespace

NameSearchSetting::NameSearchSetting(QString iniPath) : path_(std::move(iniPath)) {}

bool NameSearchSetting::namesAnywhere() const
{
    // Read on every search: a FIFO or a device in the store's place is never opened.
    const QFileInfo info(path_);
    if (!info.isFile())
        return false;
    const QSettings settings(path_, QSettings::IniFormat);
    const QVariant value = settings.value(namesAnywhereKey);
    if (value.typeId() != QMetaType::QString)
        return false;
    const QString text = value.toString().trimmed().toLower();
    return text == QLatin1String("true") || text == QLatin1String("yes") || text == QLatin1String("1");
}

void NameSearchSetting::writeNamesAnywhere(bool on) const
{
    const QFileInfo info(path_);
    if (info.exists() && !info.isFile())
        throw TessaroError(QStringLiteral("Failed to set data for 'NamesAnywhere'"));
    QSettings settings(path_, QSettings::IniFormat);
    settings.setValue(namesAnywhereKey, on ? QStringLiteral("true") : QStringLiteral("false"));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw TessaroError(QStringLiteral("Failed to set data for 'NamesAnywhere'"));
}
