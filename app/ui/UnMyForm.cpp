#include "app/ui/UnMyForm.h"

#include "app/AppInfo.h"
#include "app/DesktopViewer.h"
#include "app/ui/BalloonHintFilter.h"
#include "app/ui/DiscUpdateAction.h"
#include "app/ui/MediaNotice.h"
#include "app/ui/SystemDiscDrive.h"
#include "app/ui/UnAbout.h"
#include "app/ui/UnLoading.h"
#include "app/ui/WindowChrome.h"
#include "catalogue/AppPaths.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueWatch.h"
#include "common/IMessages.h"
#include "common/TessaroError.h"
#include "common/ui/Panels.h"
#include "maintenance/ui/UnDelCD.h"
#include "maintenance/ui/UnNewCD.h"
#include "maintenance/ui/VerifyWindow.h"
#include "resources/Art.h"
#include "search/NameForms.h"
#include "search/ResultModel.h"
#include "search/ResultSet.h"
#include "search/SearchCriteria.h"
#include "search/SearchStatement.h"
#include "search/ui/DiscDetails.h"
#include "search/ui/FilterPanel.h"
#include "search/ui/GridRequisiti.h"
#include "search/ui/PanelCriteria.h"
#include "settings/DotFolderSetting.h"
#include "settings/HashSetting.h"
#include "settings/MediaNoticeSetting.h"
#include "settings/NameSearchSetting.h"
#include "settings/ui/UnSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

namespace
{
// Earlier results kept for going back: a few bytes a row each.
constexpr size_t kPreviousResults = 20;

QToolButton* toolButton(QToolBar* bar, const char* name, const QString& hint, QLatin1StringView art)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setFixedSize(23, 22);
    button->setIconSize(QSize(16, 16));
    button->setIcon(QIcon(QString(art)));
    button->setToolTip(hint);
    button->setStatusTip(hint);
    bar->addWidget(button);
    return button;
}

void addGap(QToolBar* bar)
{
    auto* gap = new QWidget(bar);
    gap->setFixedWidth(8);
    bar->addWidget(gap);
}
} // namespace

TPersonalForm::TPersonalForm(IMessages& messages, Catalogue& catalogue, const QString& cataloguePath,
                             const QString& settingsPath, QWidget* parent)
    : QWidget(parent), messages_(messages), catalogue_(catalogue), cataloguePath_(cataloguePath)
{
    setObjectName(QStringLiteral("PersonalForm"));
    setWindowTitle(AppInfo::Title);
    result_ = std::make_unique<ResultSet>(catalogue_.connection());
    watch_ = new CatalogueWatch(catalogue_.connection(), this);
    connect(watch_, &CatalogueWatch::changed, this, &TPersonalForm::catalogueChanged);
    setAcceptDrops(true);
    buildLayout();
    FormCreate();
    // Created once, hidden, also after a failed start-up; shown modally by their commands.
    aboutBox_ = new TfrmAbout(this);
    discDrive_ = std::make_unique<SystemDiscDrive>(DriveSetting(settingsPath));
    newDiscDialog_ = new TfrmNewCD(
        catalogue_, [this] { RefreshFilters(); }, messages_,
        [drive = discDrive_.get()] { return drive->setting().ReadDriveSetting(); }, *discDrive_, this);
    newDiscDialog_->setArchiveListing([drive = discDrive_.get()] { return drive->setting().ListArchives(); });
    newDiscDialog_->setContentHashing(
        [drive = discDrive_.get()] { return HashSetting(drive->setting().path()).hashContents(); });
    newDiscDialog_->setDotFolders(
        [drive = discDrive_.get()] { return DotFolderSetting(drive->setting().path()).enterDotFolders(); });
    removeDiscDialog_ = new TfrmDelCD(
        catalogue_, [this] { RefreshFilters(); }, messages_, this);
    settingsDialog_ = new TfrmSettings(
        messages_, discDrive_->setting(),
        [drive = discDrive_.get()] { return drive->setting().driveTable().drives(); }, this);
    WindowChrome::attachDialog(newDiscDialog_);
    WindowChrome::attachDialog(removeDiscDialog_);
    WindowChrome::attachDialog(settingsDialog_);
    discDetails_ = new TfrmDiscDetails(catalogue_, this);
    WindowChrome::attachDialog(discDetails_);
    discDetails_->setUpdateAction(
        discUpdateAction(catalogue_, messages_, *discDrive_, discDetails_, [this] { RefreshFilters(); }));
    discDetails_->setVerify(VerifyWindow::opener(
        catalogue_,
        [drive = discDrive_.get()] {
            return drive->setting().driveTable().rootOf(drive->setting().ReadDriveSetting());
        },
        [](QDialog* window) { WindowChrome::attachDialog(window); }, discDetails_));
    noticeMedia();
    // Where names are found anywhere, typing a part of one is searching for it.
    connect(filters_->filePattern(), &QLineEdit::textEdited, this, [this] {
        if (namesAnywhere())
            filters_->fileFilter()->setChecked(true);
    });
}

TPersonalForm::~TPersonalForm()
{
    // The dialogs and the notice use the drive, which goes before the window's children.
    delete newDiscDialog_;
    delete removeDiscDialog_;
    delete settingsDialog_;
    delete discDetails_;
    delete mediaNotice_;
    FormDestroy();
}

void TPersonalForm::buildLayout()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outerPanel_ = Panels::outerPanel(this, Panels::SkyBlue);
    outer->addWidget(outerPanel_);

    panelLayout_ = new QVBoxLayout(outerPanel_);
    panelLayout_->setContentsMargins(2, 2, 2, 2); // the border width, inside the frame's border line
    panelLayout_->setSpacing(0);

    buildToolBar();
    filters_ = new TFilterPanel(outerPanel_);
    panelLayout_->addWidget(filters_);

    grid_ = new TGridRequisiti(*result_, filters_, outerPanel_);
    // The grid takes what room is left, down to none: at the smallest window size it must
    // not push itself over the filter panel.
    grid_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    panelLayout_->addWidget(grid_, 1);
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        ShowDiscDetails(int(grid_->resultModel()->resultRow(index.row())));
    });
    connect(grid_, &QWidget::customContextMenuRequested, this, &TPersonalForm::GridContextMenu);
    // Shift+F10 opens the menu at the current row, as the Menu key does (the window system
    // turns that key into a context menu request of its own).
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), grid_);
    menuKey->setObjectName(QStringLiteral("GridMenuShortcut"));
    menuKey->setContext(Qt::WidgetShortcut);
    connect(menuKey, &QShortcut::activated, this, [this] {
        const QModelIndex current = grid_->currentIndex();
        if (!current.isValid())
            return;
        grid_->scrollTo(current);
        GridContextMenu(grid_->visualRect(current).center());
    });
    connect(filters_->findButton(), &QToolButton::clicked, this, &TPersonalForm::search);
    // Enter in the pattern box runs the search, as the find button does.
    connect(filters_->filePattern(), &QLineEdit::returnPressed, this, &TPersonalForm::search);
    buildShortcuts();

    buildStatusBar();

    edgeTimer_ = new QTimer(this);
    edgeTimer_->setObjectName(QStringLiteral("Timer1"));
    edgeTimer_->setInterval(100);
    connect(edgeTimer_, &QTimer::timeout, this, &TPersonalForm::trackEdges);
    edgeTimer_->start();
    closeTimer_ = new QTimer(this);
    closeTimer_->setObjectName(QStringLiteral("Timer2"));
    closeTimer_->setInterval(1000);
    connect(closeTimer_, &QTimer::timeout, this, &TPersonalForm::closeAfterFailedStart);

    setMinimumSize(568, 195);
    resize(593, 367);
}

void TPersonalForm::buildShortcuts()
{
    const auto shortcut = [this](const QKeySequence& keys, const char* name, auto slot) {
        auto* made = new QShortcut(keys, this);
        made->setObjectName(QLatin1String(name));
        connect(made, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::HelpContents, "HelpShortcut", &TPersonalForm::showHelp);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_N), "NewCdShortcut", &TPersonalForm::newDisc);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_F), "FindShortcut", [this] {
        filters_->filePattern()->setFocus(Qt::ShortcutFocusReason);
        filters_->filePattern()->selectAll();
    });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), "QuitShortcut", &QWidget::close);
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Left), "BackShortcut", &TPersonalForm::PreviousResults);
}

void TPersonalForm::buildToolBar()
{
    toolBar_ = new QToolBar(outerPanel_);
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setContentsMargins(1, 1, 1, 1);
    // The buttons' arrows in black too: the style sheet would take them from the desktop palette.
    toolBar_->setStyleSheet(QStringLiteral("QToolBar { border: none; background: transparent; spacing: 0px; }"
                                           " QToolButton { color: black; }"));

    newDiscButton_ = toolButton(toolBar_, "ToolButton1", QStringLiteral("New CD"), Art::newDisc);
    removeDiscButton_ = toolButton(toolBar_, "ToolButton2", QStringLiteral("Remove CD"), Art::removeDisc);
    addGap(toolBar_);
    settingsButton_ = toolButton(toolBar_, "ToolButton3", QStringLiteral("Settings"), Art::settings);
    addGap(toolBar_);
    helpButton_ = toolButton(toolBar_, "ToolButton5", QStringLiteral("Help"), Art::help);
    // The face opens help at once; only the arrow opens the menu.
    helpButton_->setPopupMode(QToolButton::MenuButtonPopup);
    helpButton_->setFixedSize(35, 22);

    helpMenu_ = new QMenu(this);
    helpMenu_->setObjectName(QStringLiteral("PopupMenu1"));
    helpMenu_->setAttribute(Qt::WA_WindowPropagation); // the window's colours and face
    helpMenu_->setToolTipsVisible(true);
    onlineHelpAction_ = helpMenu_->addAction(QStringLiteral("Online Help"));
    onlineHelpAction_->setObjectName(QStringLiteral("Guidainlinea1"));
    onlineHelpAction_->setToolTip(QStringLiteral("Online Help"));
    onlineHelpAction_->setStatusTip(QStringLiteral("Online Help"));
    aboutAction_ = helpMenu_->addAction(QStringLiteral("About..."));
    aboutAction_->setObjectName(QStringLiteral("Informazionisu1"));
    aboutAction_->setToolTip(QStringLiteral("About Tessaro"));
    aboutAction_->setStatusTip(QStringLiteral("About Tessaro"));
    helpButton_->setMenu(helpMenu_);

    // Last: the tool bar's own settings above recompute its size limits.
    toolBar_->setFixedHeight(28);

    connect(newDiscButton_, &QToolButton::clicked, this, &TPersonalForm::newDisc);
    connect(removeDiscButton_, &QToolButton::clicked, this, &TPersonalForm::removeDisc);
    connect(settingsButton_, &QToolButton::clicked, this, &TPersonalForm::showSettings);
    connect(helpButton_, &QToolButton::clicked, this, &TPersonalForm::showHelp);
    connect(onlineHelpAction_, &QAction::triggered, this, &TPersonalForm::showHelp);
    connect(aboutAction_, &QAction::triggered, this, &TPersonalForm::showAbout);
    panelLayout_->addWidget(toolBar_);
}

void TPersonalForm::buildStatusBar()
{
    statusBar_ = new QStatusBar(outerPanel_);
    statusBar_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar_->setFixedHeight(19);
    statusBar_->setSizeGripEnabled(false);
    hintPanel_ = new QLabel(statusBar_);
    hintPanel_->setObjectName(QStringLiteral("StatusPanel0"));
    hintPanel_->setFixedWidth(150);
    countPanel_ = new QLabel(statusBar_);
    countPanel_->setObjectName(QStringLiteral("StatusPanel1"));
    countPanel_->setMinimumWidth(50);
    statusBar_->addWidget(hintPanel_);
    statusBar_->addWidget(countPanel_, 1);
    panelLayout_->addWidget(statusBar_);
}

void TPersonalForm::FormCreate()
{
    helpFile_ = AppPaths::forThisProgram().helpFile();
    chrome_ = WindowChrome::attach(this, {.canMaximise = true, .resizable = true});
    try {
        catalogue_.connect(cataloguePath_);
        watch_->start();
        // Owned by this window: when the lists cannot be filled it stays up until the window closes.
        TfrmLoading* splash = TfrmLoading::showFor(this);
        LoadFilters();
        delete splash;
    } catch (const std::exception&) {
        messages_.showMessage(QStringLiteral("Unable to connect to DB, program will be closed"));
        // The close must come from inside the message loop, which has not started yet.
        closeTimer_->start();
    }
}

void TPersonalForm::FormDestroy() noexcept
{
    result_->close();
    catalogue_.disconnect();
}

void TPersonalForm::LoadFilters()
{
    filters_->LoadFilters(catalogue_);
}

void TPersonalForm::RefreshFilters()
{
    filters_->RefreshFilters(catalogue_);
}

bool TPersonalForm::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        hintPanel_->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    // Coming back from a terminal or another window: one look at the catalogue.
    if (event->type() == QEvent::WindowActivate) {
        if (refreshPending_)
            catalogueChanged();
        else
            watch_->check();
    }
    return QWidget::event(event);
}

void TPersonalForm::catalogueChanged()
{
    // A dialog may be using the work query, or be in the middle of a run.
    if (QApplication::activeModalWidget() || !catalogue_.connected()) {
        refreshPending_ = true;
        return;
    }
    refreshPending_ = false;
    try {
        RefreshFilters();
    } catch (const TessaroError& error) {
        // Unasked for: no box. The lists stay as they were until the next change or search.
        std::fprintf(stderr, "tessaro: %s\n", error.message().toLocal8Bit().constData());
    }
}

QString TPersonalForm::droppedRoot(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().first().isLocalFile())
        return {};
    const QFileInfo root(data->urls().first().toLocalFile());
    if (!root.isDir() && !root.isFile())
        return {};
    return root.absoluteFilePath();
}

void TPersonalForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedRoot(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TPersonalForm::dropEvent(QDropEvent* event)
{
    const QString root = droppedRoot(event->mimeData());
    if (root.isEmpty())
        return;
    event->acceptProposedAction();
    // Not inside the drop: the dragging program waits until the drop has been handled.
    QTimer::singleShot(0, this, [this, root] { NewCdFor(root); });
}

void TPersonalForm::NewCdFor(const QString& root)
{
    newDiscDialog_->ResetDialog();
    newDiscDialog_->setRoot(root);
    newDiscDialog_->exec();
}

void TPersonalForm::newDisc()
{
    newDiscDialog_->ResetDialog();
    newDiscDialog_->exec();
}

void TPersonalForm::removeDisc()
{
    // Exceptions must not travel through Qt's event delivery: report here and keep the dialog shut.
    try {
        removeDiscDialog_->FillDiscList();
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
        return;
    }
    removeDiscDialog_->exec();
}

void TPersonalForm::showSettings()
{
    settingsDialog_->exec();
    noticeMedia();
}

void TPersonalForm::noticeMedia()
{
    bool on = false;
    try {
        on = MediaNoticeSetting(discDrive_->setting().path()).on();
    } catch (const TessaroError& error) {
        std::fprintf(stderr, "tessaro: %s\n", error.message().toLocal8Bit().constData());
    }
    if (on && !mediaNotice_) {
        mediaNotice_ =
            new MediaNotice(MediaNotice::systemLookup(discDrive_->setting(), catalogue_), statusBar_);
        statusBar_->addPermanentWidget(mediaNotice_);
        connect(mediaNotice_, &MediaNotice::catalogueRequested, this, [this](QChar drive) {
            newDiscDialog_->ResetDialog();
            newDiscDialog_->setDrive(drive);
            newDiscDialog_->exec();
        });
        connect(mediaNotice_, &MediaNotice::updateRequested, this,
                [this](const DiscStore::DiscRow& disc, QChar drive) {
                    discUpdateAction(
                        catalogue_, messages_, *discDrive_, this, [this] { RefreshFilters(); }, drive)(disc);
                });
        connect(mediaNotice_, &MediaNotice::verifyRequested, this,
                [this](const DiscStore::DiscRow& disc, QChar drive) {
                    VerifyWindow::opener(
                        catalogue_,
                        [this, drive] { return discDrive_->setting().driveTable().rootOf(drive); },
                        [](QDialog* window) { WindowChrome::attachDialog(window); }, this)(disc);
                });
    }
    if (mediaNotice_)
        mediaNotice_->follow(on);
}

void TPersonalForm::showHelp()
{
    // Without a viewer the desktop would fail out of sight.
    if (!DesktopViewer::installedFor(helpFile_)) {
        messages_.showMessage(
            QStringLiteral("No program to view the help file %1 is installed (xchm views it)")
                .arg(QDir::toNativeSeparators(helpFile_)));
        return;
    }
    // Whether the file exists is the desktop's business, as when it is opened by hand.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(helpFile_)))
        messages_.showMessage(
            QStringLiteral("Unable to open the help file %1").arg(QDir::toNativeSeparators(helpFile_)));
}

void TPersonalForm::showAbout()
{
    aboutBox_->exec();
    // The box opened from the Help button's menu and kept the pointer's leaving from it: the
    // button would stay drawn raised until the pointer next crossed it.
    if (!helpButton_->rect().contains(helpButton_->mapFromGlobal(QCursor::pos()))) {
        helpButton_->setAttribute(Qt::WA_UnderMouse, false);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(helpButton_, &leave);
        helpButton_->update();
    }
}

void TPersonalForm::search()
{
    SearchCriteria criteria = criteriaFromPanel(*filters_);
    if (namesAnywhere())
        NameForms::findAnywhere(criteria);
    const SearchStatement statement(criteria);
    showResults([&] { result_->open(statement); });
    if (!result_->active() || result_->rowCount() > 0)
        return;
    // A part of a name typed alone finds nothing: the balloon says what would.
    const QString suggestion = NameForms::suggestion(criteria);
    if (suggestion.isEmpty())
        return;
    // Once the key or click that ran the search is over: Enter goes on to the panel, and any
    // key closes hints.
    QTimer::singleShot(0, this, [this, suggestion] {
        QLineEdit* box = filters_->filePattern();
        BalloonHintFilter::install()->showHint(
            box, QStringLiteral("Patterns cover the whole name from the first \\ \u2014 try ") + suggestion,
            box->mapToGlobal(QPoint(std::min(box->width() / 2, 40), box->height() / 2)));
    });
}

bool TPersonalForm::namesAnywhere() const
{
    return NameSearchSetting(discDrive_->setting().path()).namesAnywhere();
}

void TPersonalForm::FindCopies(int row)
{
    const ResultSnapshot& rows = result_->rows();
    if (row < 0 || row >= rows.rowCount())
        return;
    const QString disc = rows.cdid(row);
    const QString name = rows.name(row);
    const qint64 size = rows.dimensione(row);
    showResults([&] { result_->openCopies(disc, name, size); },
                [&] {
                    const qsizetype copies = result_->rowCount();
                    return copies == 1 ? QStringLiteral("1 copy of %1").arg(name)
                                       : QStringLiteral("%1 copies of %2").arg(copies).arg(name);
                });
}

void TPersonalForm::FindOnlyHere(int row)
{
    const ResultSnapshot& rows = result_->rows();
    if (row < 0 || row >= rows.rowCount())
        return;
    const QString label = rows.cdid(row);
    std::optional<DiscStore::DiscRow> disc;
    try {
        disc = catalogue_.findDisc(label);
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
        return;
    }
    if (!disc) {
        messages_.showError(DiscStore::noLongerThere(label));
        return;
    }
    showResults([&] { result_->openOnlyHere(disc->id, label); });
}

bool TPersonalForm::PreviousResults()
{
    if (previous_.empty())
        return false;
    ShownResult shown = std::move(previous_.back());
    previous_.pop_back();
    result_->restore(std::move(shown.rows));
    // In the order they were shown in.
    grid_->horizontalHeader()->setSortIndicator(shown.sortColumn, shown.sortOrder);
    countPanel_->setText(shown.count);
    return true;
}

void TPersonalForm::showResults(const std::function<void()>& search, const std::function<QString()>& count)
{
    if (result_->active()) {
        if (previous_.size() == kPreviousResults)
            previous_.erase(previous_.begin());
        const QHeaderView* titles = grid_->horizontalHeader();
        previous_.push_back({result_->rows(), countPanel_->text(), titles->sortIndicatorSection(),
                             titles->sortIndicatorOrder()});
    }
    QString failure;
    {
        // Restored on failure too: a stuck wait cursor would hide that the search is over.
        const struct WaitCursor {
            WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
            ~WaitCursor() { QApplication::restoreOverrideCursor(); }
        } wait;
        try {
            search();
        } catch (const TessaroError& error) {
            failure = error.message();
        } catch (const std::exception& error) {
            failure = QString::fromLocal8Bit(error.what());
        }
    }
    if (result_->active())
        countPanel_->setText(count ? count()
                                   : QString::number(result_->rowCount()) + QStringLiteral(" files found"));
    else
        messages_.showError(failure); // the result stays closed and the last count stays
}

void TPersonalForm::trackEdges()
{
    edgeTimer_->stop();
    chrome_->followPointer();
    edgeTimer_->start();
}

void TPersonalForm::closeAfterFailedStart()
{
    closeTimer_->stop();
    close();
}

void TPersonalForm::ShowDiscDetails(int row)
{
    const ResultSnapshot& rows = result_->rows();
    if (row < 0 || row >= rows.rowCount())
        return;
    try {
        const QString label = rows.cdid(row);
        const std::optional<DiscStore::DiscRow> disc = catalogue_.findDisc(label);
        if (!disc) {
            messages_.showError(DiscStore::noLongerThere(label));
            return;
        }
        discDetails_->showDisc(*disc, rows.path(row), rows.name(row));
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
        return;
    }
    discDetails_->exec();
}

void TPersonalForm::GridContextMenu(const QPoint& at)
{
    const QModelIndex index = grid_->indexAt(at);
    if (!index.isValid())
        return;
    const int row = int(grid_->resultModel()->resultRow(index.row()));
    // The window's colours and face, as the Help menu has them, never the desktop theme's.
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("GridMenu"));
    menu.setAttribute(Qt::WA_WindowPropagation);
    QAction* details = menu.addAction(QStringLiteral("Disc details\u2026"));
    QAction* copy = menu.addAction(QStringLiteral("Copy"));
    QAction* copies = menu.addAction(QStringLiteral("Find copies"));
    QAction* onlyHere = menu.addAction(QStringLiteral("Only on this disc"));
    QAction* chosen = menu.exec(grid_->viewport()->mapToGlobal(at));
    if (chosen == details)
        ShowDiscDetails(row);
    else if (chosen == copy)
        QGuiApplication::clipboard()->setText(grid_->selectedRowsText());
    else if (chosen == copies)
        FindCopies(row);
    else if (chosen == onlyHere)
        FindOnlyHere(row);
}
