#pragma once

#include "maintenance/DiscCataloguer.h"
#include "maintenance/MaintenanceDialog.h"

#include <functional>
#include <memory>

class ICatalogueHost;
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
    // readDriveSetting gives the configured drive letter, read afresh for every run.
    TfrmNewCD(ICatalogueHost& host, IMessages& messages, std::function<QChar()> readDriveSetting,
              IDiscDrive& drive, QWidget* parent = nullptr);
    ~TfrmNewCD() override;

    // Whether runs list archive members, read afresh for every run; off when never set.
    void setArchiveListing(std::function<bool()> listArchives) { listArchives_ = std::move(listArchives); }

    // Ready for a new showing: type CD, run button enabled, no disc, empty bar.
    void ResetDialog();

    QLabel* Label1;
    QComboBox* ComboBox1;      // disc type: CD, DVD
    QToolButton* SpeedButton3; // Start / Stop
    QProgressBar* JvXPProgressBar1;
    QPushButton* Button1;   // &Cancel
    QPushButton* Button2;   // &OK
    QLabel* NotListedLabel; // shown only after a run that left archives unlisted

    DiscCataloguer& cataloguer() { return *cataloguer_; }

  public Q_SLOTS:
    void SpeedButton3Click();
    void Button1Click();
    void Button2Click();

  protected:
    void exitRequested() override;

  private:
    void startRun();
    void stopRun();
    void RunStarted();
    void RunEnded();
    void runFailed();

    ICatalogueHost& host_;
    IMessages& messages_;
    std::function<QChar()> readDriveSetting_;
    IDiscDrive& drive_;
    std::function<bool()> listArchives_;
    std::unique_ptr<DiscCataloguer> cataloguer_;
};
