#pragma once

#include "catalogue/DiscStore.h"
#include "maintenance/DiscUpdater.h"
#include "maintenance/ui/MaintenanceDialog.h"

#include <functional>
#include <memory>
#include <optional>

class Catalogue;
class IDiscDrive;
class IMessages;
class QProgressBar;
class QToolButton;
class QTreeWidget;

// Brings a catalogued disc up to date from its medium, in the look of New CD: it reads the medium
// at once (Stop ends the reading), then shows the counts of added, removed, changed and unchanged
// files and lists the files that differ; OK writes the update, Cancel leaves the disc as it was.
// The medium is the folder or image the disc was catalogued from while it is still there, else
// the configured drive. A thin window over DiscUpdater.
class DiscUpdateWindow : public MaintenanceDialog
{
    Q_OBJECT
  public:
    DiscUpdateWindow(Catalogue& catalogue, IMessages& messages, IDiscDrive& drive,
                     std::function<QChar()> readDriveSetting, QWidget* parent = nullptr);
    ~DiscUpdateWindow() override;

    // Whether the reading lists archive members and enters dot folders (also where the disc holds
    // them, whatever these say); off when never set.
    void setArchiveListing(std::function<bool()> listArchives) { listArchives_ = std::move(listArchives); }
    void setDotFolders(std::function<bool()> read) { readDotFolders_ = std::move(read); }

    // Shows the window modally for the disc and reads its medium; true when the update was written.
    bool updateDisc(const DiscStore::DiscRow& disc);

  protected:
    void exitRequested() override;

  private:
    void read();
    void startStopClick();
    void okClick();
    std::optional<DiscUpdater::Medium> medium();
    void showComparison(const DiscUpdater::Comparison& comparison);

    Catalogue& catalogue_;
    IMessages& messages_;
    IDiscDrive& drive_;
    std::function<QChar()> readDriveSetting_;
    std::function<bool()> listArchives_;
    std::function<bool()> readDotFolders_;
    DiscStore::DiscRow disc_;
    std::unique_ptr<DiscUpdater> updater_;
    std::optional<DiscUpdater::Comparison> comparison_;
    bool applied_ = false;

    QLabel* discLabel_;
    QProgressBar* progress_;
    QToolButton* startStop_;
    QLabel* counts_;
    QLabel* warning_;
    QTreeWidget* changes_;
    QPushButton* cancel_;
    QPushButton* ok_;
};
