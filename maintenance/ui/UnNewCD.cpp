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
    Label1 = addLabel("Label1", QStringLiteral("Type:"), 11, 39);

    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(44, 36, 94, 21);
    ComboBox1->addItems({QStringLiteral("CD"), QStringLiteral("DVD")});
    setHint(ComboBox1, QStringLiteral("Disc Type"));

    SpeedButton3 = new QToolButton(Panel1);
    SpeedButton3->setObjectName(QStringLiteral("SpeedButton3"));
    SpeedButton3->setGeometry(144, 36, 51, 22);
    SpeedButton3->setToolButtonStyle(Qt::ToolButtonTextOnly);
    SpeedButton3->setFocusPolicy(Qt::NoFocus);
    setHint(SpeedButton3, kStart);

    JvXPProgressBar1 = new QProgressBar(Panel1);
    JvXPProgressBar1->setObjectName(QStringLiteral("JvXPProgressBar1"));
    JvXPProgressBar1->setGeometry(16, 64, 179, 17);
    JvXPProgressBar1->setRange(0, 100);
    JvXPProgressBar1->setTextVisible(false);
    JvXPProgressBar1->setStyleSheet(kBarStyle);

    UnreadableLabel = new QLabel(StatusBar1);
    UnreadableLabel->setObjectName(QStringLiteral("UnreadableLabel"));
    StatusBar1->addPermanentWidget(UnreadableLabel);
    UnreadableLabel->hide();
    WaitingLabel = new QLabel(QStringLiteral("Waiting for another cataloguing run…"), StatusBar1);
    WaitingLabel->setObjectName(QStringLiteral("WaitingLabel"));
    StatusBar1->addWidget(WaitingLabel, 1);
    WaitingLabel->hide();

    RootLabel = new QLabel(StatusBar1);
    RootLabel->setObjectName(QStringLiteral("RootLabel"));
    RootLabel->setMaximumWidth(120);
    StatusBar1->addPermanentWidget(RootLabel);
    RootLabel->hide();

    Button1 = addButton("Button1", QStringLiteral("&Cancel"), QStringLiteral("Cancel"), 16, 103, 51, 22);
    Button2 = addButton("Button2", QStringLiteral("&OK"), QStringLiteral("Confirm"), 144, 103, 51, 22);

    NotListedLabel = addLabel("NotListedLabel", QString(), 16, 84);
    NotListedLabel->setFixedWidth(179);
    NotListedLabel->hide();

    // FormCreate: the searcher lives as long as the dialog.
    cataloguer_ = std::make_unique<DiscCataloguer>(
        catalogue_, [this](QChar letter) { return root_.isEmpty() ? drive_.rootOf(letter) : root_; });
    DiscCataloguer::Events events;
    events.runStarted = [this] { RunStarted(); };
    events.progress = [this](int position) { JvXPProgressBar1->setValue(position); };
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
    SpeedButton3->setText(kStart);

    connect(SpeedButton3, &QToolButton::clicked, this, &TfrmNewCD::SpeedButton3Click);
    connect(Button1, &QPushButton::clicked, this, &TfrmNewCD::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfrmNewCD::Button2Click);
}

TfrmNewCD::~TfrmNewCD() = default;

void TfrmNewCD::ResetDialog()
{
    ComboBox1->setEnabled(true);
    ComboBox1->setCurrentIndex(0);
    SpeedButton3->setEnabled(true);
    cataloguer_->reset();
    NotListedLabel->hide();
    JvXPProgressBar1->setValue(JvXPProgressBar1->minimum());
    showUnreadable(0);
    setRoot({});
}

void TfrmNewCD::setRoot(const QString& root)
{
    root_ = root;
    const QString name = QFileInfo(root).fileName();
    RootLabel->setText(RootLabel->fontMetrics().elidedText(
        QDir::toNativeSeparators(name.isEmpty() ? root : name), Qt::ElideMiddle, RootLabel->maximumWidth()));
    RootLabel->setToolTip(QDir::toNativeSeparators(root));
    RootLabel->setVisible(!root.isEmpty());
}

QString TfrmNewCD::volumeLabel(QChar letter)
{
    return root_.isEmpty() ? drive_.GetVolumeLabel(letter) : drive_.labelOfRoot(root_);
}

void TfrmNewCD::showUnreadable(qint64 folders)
{
    UnreadableLabel->setText(folders == 1 ? QStringLiteral("1 folder could not be read")
                                          : QStringLiteral("%1 folders could not be read").arg(folders));
    UnreadableLabel->setVisible(folders > 0);
}

void TfrmNewCD::SpeedButton3Click()
{
    // What the run does not handle itself (the drive setting, the count) goes to the default
    // error box from here: an exception must not unwind through Qt's event delivery.
    try {
        if (SpeedButton3->text() == kStart)
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
    NotListedLabel->hide();
    showUnreadable(0);
    run.searcher().DotFolders = readDotFolders_ && readDotFolders_();
    // The count pumps events like the walk: its Stop ends it. A failing count has written
    // nothing; the default error box reports it.
    SpeedButton3->setText(kStop);
    try {
        run.countFiles(root);
    } catch (...) {
        SpeedButton3->setText(kStart);
        throw;
    }
    SpeedButton3->setText(kStart);
    if (run.searcher().Stopped)
        return;
    // The same disc put in again is more likely than a new one with the same label and totals.
    if (const auto same = run.lookalike(volumeLabel(letter))) {
        if (!messages_.confirm(
                DiscCataloguer::lookalikeQuestion(*same, ShownDate::text(same->date.toString()))))
            return;
    }
    try {
        const QString type = ComboBox1->currentIndex() == 0 ? QStringLiteral("C") : QStringLiteral("D");
        const bool completed = run.catalogue(
            type, root, [this, letter] { return volumeLabel(letter); },
            [this] { ComboBox1->setEnabled(false); });
        endWait();
        if (!completed)
            return;
        SpeedButton3->setEnabled(false);
        // Never silent: files whose content could not be read have no hash.
        QStringList notes;
        if (run.searcher().NotListed > 0)
            notes << QString::number(run.searcher().NotListed) + QStringLiteral(" archives not listed");
        if (!run.UnhashedFiles.empty())
            notes << QString::number(run.UnhashedFiles.size()) + QStringLiteral(" files not hashed");
        if (!notes.isEmpty()) {
            NotListedLabel->setText(notes.join(QStringLiteral(", ")));
            QStringList unhashed;
            for (const DiscCataloguer::Unhashed& file : run.UnhashedFiles)
                unhashed << file.name + QStringLiteral(": ") + file.reason;
            NotListedLabel->setToolTip(unhashed.mid(0, 20).join(QLatin1Char('\n')));
            NotListedLabel->show();
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
        SpeedButton3->setEnabled(false);
        JvXPProgressBar1->setValue(JvXPProgressBar1->maximum());
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
    SpeedButton3->setEnabled(true);
    RunEnded();
}

void TfrmNewCD::runFailed()
{
    WaitingLabel->hide();
    endWait();
    // The cataloguer has already removed the disc.
    cataloguer_->NewDiscId = 0;
    ComboBox1->setEnabled(true);
    JvXPProgressBar1->setValue(JvXPProgressBar1->minimum());
    SpeedButton3->setText(kStart);
}

void TfrmNewCD::stopRun()
{
    cataloguer_->stop();
    ComboBox1->setEnabled(true);
}

void TfrmNewCD::Waiting()
{
    // Stop ends the wait as it ends a run; the type is already taken.
    ComboBox1->setEnabled(false);
    SpeedButton3->setText(kStop);
    WaitingLabel->show();
}

void TfrmNewCD::RunStarted()
{
    WaitingLabel->hide();
    SpeedButton3->setText(kStop);
}

void TfrmNewCD::RunEnded()
{
    WaitingLabel->hide();
    JvXPProgressBar1->setValue(JvXPProgressBar1->minimum());
    SpeedButton3->setText(kStart);
}

void TfrmNewCD::Button2Click()
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

void TfrmNewCD::Button1Click()
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
    Button1Click();
}
