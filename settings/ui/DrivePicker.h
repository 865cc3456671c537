#pragma once

#include "scan/DriveTable.h"

#include <QComboBox>
#include <vector>

// A drop-down of drives, one line per drive with an icon for its kind. Its drive letter is kept
// apart from the selected line: setting a letter no line has keeps the line and still takes the
// letter, so a configured drive that is absent right now survives a confirmed dialog.
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

    // "e:", "d: [label]", "n: remote-name", all lower case.
    static QString lineText(const DriveEntry& drive);
    static QIcon kindIcon(DriveKind kind, const QStyle* style);

  private:
    void selectLine();
    QChar drive_ = QLatin1Char('c');
    bool filling_ = false;
};
