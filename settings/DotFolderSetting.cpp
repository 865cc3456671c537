#include "settings/DotFolderSetting.h"

#include "common/TessaroError.h"

#include <QSettings>

namespace
{
const QString dotFoldersKey = QStringLiteral("Software/Quillomat/Tessaro/DotFolders");
} // namespace

DotFolderSetting::DotFolderSetting(QString iniPath) : path_(std::move(iniPath)) {}

bool DotFolderSetting::enterDotFolders() const
{
    const QSettings settings(path_, QSettings::IniFormat);
    if (!settings.contains(dotFoldersKey))
        return false;
    const QVariant value = settings.value(dotFoldersKey);
    const QString text =
        value.typeId() == QMetaType::QString ? value.toString().trimmed().toLower() : QString();
    if (text == QLatin1String("true") || text == QLatin1String("yes") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("no") || text == QLatin1String("0") ||
        (value.typeId() == QMetaType::QString && text.isEmpty()))
        return false;
    throw TessaroError(QStringLiteral("Invalid data type for 'DotFolders'"));
}
