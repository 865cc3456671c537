#include "app/ui/UnMyForm.h"

#include "app/AppInfo.h"
#include "app/DesktopViewer.h"
#include "app/ui/BalloonHintFilter.h"
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
    ResultQuery = std::make_unique<ResultSet>(catalogue_.connection());
    watch_ = new CatalogueWatch(catalogue_.connection(), this);
    connect(watch_, &CatalogueWatch::changed, this, &TPersonalForm::catalogueChanged);
    setAcceptDrops(true);
    buildLayout();
    FormCreate();
    // Created once, hidden, also after a failed start-up; shown modally by their commands.
    frmAbout = new TfrmAbout(this);
    discDrive_ = std::make_unique<SystemDiscDrive>(DriveSetting(settingsPath));
    frmNewCD = new TfrmNewCD(
        catalogue_, [this] { RefreshFilters(); }, messages_,
        [drive = discDrive_.get()] { return drive->setting().ReadDriveSetting(); }, *discDrive_, this);
    frmNewCD->setArchiveListing([drive = discDrive_.get()] { return drive->setting().ListArchives(); });
    frmNewCD->setContentHashing(
        [drive = discDrive_.get()] { return HashSetting(drive->setting().path()).hashContents(); });
    frmNewCD->setDotFolders(
        [drive = discDrive_.get()] { return DotFolderSetting(drive->setting().path()).enterDotFolders(); });
    frmDelCD = new TfrmDelCD(
        catalogue_, [this] { RefreshFilters(); }, messages_, this);
    frmSettings = new TfrmSettings(
        messages_, discDrive_->setting(),
        [drive = discDrive_.get()] { return drive->setting().driveTable().drives(); }, this);
    WindowChrome::attachDialog(frmNewCD);
    WindowChrome::attachDialog(frmDelCD);
    WindowChrome::attachDialog(frmSettings);
    frmDiscDetails = new TfrmDiscDetails(catalogue_, this);
    WindowChrome::attachDialog(frmDiscDetails);
    frmDiscDetails->setVerify(VerifyWindow::opener(
        catalogue_,
        [drive = discDrive_.get()] {
            return drive->setting().driveTable().rootOf(drive->setting().ReadDriveSetting());
        },
        [](QDialog* window) { WindowChrome::attachDialog(window); }, frmDiscDetails));
    // Where names are found anywhere, typing a part of one is searching for it.
    connect(Panel4->Edit2, &QLineEdit::textEdited, this, [this] {
        if (namesAnywhere())
            Panel4->CheckBox2->setChecked(true);
    });
}

TPersonalForm::~TPersonalForm()
{
    // The dialogs use the drive, which goes before the window's children.
    delete frmNewCD;
    delete frmDelCD;
    delete frmSettings;
    delete frmDiscDetails;
    FormDestroy();
}

void TPersonalForm::buildLayout()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Panel1 = Panels::outerPanel(this, Panels::SkyBlue);
    outer->addWidget(Panel1);

    panel1Layout_ = new QVBoxLayout(Panel1);
    panel1Layout_->setContentsMargins(2, 2, 2, 2); // the border width, inside the frame's border line
    panel1Layout_->setSpacing(0);

    buildToolBar();
    Panel4 = new TFilterPanel(Panel1);
    panel1Layout_->addWidget(Panel4);

    GridRequisiti = new TGridRequisiti(*ResultQuery, Panel4, Panel1);
    // The grid takes what room is left, down to none: at the smallest window size it must
    // not push itself over the filter panel.
    GridRequisiti->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    panel1Layout_->addWidget(GridRequisiti, 1);
    GridRequisiti->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(GridRequisiti, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        ShowDiscDetails(int(GridRequisiti->resultModel()->resultRow(index.row())));
    });
    connect(GridRequisiti, &QWidget::customContextMenuRequested, this, &TPersonalForm::GridContextMenu);
    // Shift+F10 opens the menu at the current row, as the Menu key does (the window system
    // turns that key into a context menu request of its own).
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), GridRequisiti);
    menuKey->setObjectName(QStringLiteral("GridMenuShortcut"));
    menuKey->setContext(Qt::WidgetShortcut);
    connect(menuKey, &QShortcut::activated, this, [this] {
        const QModelIndex current = GridRequisiti->currentIndex();
        if (!current.isValid())
            return;
        GridRequisiti->scrollTo(current);
        GridContextMenu(GridRequisiti->visualRect(current).center());
    });
    connect(Panel4->SpeedButton1, &QToolButton::clicked, this, &TPersonalForm::SpeedButton1Click);
    // Enter in the pattern box runs the search, as the find button does.
    connect(Panel4->Edit2, &QLineEdit::returnPressed, this, &TPersonalForm::SpeedButton1Click);
    buildShortcuts();

    buildStatusBar();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TPersonalForm::Timer1Timer);
    Timer1->start();
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, &TPersonalForm::Timer2Timer);

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
    shortcut(QKeySequence::HelpContents, "HelpShortcut", &TPersonalForm::ToolButton5Click);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_N), "NewCdShortcut", &TPersonalForm::ToolButton1Click);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_F), "FindShortcut", [this] {
        Panel4->Edit2->setFocus(Qt::ShortcutFocusReason);
        Panel4->Edit2->selectAll();
    });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), "QuitShortcut", &QWidget::close);
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Left), "BackShortcut", &TPersonalForm::PreviousResults);
}

void TPersonalForm::buildToolBar()
{
    ToolBar1 = new QToolBar(Panel1);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setContentsMargins(1, 1, 1, 1);
    // The buttons' arrows in black too: the style sheet would take them from the desktop palette.
    ToolBar1->setStyleSheet(QStringLiteral("QToolBar { border: none; background: transparent; spacing: 0px; }"
                                           " QToolButton { color: black; }"));

    ToolButton1 = toolButton(ToolBar1, "ToolButton1", QStringLiteral("New CD"), Art::newDisc);
    ToolButton2 = toolButton(ToolBar1, "ToolButton2", QStringLiteral("Remove CD"), Art::removeDisc);
    addGap(ToolBar1);
    ToolButton3 = toolButton(ToolBar1, "ToolButton3", QStringLiteral("Settings"), Art::settings);
    addGap(ToolBar1);
    ToolButton5 = toolButton(ToolBar1, "ToolButton5", QStringLiteral("Help"), Art::help);
    // The face opens help at once; only the arrow opens the menu.
    ToolButton5->setPopupMode(QToolButton::MenuButtonPopup);
    ToolButton5->setFixedSize(35, 22);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->setAttribute(Qt::WA_WindowPropagation); // the window's colours and face
    PopupMenu1->setToolTipsVisible(true);
    Guidainlinea1 = PopupMenu1->addAction(QStringLiteral("Online Help"));
    Guidainlinea1->setObjectName(QStringLiteral("Guidainlinea1"));
    Guidainlinea1->setToolTip(QStringLiteral("Online Help"));
    Guidainlinea1->setStatusTip(QStringLiteral("Online Help"));
    Informazionisu1 = PopupMenu1->addAction(QStringLiteral("About..."));
    Informazionisu1->setObjectName(QStringLiteral("Informazionisu1"));
    Informazionisu1->setToolTip(QStringLiteral("About Tessaro"));
    Informazionisu1->setStatusTip(QStringLiteral("About Tessaro"));
    ToolButton5->setMenu(PopupMenu1);

    // Last: the tool bar's own settings above recompute its size limits.
    ToolBar1->setFixedHeight(28);

    connect(ToolButton1, &QToolButton::clicked, this, &TPersonalForm::ToolButton1Click);
    connect(ToolButton2, &QToolButton::clicked, this, &TPersonalForm::ToolButton2Click);
    connect(ToolButton3, &QToolButton::clicked, this, &TPersonalForm::ToolButton3Click);
    connect(ToolButton5, &QToolButton::clicked, this, &TPersonalForm::ToolButton5Click);
    connect(Guidainlinea1, &QAction::triggered, this, &TPersonalForm::Guidainlinea1Click);
    connect(Informazionisu1, &QAction::triggered, this, &TPersonalForm::Informazionisu1Click);
    panel1Layout_->addWidget(ToolBar1);
}

void TPersonalForm::buildStatusBar()
{
    StatusBar1 = new QStatusBar(Panel1);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(150);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setMinimumWidth(50);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);
    panel1Layout_->addWidget(StatusBar1);
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
        Timer2->start();
    }
}

void TPersonalForm::FormDestroy() noexcept
{
    ResultQuery->close();
    catalogue_.disconnect();
}

void TPersonalForm::LoadFilters()
{
    Panel4->LoadFilters(catalogue_);
}

void TPersonalForm::RefreshFilters()
{
    Panel4->RefreshFilters(catalogue_);
}

bool TPersonalForm::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        StatusPanel0->setText(static_cast<QStatusTipEvent*>(event)->tip());
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
    frmNewCD->ResetDialog();
    frmNewCD->setRoot(root);
    frmNewCD->exec();
}

void TPersonalForm::ToolButton1Click()
{
    frmNewCD->ResetDialog();
    frmNewCD->exec();
}

void TPersonalForm::ToolButton2Click()
{
    // Exceptions must not travel through Qt's event delivery: report here and keep the dialog shut.
    try {
        frmDelCD->FillDiscList();
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
        return;
    }
    frmDelCD->exec();
}

void TPersonalForm::ToolButton3Click()
{
    frmSettings->exec();
}

void TPersonalForm::ToolButton5Click()
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

void TPersonalForm::Guidainlinea1Click()
{
    ToolButton5Click();
}

void TPersonalForm::Informazionisu1Click()
{
    frmAbout->exec();
    // The box opened from the Help button's menu and kept the pointer's leaving from it: the
    // button would stay drawn raised until the pointer next crossed it.
    if (!ToolButton5->rect().contains(ToolButton5->mapFromGlobal(QCursor::pos()))) {
        ToolButton5->setAttribute(Qt::WA_UnderMouse, false);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(ToolButton5, &leave);
        ToolButton5->update();
    }
}

void TPersonalForm::SpeedButton1Click()
{
    SearchCriteria criteria = criteriaFromPanel(*Panel4);
    if (namesAnywhere())
        NameForms::findAnywhere(criteria);
    const SearchStatement statement(criteria);
    showResults([&] { ResultQuery->open(statement); });
    if (!ResultQuery->active() || ResultQuery->rowCount() > 0)
        return;
    // A part of a name typed alone finds nothing: the balloon says what would.
    const QString suggestion = NameForms::suggestion(criteria);
    if (suggestion.isEmpty())
        return;
    // Once the key or click that ran the search is over: Enter goes on to the panel, and any
    // key closes hints.
    QTimer::singleShot(0, this, [this, suggestion] {
        QLineEdit* box = Panel4->Edit2;
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
    const ResultSnapshot& rows = ResultQuery->rows();
    if (row < 0 || row >= rows.rowCount())
        return;
    const QString disc = rows.cdid(row);
    const QString name = rows.name(row);
    const qint64 size = rows.dimensione(row);
    showResults([&] { ResultQuery->openCopies(disc, name, size); },
                [&] {
                    const qsizetype copies = ResultQuery->rowCount();
                    return copies == 1 ? QStringLiteral("1 copy of %1").arg(name)
                                       : QStringLiteral("%1 copies of %2").arg(copies).arg(name);
                });
}

void TPersonalForm::FindOnlyHere(int row)
{
    const ResultSnapshot& rows = ResultQuery->rows();
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
    showResults([&] { ResultQuery->openOnlyHere(disc->id, label); });
}

bool TPersonalForm::PreviousResults()
{
    if (previous_.empty())
        return false;
    ShownResult shown = std::move(previous_.back());
    previous_.pop_back();
    ResultQuery->restore(std::move(shown.rows));
    // In the order they were shown in.
    GridRequisiti->horizontalHeader()->setSortIndicator(shown.sortColumn, shown.sortOrder);
    StatusPanel1->setText(shown.count);
    return true;
}

void TPersonalForm::showResults(const std::function<void()>& search, const std::function<QString()>& count)
{
    if (ResultQuery->active()) {
        if (previous_.size() == kPreviousResults)
            previous_.erase(previous_.begin());
        const QHeaderView* titles = GridRequisiti->horizontalHeader();
        previous_.push_back({ResultQuery->rows(), StatusPanel1->text(), titles->sortIndicatorSection(),
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
    if (ResultQuery->active())
        StatusPanel1->setText(
            count ? count() : QString::number(ResultQuery->rowCount()) + QStringLiteral(" files found"));
    else
        messages_.showError(failure); // the result stays closed and the last count stays
}

void TPersonalForm::Timer1Timer()
{
    Timer1->stop();
    Panel1MouseMove();
    Timer1->start();
}

// The edge hit test that picks the resize cursor and the edges a press on the margin sizes.
void TPersonalForm::Panel1MouseMove()
{
    chrome_->Panel1MouseMove();
}

void TPersonalForm::Timer2Timer()
{
    Timer2->stop();
    close();
}

void TPersonalForm::ShowDiscDetails(int row)
{
    const ResultSnapshot& rows = ResultQuery->rows();
    if (row < 0 || row >= rows.rowCount())
        return;
    try {
        const QString label = rows.cdid(row);
        const std::optional<DiscStore::DiscRow> disc = catalogue_.findDisc(label);
        if (!disc) {
            messages_.showError(DiscStore::noLongerThere(label));
            return;
        }
        frmDiscDetails->showDisc(*disc, rows.path(row), rows.name(row));
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
        return;
    }
    frmDiscDetails->exec();
}

void TPersonalForm::GridContextMenu(const QPoint& at)
{
    const QModelIndex index = GridRequisiti->indexAt(at);
    if (!index.isValid())
        return;
    const int row = int(GridRequisiti->resultModel()->resultRow(index.row()));
    // The window's colours and face, as the Help menu has them, never the desktop theme's.
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("GridMenu"));
    menu.setAttribute(Qt::WA_WindowPropagation);
    QAction* details = menu.addAction(QStringLiteral("Disc details\u2026"));
    QAction* copy = menu.addAction(QStringLiteral("Copy"));
    QAction* copies = menu.addAction(QStringLiteral("Find copies"));
    QAction* onlyHere = menu.addAction(QStringLiteral("Only on this disc"));
    QAction* chosen = menu.exec(GridRequisiti->viewport()->mapToGlobal(at));
    if (chosen == details)
        ShowDiscDetails(row);
    else if (chosen == copy)
        QGuiApplication::clipboard()->setText(GridRequisiti->selectedRowsText());
    else if (chosen == copies)
        FindCopies(row);
    else if (chosen == onlyHere)
        FindOnlyHere(row);
}
