#include "settings/DriveSetting.h"

#include "common/TessaroError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace
{
const QString driveKey = QStringLiteral("Software/Quillomat/Tessaro/Drive");
const QString archivesKey = QStringLiteral("Software/Quillomat/Tessaro/ListArchives");
const QString mappingsGroup = QStringLiteral("Software/Quillomat/Tessaro/Drives");

// Only a regular file (or none yet) is a store: reading a FIFO or a device would block or never end.
bool usable(const QString& path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}
} // namespace

DriveSetting::DriveSetting(QString iniPath) : path_(std::move(iniPath)) {}

QString DriveSetting::defaultPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaro.ini"));
}

QChar DriveSetting::ReadDriveSetting() const
{
    QString text;
    // A store that cannot be read holds no text, as a key that cannot be opened: the write-back
    // below then fails with its own message.
    if (usable(path_)) {
        const QSettings settings(path_, QSettings::IniFormat);
        const QVariant value = settings.value(driveKey);
        // "e, f" comes back as a list and @ByteArray(...) as bytes: neither is text. A value
        // Qt cannot even read (a broken @Variant(...)) is there all the same, and no text either.
        if ((value.isValid() || settings.contains(driveKey)) && value.typeId() != QMetaType::QString)
            throw TessaroError(QStringLiteral("Invalid data type for 'Drive'"));
        text = value.toString();
    }
    if (text.isEmpty()) {
        text = QStringLiteral("d");
        write(text);
    }
    return text.at(0);
}

void DriveSetting::WriteDriveSetting(QChar letter) const
{
    write(QString(letter));
}

void DriveSetting::write(const QString& text) const
{
    if (!usable(path_))
        throw TessaroError(QStringLiteral("Failed to set data for 'Drive'"));
    QSettings settings(path_, QSettings::IniFormat);
    settings.setValue(driveKey, text);
    // QSettings only learns that the file cannot be written when it syncs.
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw TessaroError(QStringLiteral("Failed to set data for 'Drive'"));
}

bool DriveSetting::ListArchives() const
{
    const QSettings settings(path_, QSettings::IniFormat);
    return settings.value(archivesKey).toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void DriveSetting::WriteListArchives(bool on) const
{
    QSettings settings(path_, QSettings::IniFormat);
    settings.setValue(archivesKey, on ? QStringLiteral("true") : QStringLiteral("false"));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw TessaroError(QStringLiteral("Failed to set data for 'ListArchives'"));
}

std::map<QChar, QString> DriveSetting::DriveMappings() const
{
    std::map<QChar, QString> mappings;
    if (!usable(path_))
        return mappings;
    QSettings settings(path_, QSettings::IniFormat);
    settings.beginGroup(mappingsGroup);
    for (const QString& key : settings.childKeys()) {
        const QVariant value = settings.value(key);
        if (key.size() != 1 || !key.at(0).isLetter() || key.at(0).unicode() > 127 ||
            value.typeId() != QMetaType::QString)
            continue;
        mappings[key.at(0).toLower()] = value.toString();
    }
    return mappings;
}

DriveTable DriveSetting::driveTable() const
{
    return DriveTable(DriveTable::systemSources(DriveMappings()));
}
