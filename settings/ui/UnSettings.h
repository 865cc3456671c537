#pragma once

#include "scan/DriveTable.h"

#include <QDialog>
#include <functional>
#include <vector>

class DrivePicker;
class DriveSetting;
class IMessages;
class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QStatusBar;

// The settings dialog: picks the drive that holds the discs to catalogue.
class TfrmSettings : public QDialog
{
    Q_OBJECT
  public:
    using DriveSource = std::function<std::vector<DriveEntry>()>;

    // drives lists the machine's drives; it is asked once, when the dialog is first shown.
    TfrmSettings(IMessages& messages, const DriveSetting& setting, DriveSource drives,
                 QWidget* parent = nullptr);

    // The setting as stored now; the new-disc dialog asks here too.
    QChar ReadDriveSetting() const;
    // Stores the picker's letter.
    void WriteDriveSetting();

    QFrame* Panel1;
    QLabel* Label1;
    DrivePicker* DriveComboBox1;
    QCheckBox* ArchivesCheckBox; // members of archives catalogued as files
    QCheckBox* NamesCheckBox;    // File patterns without * or \ found anywhere in the names
    QPushButton* Button1;        // "&Cancel"
    QPushButton* Button2;        // "&OK"
    QStatusBar* StatusBar1;

  protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void FormShow();
    void Button1Click();
    void Button2Click();

    IMessages& messages_;
    const DriveSetting& setting_;
    DriveSource drives_;
    bool listed_ = false;
};
