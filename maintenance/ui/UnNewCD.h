#pragma once

#include "maintenance/DiscCataloguer.h"
#include "maintenance/ui/MaintenanceDialog.h"

#include <functional>
#include <memory>

class Catalogue;
class IDiscDrive;
class IMessages;
class QComboBox;
class QProgressBar;
class QToolButton;

// Catalogues the disc in the configured drive: a thin window over DiscCataloguer with the
// type choice, the run button, the progress bar and the messages of a run.
class TfrmNewCD : public MaintenanceDialog
{
    Q_OBJECT
  public:
    // refreshFilters refreshes the main window's filter lists (OK); readDriveSetting gives the
    // configured drive letter, read afresh for every run.
    TfrmNewCD(Catalogue& catalogue, std::function<void()> refreshFilters, IMessages& messages,
              std::function<QChar()> readDriveSetting, IDiscDrive& drive, QWidget* parent = nullptr);
    ~TfrmNewCD() override;

    // Whether runs list archive members, read afresh for every run; off when never set.
    void setArchiveListing(std::function<bool()> listArchives) { listArchives_ = std::move(listArchives); }
    // Whether runs hash every file's content, read afresh for every run; off when never set.
    void setContentHashing(std::function<bool()> hash) { hashContents_ = std::move(hash); }

    // Ready for a new showing: type CD, run button enabled, no disc, empty bar, the configured
    // drive.
    void ResetDialog();
    // Until the next ResetDialog, runs read this folder or disc image as the disc, in place of
    // the configured drive; the status bar names it.
    void setRoot(const QString& root);
    const QString& root() const { return root_; }

    DiscCataloguer& cataloguer() { return *cataloguer_; }
    // Whether runs enter folders whose names begin with "."; read afresh for every run.
    void setDotFolders(std::function<bool()> read) { readDotFolders_ = std::move(read); }

  public Q_SLOTS:
    // The Start / Stop button: starts a run, or stops the one going.
    void startOrStop();

  protected:
    void exitRequested() override;

  private:
    // Cancel removes the disc of a finished run once the user confirms; OK keeps it.
    void cancel();
    void confirm();
    void startRun();
    void stopRun();
    void RunStarted();
    void Waiting();
    void RunEnded();
    void RunFinishing();
    // Ends the wait of RunFinishing, if any.
    void endWait();
    void runFailed();
    void showUnreadable(qint64 folders);
    QString volumeLabel(QChar letter);

    Catalogue& catalogue_;
    std::function<void()> refreshFilters_;
    IMessages& messages_;
    std::function<QChar()> readDriveSetting_;
    IDiscDrive& drive_;
    std::function<bool()> listArchives_;
    std::function<bool()> hashContents_;
    std::function<bool()> readDotFolders_;
    std::unique_ptr<DiscCataloguer> cataloguer_;
    QString root_;
    bool waiting_ = false;
    QComboBox* discType_;    // CD, DVD
    QToolButton* runButton_; // Start / Stop
    QProgressBar* progress_;
    QLabel* notListed_; // shown only after a run that left archives unlisted or files unhashed
    // Shown in the status bar after a run that had to skip folders the user may not read.
    QLabel* unreadable_;
    // The folder or image read in place of the drive; shown only while there is one.
    QLabel* rootLabel_;
    // Shown in the status bar while the run waits for another run's hold on the catalogue.
    QLabel* waitingLabel_;
};
