#pragma once

#include "catalogue/DiscStore.h"
#include "scan/MediumSet.h"

#include <QSet>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class Catalogue;
class DriveSetting;
class MediaWatcher;
class QLabel;
class QToolButton;

// The small notice in the main window's status bar about the medium put in last: "C0012 is in
// drive d: Update · Verify · Ignore" for a catalogued disc, "New disc in drive d: Catalogue…"
// for another. It only offers: what is done is the window's, on the user's click (the signals
// below). Verify shows only where something is connected to verifyRequested. Hidden, and
// following nothing, until follow(true).
class MediaNotice : public QWidget
{
    Q_OBJECT
  public:
    struct Lookup {
        std::function<QChar(const Medium&)> letter; // the drive letter now; null when it has none
        std::function<std::optional<DiscStore::DiscRow>(const Medium&)> disc; // the catalogued disc
    };
    // The machine's drive table and the catalogue's discs; a catalogue that cannot be read
    // matches nothing (said on standard error).
    static Lookup systemLookup(const DriveSetting& setting, Catalogue& catalogue);

    explicit MediaNotice(Lookup lookup, QWidget* parent = nullptr);
    ~MediaNotice() override;

    // Starts following UDisks2 (media already in are offered too), or stops and hides.
    void follow(bool on);
    bool following() const { return watcher_ != nullptr; }

    // Looks the media up again (a disc was catalogued or removed meanwhile).
    void refresh();

  public Q_SLOTS:
    // What the watcher tells.
    void appeared(const Medium& medium);
    void gone(const Medium& medium);
    void mountChanged(const Medium& medium);

  Q_SIGNALS:
    void updateRequested(const DiscStore::DiscRow& disc, QChar drive);
    void verifyRequested(const DiscStore::DiscRow& disc, QChar drive);
    void catalogueRequested(QChar drive);

  private:
    struct Present {
        Medium medium;
        QChar letter;
        std::optional<DiscStore::DiscRow> disc;
    };
    void lookUp(Present& present);
    // The latest medium with a drive letter that was not ignored; hidden when none.
    void showLatest();
    QToolButton* link(const char* name, const QString& text);
    QLabel* dot();

    Lookup lookup_;
    MediaWatcher* watcher_ = nullptr;
    std::vector<Present> present_; // in the order they came
    QSet<QString> ignored_;        // object paths, until the medium goes
    std::optional<Present> shown_;
    QLabel* text_;
    QToolButton* update_;
    QLabel* afterUpdate_;
    QToolButton* verify_;
    QLabel* afterVerify_;
    QToolButton* ignore_;
    QToolButton* catalogue_;
};
