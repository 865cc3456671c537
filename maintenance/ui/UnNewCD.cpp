#include "maintenance/ui/UnNewCD.h"

#include "catalogue/Catalogue.h"
#include "common/IMessages.h"
#include "common/ShownDate.h"
#include "common/TessaroError.h"
#include "common/ui/Panels.h"
#include "maintenance/DiscRoot.h"
#include "maintenance/IDiscDrive.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>

namespace
{
const QString kStart = QStringLiteral("Start");
const QString kStop = QStringLiteral("Stop");

const QString kBarStyle = MaintenanceDialog::progressBarStyle();
} // namespace

TfrmNewCD::TfrmNewCD(Catalogue& catalogue, std::function<void()> refreshFilters, IMessages& messages,
                     std::function<QChar()> readDriveSetting, IDiscDrive& drive, QWidget* parent)
    : MaintenanceDialog(QStringLiteral("New CD"), 212, 155, parent), catalogue_(catalogue),
      refreshFilters_(std::move(refreshFilters)), messages_(messages),
      readDriveSetting_(std::move(readDriveSetting)), drive_(drive)
{
    setObjectName(QStringLiteral("frmNewCD"));
    addLabel("Label1", QStringLiteral("Type:"), 11, 39);

    discType_ = new QComboBox(panel());
    discType_->setObjectName(QStringLiteral("ComboBox1"));
    discType_->setGeometry(44, 36, 94, 21);
    discType_->addItems({QStringLiteral("CD"), QStringLiteral("DVD")});
    setHint(discType_, QStringLiteral("Disc Type"));

    runButton_ = new QToolButton(panel());
    runButton_->setObjectName(QStringLiteral("SpeedButton3"));
    runButton_->setGeometry(144, 36, 51, 22);
    runButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    runButton_->setFocusPolicy(Qt::NoFocus);
    setHint(runButton_, kStart);

    progress_ = new QProgressBar(panel());
    progress_->setObjectName(QStringLiteral("JvXPProgressBar1"));
    progress_->setGeometry(16, 64, 179, 17);
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    progress_->setStyleSheet(kBarStyle);

    unreadable_ = new QLabel(statusBar());
    unreadable_->setObjectName(QStringLiteral("UnreadableLabel"));
    statusBar()->addPermanentWidget(unreadable_);
    unreadable_->hide();
    waitingLabel_ = new QLabel(QStringLiteral("Waiting for another cataloguing run…"), statusBar());
    waitingLabel_->setObjectName(QStringLiteral("WaitingLabel"));
    statusBar()->addWidget(waitingLabel_, 1);
    waitingLabel_->hide();

    rootLabel_ = new QLabel(statusBar());
    rootLabel_->setObjectName(QStringLiteral("RootLabel"));
    rootLabel_->setMaximumWidth(120);
    statusBar()->addPermanentWidget(rootLabel_);
    rootLabel_->hide();

    QPushButton* cancelButton =
        addButton("Button1", QStringLiteral("&Cancel"), QStringLiteral("Cancel"), 16, 103, 51, 22);
    QPushButton* okButton =
        addButton("Button2", QStringLiteral("&OK"), QStringLiteral("Confirm"), 144, 103, 51, 22);

    notListed_ = addLabel("NotListedLabel", QString(), 16, 84);
    notListed_->setFixedWidth(179);
    notListed_->hide();

    // FormCreate: the searcher lives as long as the dialog.
    cataloguer_ = std::make_unique<DiscCataloguer>(
        catalogue_, [this](QChar letter) { return root_.isEmpty() ? drive_.rootOf(letter) : root_; });
    DiscCataloguer::Events events;
    events.runStarted = [this] { RunStarted(); };
    events.progress = [this](int position) { progress_->setValue(position); };
    events.runEnded = [this](bool stopped) {
        // A walk that ran to its end is followed by writing the disc: the bar and the caption
        // are reset once that is over.
        if (stopped)
            RunEnded();
    };
    events.waiting = [this] { Waiting(); };
    events.finishing = [this] { RunFinishing(); };
    cataloguer_->setEvents(std::move(events));
    // The Stop button and the bar's repaints are handled between files.
    cataloguer_->searcher().OnPump = [] { QCoreApplication::processEvents(); };
    runButton_->setText(kStart);

    connect(runButton_, &QToolButton::clicked, this, &TfrmNewCD::startOrStop);
    connect(cancelButton, &QPushButton::clicked, this, &TfrmNewCD::cancel);
    connect(okButton, &QPushButton::clicked, this, &TfrmNewCD::confirm);
}

TfrmNewCD::~TfrmNewCD() = default;

void TfrmNewCD::ResetDialog()
{
    discType_->setEnabled(true);
    discType_->setCurrentIndex(0);
    runButton_->setEnabled(true);
    cataloguer_->reset();
    notListed_->hide();
    progress_->setValue(progress_->minimum());
    showUnreadable(0);
    setRoot({});
}

void TfrmNewCD::setRoot(const QString& root)
{
    root_ = root;
    const QString name = QFileInfo(root).fileName();
    rootLabel_->setText(rootLabel_->fontMetrics().elidedText(
        QDir::toNativeSeparators(name.isEmpty() ? root : name), Qt::ElideMiddle, rootLabel_->maximumWidth()));
    rootLabel_->setToolTip(QDir::toNativeSeparators(root));
    rootLabel_->setVisible(!root.isEmpty());
}

QString TfrmNewCD::volumeLabel(QChar letter)
{
    return root_.isEmpty() ? drive_.GetVolumeLabel(letter) : drive_.labelOfRoot(root_);
}

void TfrmNewCD::showUnreadable(qint64 folders)
{
    unreadable_->setText(folders == 1 ? QStringLiteral("1 folder could not be read")
                                      : QStringLiteral("%1 folders could not be read").arg(folders));
    unreadable_->setVisible(folders > 0);
}

void TfrmNewCD::startOrStop()
{
    // What the run does not handle itself (the drive setting, the count) goes to the default
    // error box from here: an exception must not unwind through Qt's event delivery.
    try {
        if (runButton_->text() == kStart)
            startRun();
        else
            stopRun();
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
    }
}

void TfrmNewCD::startRun()
{
    DiscCataloguer& run = *cataloguer_;
    run.NewDiscId = 0;
    if (!catalogue_.connected()) {
        messages_.showMessage(QStringLiteral("Unable to insert CD if not connected to DB"));
        return;
    }
    // A folder or image stands in for a drive letter of its own; it is read, not mounted.
    const QChar letter = root_.isEmpty() ? readDriveSetting_() : QLatin1Char('d');
    if (!root_.isEmpty())
        DiscRoot::readable(root_);
    else if (!drive_.DiskInDrive(letter)) {
        messages_.showMessage(QStringLiteral("No disc in the drive"));
        return;
    }
    const QString root = QString(letter) + QStringLiteral(":\\");
    run.searcher().ListArchives = listArchives_ && listArchives_();
    run.HashContents = hashContents_ && hashContents_();
    notListed_->hide();
    showUnreadable(0);
    run.searcher().DotFolders = readDotFolders_ && readDotFolders_();
    // The count pumps events like the walk: its Stop ends it. A failing count has written
    // nothing; the default error box reports it.
    runButton_->setText(kStop);
    try {
        run.countFiles(root);
    } catch (...) {
        runButton_->setText(kStart);
        throw;
    }
    runButton_->setText(kStart);
    if (run.searcher().Stopped)
        return;
    // The same disc put in again is more likely than a new one with the same label and totals.
    if (const auto same = run.lookalike(volumeLabel(letter))) {
        if (!messages_.confirm(
                DiscCataloguer::lookalikeQuestion(*same, ShownDate::text(same->date.toString()))))
            return;
    }
    try {
        const QString type = discType_->currentIndex() == 0 ? QStringLiteral("C") : QStringLiteral("D");
        const bool completed = run.catalogue(
            type, root, [this, letter] { return volumeLabel(letter); },
            [this] { discType_->setEnabled(false); });
        endWait();
        if (!completed)
            return;
        runButton_->setEnabled(false);
        // Never silent: files whose content could not be read have no hash.
        QStringList notes;
        if (run.searcher().NotListed > 0)
            notes << QString::number(run.searcher().NotListed) + QStringLiteral(" archives not listed");
        if (!run.UnhashedFiles.empty())
            notes << QString::number(run.UnhashedFiles.size()) + QStringLiteral(" files not hashed");
        if (!notes.isEmpty()) {
            notListed_->setText(notes.join(QStringLiteral(", ")));
            QStringList unhashed;
            for (const DiscCataloguer::Unhashed& file : run.UnhashedFiles)
                unhashed << file.name + QStringLiteral(": ") + file.reason;
            notListed_->setToolTip(unhashed.mid(0, 20).join(QLatin1Char('\n')));
            notListed_->show();
        }
        showUnreadable(run.UnreadableFolders);
        messages_.showMessage(QStringLiteral("New CD ID: ") + run.newDiscLabel());
        messages_.showMessage(QString::number(run.FilesAdded) + QStringLiteral(" files found"));
    } catch (const TessaroError& error) {
        runFailed();
        messages_.showMessage(error.message());
    } catch (...) {
        runFailed();
        throw;
    }
}

void TfrmNewCD::RunFinishing()
{
    // Writing the disc takes a moment after the walk: the bar stays full, the run button cannot
    // be clicked (Stop could no longer undo anything) and the pointer waits, and the window
    // repaints between the steps.
    if (!waiting_) {
        waiting_ = true;
        runButton_->setEnabled(false);
        progress_->setValue(progress_->maximum());
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmNewCD::endWait()
{
    if (!waiting_)
        return;
    waiting_ = false;
    QApplication::restoreOverrideCursor();
    runButton_->setEnabled(true);
    RunEnded();
}

void TfrmNewCD::runFailed()
{
    waitingLabel_->hide();
    endWait();
    // The cataloguer has already removed the disc.
    cataloguer_->NewDiscId = 0;
    discType_->setEnabled(true);
    progress_->setValue(progress_->minimum());
    runButton_->setText(kStart);
}

void TfrmNewCD::stopRun()
{
    cataloguer_->stop();
    discType_->setEnabled(true);
}

void TfrmNewCD::Waiting()
{
    // Stop ends the wait as it ends a run; the type is already taken.
    discType_->setEnabled(false);
    runButton_->setText(kStop);
    waitingLabel_->show();
}

void TfrmNewCD::RunStarted()
{
    waitingLabel_->hide();
    runButton_->setText(kStop);
}

void TfrmNewCD::RunEnded()
{
    waitingLabel_->hide();
    progress_->setValue(progress_->minimum());
    runButton_->setText(kStart);
}

void TfrmNewCD::confirm()
{
    // While a run is going, OK stops it first: no file row may outlive its disc.
    if (cataloguer_->running())
        stopRun();
    try {
        refreshFilters_();
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
        return;
    }
    closeDialog();
}

void TfrmNewCD::cancel()
{
    if (cataloguer_->running())
        stopRun();
    if (cataloguer_->NewDiscId <= 0) {
        closeDialog();
        return;
    }
    if (!messages_.confirm(QStringLiteral("Cancel Insert?")))
        return;
    try {
        cataloguer_->removeCommitted();
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
        return;
    }
    closeDialog();
}

void TfrmNewCD::exitRequested()
{
    cancel();
}
