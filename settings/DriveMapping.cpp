#include "settings/DriveMapping.h"

#include "common/TessaroError.h"
#include "settings/DriveSetting.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <algorithm>

QChar DriveMapping::nextFreeLetter(const std::vector<DriveEntry>& listed,
                                   const std::map<QChar, QString>& mappings)
{
    for (char16_t letter = u'd'; letter <= u'z'; ++letter) {
        const QChar candidate(letter);
        const bool used = mappings.count(candidate) ||
                          std::any_of(listed.begin(), listed.end(),
                                      [&](const DriveEntry& drive) { return drive.letter == candidate; });
        if (!used)
            return candidate;
    }
    return {};
}

QChar DriveMapping::map(const DriveSetting& setting, const QString& root,
                        const std::vector<DriveEntry>& listed)
{
    const std::map<QChar, QString> mappings = setting.DriveMappings();
    const QString clean = QDir::cleanPath(root);
    for (const auto& [letter, mapped] : mappings) {
        if (QDir::cleanPath(mapped) == clean)
            return letter;
    }
    const QChar letter = nextFreeLetter(listed, mappings);
    if (letter.isNull())
        throw TessaroError(
            QStringLiteral("No drive letter is free for %1").arg(QDir::toNativeSeparators(clean)));
    // Only a regular file is a store: a FIFO or a device would block or never end.
    if (const QFileInfo store(setting.path()); store.exists() && !store.isFile())
        throw TessaroError(QStringLiteral("Failed to set data for 'Drives'"));
    QSettings settings(setting.path(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Software/Quillomat/Tessaro/Drives/") + letter, clean);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw TessaroError(QStringLiteral("Failed to set data for 'Drives'"));
    return letter;
}
