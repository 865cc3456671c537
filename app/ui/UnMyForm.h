#pragma once

#include "catalogue/searchindex/ResultSnapshot.h"
#include "settings/DriveSetting.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class Catalogue;
class CatalogueWatch;
class QMimeData;
class IMessages;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QStatusBar;
class ResultSet;
class TGridRequisiti;
class TfrmDiscDetails;
class QTimer;
class QToolBar;
class QToolButton;
class QVBoxLayout;
class TFilterPanel;
class TfrmAbout;
class WindowChrome;
class TfrmDelCD;
class TfrmNewCD;
class TfrmSettings;
class SystemDiscDrive;

// The main window: connects the catalogue session it is given and owns the result query, lays
// out the toolbar, the filter panel, the results grid and the status bar, and dispatches the
// toolbar and help commands. A folder or disc image dropped on it opens New CD for it, and its
// lists follow discs that other processes add or remove.
class TPersonalForm : public QWidget
{
    Q_OBJECT
  public:
    TPersonalForm(IMessages& messages, Catalogue& catalogue, const QString& cataloguePath,
                  const QString& settingsPath = DriveSetting::defaultPath(), QWidget* parent = nullptr);
    ~TPersonalForm() override;

    // Fills the disc and extension lists again, keeping the chosen entries.
    void RefreshFilters();
    ResultSet& resultQuery() { return *result_; }
    const QString& helpFile() const { return helpFile_; }

  public Q_SLOTS:
    // The tool bar's and the help menu's commands, and the find button's search.
    void newDisc();
    void removeDisc();
    void showSettings();
    void showHelp();
    void showAbout();
    void search();
    // The Disc details window for a row of the grid, opened at its folder with its file selected.
    void ShowDiscDetails(int row);
    // The grid shows the copies of a row's file on other discs: same name and size.
    void FindCopies(int row);
    // Fills the grid with the files of the row's disc that have no copy on any other disc.
    void FindOnlyHere(int row);
    // The grid's context menu: "Disc details…", "Copy", "Find copies" and "Only on this
    // disc".
    void GridContextMenu(const QPoint& at);
    // New CD for a folder or disc image in place of the drive.
    void NewCdFor(const QString& root);
    // The results shown before the last search or "Find copies", with their count; false when
    // there are none.
    bool PreviousResults();
    // The folder or disc image a drop carries: one local folder or file; empty for anything else.
    static QString droppedRoot(const QMimeData* data);

  protected:
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void FormCreate();
    void FormDestroy() noexcept;
    void buildLayout();
    void buildToolBar();
    void buildStatusBar();
    // Filled by the filter lists; run once at start-up while the splash shows.
    void LoadFilters();
    // Every 100 ms: the pointer shape and the edges a press on the margin sizes.
    void trackEdges();
    void closeAfterFailedStart();
    // Whether File patterns without "*" or "\" are looked for anywhere in the names.
    bool namesAnywhere() const;
    // Runs a search that fills the result query, with the wait cursor; shows its count, or
    // its error.
    // `count` says what the grid holds; by default "N files found".
    void showResults(const std::function<void()>& search, const std::function<QString()>& count = {});
    void buildShortcuts();
    // Fills the lists again after another process changed the catalogue; while a dialog is
    // open, once the window is active again.
    void catalogueChanged();

    IMessages& messages_;
    Catalogue& catalogue_;
    QString cataloguePath_;
    QString helpFile_;
    std::unique_ptr<ResultSet> result_;
    QFrame* outerPanel_;
    QToolBar* toolBar_;
    QToolButton* newDiscButton_;    // New CD
    QToolButton* removeDiscButton_; // Remove CD
    QToolButton* settingsButton_;   // Settings
    QToolButton* helpButton_;       // Help, with helpMenu_ on its arrow
    QMenu* helpMenu_;
    QAction* onlineHelpAction_;
    QAction* aboutAction_;
    TFilterPanel* filters_;
    TGridRequisiti* grid_;
    QStatusBar* statusBar_;
    QLabel* hintPanel_;  // hint of the control under the mouse
    QLabel* countPanel_; // count of the last search
    QTimer* edgeTimer_;  // edge-resize cursor, every 100 ms
    QTimer* closeTimer_; // closes the window after a failed start-up
    TfrmAbout* aboutBox_ = nullptr;
    TfrmNewCD* newDiscDialog_ = nullptr;
    TfrmSettings* settingsDialog_ = nullptr;
    TfrmDelCD* removeDiscDialog_ = nullptr;
    TfrmDiscDetails* discDetails_ = nullptr;
    QVBoxLayout* panelLayout_ = nullptr;
    WindowChrome* chrome_ = nullptr;
    std::unique_ptr<SystemDiscDrive> discDrive_;
    CatalogueWatch* watch_ = nullptr;
    bool refreshPending_ = false;
    struct ShownResult {
        ResultSnapshot rows;
        QString count;
        int sortColumn; // -1: the statement's order
        Qt::SortOrder sortOrder;
    };
    std::vector<ShownResult> previous_; // the latest last
};
