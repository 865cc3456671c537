#include "settings/ui/DrivePicker.h"

#include "scan/DiscImage.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <algorithm>

namespace
{
constexpr int kRootGap = 12;

// The open list: each line as the face shows it, then its root in the placeholder colour.
class RootDelegate : public QStyledItemDelegate
{
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QString root = index.data(DrivePicker::RootRole).toString();
        if (root.isEmpty())
            return;
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
        const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget);
        const int left = text.left() + item.fontMetrics.horizontalAdvance(item.text) + kRootGap;
        const QRect room(left, text.top(), text.right() - left, text.height());
        if (room.width() <= 0)
            return;
        const bool selected = item.state & QStyle::State_Selected;
        painter->save();
        painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
        painter->drawText(room, Qt::AlignLeft | Qt::AlignVCenter,
                          item.fontMetrics.elidedText(root, Qt::ElideMiddle, room.width()));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QString root = index.data(DrivePicker::RootRole).toString();
        if (!root.isEmpty())
            size.rwidth() += kRootGap + option.fontMetrics.horizontalAdvance(root);
        return size;
    }
};
} // namespace

DrivePicker::DrivePicker(QWidget* parent) : QComboBox(parent)
{
    setItemDelegate(new RootDelegate(this));
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) { choose(index, false); });
    // Picking the line already shown still takes its letter (it may differ from the one set).
    connect(this, &QComboBox::activated, this, [this](int index) { choose(index, true); });
}

void DrivePicker::choose(int index, bool activated)
{
    if (filling_ || index < 0)
        return;
    const QVariant letter = itemData(index);
    if (letter.isValid()) {
        drive_ = letter.value<QChar>();
        return;
    }
    // The mapping line: back to the drive's line once the combo box has done with the click.
    QTimer::singleShot(0, this, &DrivePicker::selectLine);
    if (activated)
        Q_EMIT mapRequested();
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
        // An image's label is the image's own name for itself, as its maker wrote it.
        if (drive.device.isEmpty() && DiscImage::isImage(drive.root))
            return letter.toLower() + bracketed;
        return (letter + bracketed).toLower();
    }
}

QString DrivePicker::rootText(const DriveEntry& drive)
{
    return drive.root.isEmpty() ? drive.device : drive.root;
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
    int widest = 0;
    for (const DriveEntry& d : drives) {
        addItem(kindIcon(d.kind, style()), lineText(d), QVariant::fromValue(d.letter));
        setItemData(count() - 1, rootText(d), RootRole);
        setItemData(count() - 1, rootText(d), Qt::ToolTipRole);
        widest = std::max(widest, view()->sizeHintForIndex(model()->index(count() - 1, 0)).width());
    }
    addItem(mapLine());
    setCurrentIndex(-1);
    filling_ = false;
    // The open list is as wide as its longest root needs, within reason.
    view()->setMinimumWidth(std::min(widest + 24, 480));
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
    filling_ = true;
    // A letter no line has keeps the line shown, but never the mapping line.
    if (index >= 0)
        setCurrentIndex(index);
    else if (!itemData(currentIndex()).isValid())
        setCurrentIndex(-1);
    filling_ = false;
}
