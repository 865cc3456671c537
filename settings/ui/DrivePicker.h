#pragma once

#include "scan/DriveTable.h"

#include <QComboBox>
#include <vector>

// A drop-down of drives, one line per drive with an icon for its kind, and, in the open list,
// the drive's root (folder, device or image) after its text. Its drive letter is kept apart from
// the selected line: setting a letter no line has keeps the line and still takes the letter, so
// a configured drive that is absent right now survives a confirmed dialog. A last line, "Map a
// folder or image…", asks for a mapping (mapRequested) and is never the picked drive.
class DrivePicker : public QComboBox
{
    Q_OBJECT
  public:
    explicit DrivePicker(QWidget* parent = nullptr);

    // Listed in letter order.
    void setDrives(std::vector<DriveEntry> drives);
    // Always lower case.
    QChar drive() const { return drive_; }
    void setDrive(QChar letter);

    // "e:", "d: [label]", "n: remote-name", all lower case, but for the label of a disc image,
    // which keeps its case.
    static QString lineText(const DriveEntry& drive);
    // What the open list shows after the line: the root folder or image, else the device.
    static QString rootText(const DriveEntry& drive);
    static constexpr int RootRole = Qt::UserRole + 1;
    static QString mapLine() { return QStringLiteral("Map a folder or image\u2026"); }

    static QIcon kindIcon(DriveKind kind, const QStyle* style);

  Q_SIGNALS:
    void mapRequested();

  private:
    void selectLine();
    void choose(int index, bool activated);
    QChar drive_ = QLatin1Char('c');
    bool filling_ = false;
};
