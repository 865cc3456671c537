#pragma once

#include "catalogue/DiscStore.h"
#include "maintenance/ui/MaintenanceDialog.h"

#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

class Catalogue;
class QListWidget;
class QProgressBar;

// Verifies one disc against the catalogue, as `tessaro-cli verify` does: the bar while the
// medium is read, Stop, then the problems found and the summary. The reading runs on a thread
// of its own over a connection of its own, so the window answers throughout; Stop or closing
// the window ends it, and a stopped verification keeps nothing (its record is written whole at
// its end, or not at all).
class VerifyWindow : public MaintenanceDialog
{
    Q_OBJECT
  public:
    // Reads `root` (a folder, a disc image, a drive's mount point) as the disc.
    VerifyWindow(const QString& catalogue, const DiscStore::DiscRow& disc, const QString& root,
                 QWidget* parent = nullptr);
    // Stops a verification still running and waits for it.
    ~VerifyWindow() override;

    // What Disc details' "Verify…" does: opens the window for the disc (`decorate` gives it the
    // program's frame), reading the file or folder the disc was catalogued from when it is still
    // there, else the drive's root as `driveRoot` gives it, and returns once the window is closed.
    static std::function<void(const DiscStore::DiscRow&)> opener(Catalogue& catalogue,
                                                                 std::function<QString()> driveRoot,
                                                                 std::function<void(QDialog*)> decorate,
                                                                 QWidget* parent);

    bool running() const { return running_; }

  Q_SIGNALS:
    // The verification ended: finished, stopped or failed.
    void ended();

  protected:
    void showEvent(QShowEvent* event) override;
    void exitRequested() override;

  private:
    void start();
    void stopOrClose();
    void addProblem(const QString& line);
    void progress(qint64 files, qint64 total);
    void finish(const QString& summary);

    QString catalogue_;
    DiscStore::DiscRow disc_;
    QString root_;
    QLabel* reading_;
    QProgressBar* bar_;
    QPushButton* stopButton_;
    QListWidget* problems_;
    QLabel* summary_;
    std::unique_ptr<QThread> thread_;
    std::atomic<bool> stop_ = false;
    bool running_ = false;
    bool started_ = false;
};
