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
class QStatusBar;

// The settings dialog: picks the drive that holds the discs to catalogue.
class TfrmSettings : public QDialog
{
    Q_OBJECT
  public:
    using DriveSource = std::function<std::vector<DriveEntry>()>;
    // Asks the user for a folder or disc image to map; empty when cancelled.
    using RootSource = std::function<QString(QWidget* parent)>;

    // drives lists the machine's drives; it is asked when the dialog is first shown, and again
    // after a mapping. chooseRoot is the file chooser (RootChooser when none is given).
    TfrmSettings(IMessages& messages, const DriveSetting& setting, DriveSource drives,
                 QWidget* parent = nullptr, RootSource chooseRoot = {});

    // The setting as stored now; the new-disc dialog asks here too.
    QChar ReadDriveSetting() const;
    // Stores the picker's letter.
    void WriteDriveSetting();

  protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void FormShow();
    void cancel();
    void confirm();
    // "Map a folder or image…": maps the next free letter to the chosen root and picks it.
    void mapRoot();
    void listDrives();

    IMessages& messages_;
    const DriveSetting& setting_;
    DriveSource drives_;
    RootSource chooseRoot_;
    std::vector<DriveEntry> listedDrives_;
    bool listed_ = false;
    QFrame* panel_;
    DrivePicker* drivePicker_;
    QCheckBox* listArchives_;  // members of archives catalogued as files
    QCheckBox* namesAnywhere_; // File patterns without * or \ found anywhere in the names
    QCheckBox* noticeMedia_;   // the main window notices inserted discs
    QCheckBox* hashContents_;  // a run reads every file and keeps a hash of its content
    QStatusBar* statusBar_;
};
