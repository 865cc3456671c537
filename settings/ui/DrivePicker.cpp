#include "settings/ui/DrivePicker.h"

#include <QIcon>
#include <QStyle>
#include <algorithm>

DrivePicker::DrivePicker(QWidget* parent) : QComboBox(parent)
{
    const auto choose = [this](int index) {
        if (!filling_ && index >= 0)
            drive_ = itemData(index).value<QChar>();
    };
    connect(this, &QComboBox::currentIndexChanged, this, choose);
    // Picking the line already shown still takes its letter (it may differ from the one set).
    connect(this, &QComboBox::activated, this, choose);
}

QString DrivePicker::lineText(const DriveEntry& drive)
{
    const QString letter = QString(drive.letter) + QLatin1Char(':');
    const QString bracketed = QStringLiteral(" [%1]").arg(drive.label);
    switch (drive.kind) {
    case DriveKind::Removable:
        return letter.toLower();
    case DriveKind::Network:
        return (letter + (drive.remoteName.isEmpty() ? bracketed : QLatin1Char(' ') + drive.remoteName))
            .toLower();
    default:
        return (letter + bracketed).toLower();
    }
}

QIcon DrivePicker::kindIcon(DriveKind kind, const QStyle* style)
{
    switch (kind) {
    case DriveKind::Removable:
        return QIcon::fromTheme(QStringLiteral("drive-removable-media"),
                                style->standardIcon(QStyle::SP_DriveFDIcon));
    case DriveKind::Network:
        return QIcon::fromTheme(
            QStringLiteral("network-server"),
            QIcon::fromTheme(QStringLiteral("folder-remote"), style->standardIcon(QStyle::SP_DriveNetIcon)));
    case DriveKind::Optical:
        return QIcon::fromTheme(QStringLiteral("drive-optical"), style->standardIcon(QStyle::SP_DriveCDIcon));
    case DriveKind::Ram:
        return QIcon::fromTheme(
            QStringLiteral("media-flash"),
            QIcon::fromTheme(QStringLiteral("drive-harddisk"), style->standardIcon(QStyle::SP_DriveHDIcon)));
    case DriveKind::Fixed:
        break;
    }
    return QIcon::fromTheme(QStringLiteral("drive-harddisk"), style->standardIcon(QStyle::SP_DriveHDIcon));
}

void DrivePicker::setDrives(std::vector<DriveEntry> drives)
{
    std::sort(drives.begin(), drives.end(),
              [](const DriveEntry& a, const DriveEntry& b) { return a.letter < b.letter; });
    filling_ = true;
    clear();
    for (const DriveEntry& d : drives)
        addItem(kindIcon(d.kind, style()), lineText(d), QVariant::fromValue(d.letter));
    setCurrentIndex(-1);
    filling_ = false;
    selectLine();
}

void DrivePicker::setDrive(QChar letter)
{
    drive_ = letter.toLower();
    selectLine();
}

void DrivePicker::selectLine()
{
    const int index = findData(QVariant::fromValue(drive_));
    if (index < 0)
        return;
    filling_ = true;
    setCurrentIndex(index);
    filling_ = false;
}
