#include "maintenance/ui/DiscUpdateWindow.h"

#include "catalogue/Catalogue.h"
#include "catalogue/DiscRecord.h"
#include "common/IMessages.h"
#include "common/ShownDate.h"
#include "common/TessaroError.h"
#include "maintenance/IDiscDrive.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace
{
const QString kStart = QStringLiteral("Start");
const QString kStop = QStringLiteral("Stop");
// More rows than anyone reads; the counts above the list tell the whole.
constexpr std::size_t kListed = 5000;
} // namespace

DiscUpdateWindow::DiscUpdateWindow(Catalogue& catalogue, IMessages& messages, IDiscDrive& drive,
                                   std::function<QChar()> readDriveSetting, QWidget* parent)
    : MaintenanceDialog(QStringLiteral("Update disc"), 400, 320, parent), catalogue_(catalogue),
      messages_(messages), drive_(drive), readDriveSetting_(std::move(readDriveSetting))
{
    setObjectName(QStringLiteral("frmUpdateDisc"));
    discLabel_ = addLabel("LabelDisc", QString(), 16, 30);
    discLabel_->setFixedWidth(368);
    progress_ = addProgressBar("ProgressBar", 16, 53, 311, 17);
    startStop_ = new QToolButton(panel());
    startStop_->setObjectName(QStringLiteral("ButtonStartStop"));
    startStop_->setGeometry(333, 50, 51, 22);
    startStop_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    startStop_->setFocusPolicy(Qt::NoFocus);
    startStop_->setText(kStart);
    setHint(startStop_, kStart);
    counts_ = addLabel("LabelCounts", QString(), 16, 78);
    counts_->setFixedWidth(368);
    warning_ = addLabel("LabelWarning", QStringLiteral("Most files differ: is this the right disc?"), 16, 95);
    QFont bold = warning_->font();
    bold.setBold(true);
    warning_->setFont(bold);
    warning_->adjustSize();
    warning_->hide();
    changes_ = new QTreeWidget(panel());
    changes_->setObjectName(QStringLiteral("ListChanges"));
    changes_->setGeometry(16, 113, 368, 150);
    changes_->setRootIsDecorated(false);
    changes_->setUniformRowHeights(true);
    changes_->setHeaderLabels(
        {QString(), QStringLiteral("File"), QStringLiteral("Date"), QStringLiteral("Size")});
    changes_->header()->setStretchLastSection(false);
    changes_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    changes_->setColumnWidth(0, 22);
    changes_->setColumnWidth(2, 110);
    changes_->setColumnWidth(3, 70);
    setHint(changes_, QStringLiteral("+ added, - removed, ~ changed"));
    cancel_ = addButton("ButtonCancel", QStringLiteral("&Cancel"), QStringLiteral("Cancel"), 16, 272, 51, 22);
    ok_ = addButton("ButtonOK", QStringLiteral("&OK"), QStringLiteral("Confirm"), 333, 272, 51, 22);

    connect(startStop_, &QToolButton::clicked, this, &DiscUpdateWindow::startStopClick);
    connect(cancel_, &QPushButton::clicked, this, &DiscUpdateWindow::exitRequested);
    connect(ok_, &QPushButton::clicked, this, &DiscUpdateWindow::okClick);
}

DiscUpdateWindow::~DiscUpdateWindow() = default;

bool DiscUpdateWindow::updateDisc(const DiscStore::DiscRow& disc)
{
    disc_ = disc;
    applied_ = false;
    comparison_.reset();
    updater_.reset();
    changes_->clear();
    counts_->clear();
    warning_->hide();
    progress_->setValue(0);
    discLabel_->setText(disc.label());
    // The reading starts once the window shows.
    QTimer::singleShot(0, this, [this] { read(); });
    exec();
    return applied_;
}

std::optional<DiscUpdater::Medium> DiscUpdateWindow::medium()
{
    // A disc read from a folder or an image is read from it again while it is there.
    const std::optional<DiscRecord> record = DiscRecords::find(catalogue_.connection(), disc_);
    if (record && !record->source.isEmpty() && QFileInfo::exists(record->source))
        return DiscUpdater::Medium::path(record->source, drive_.labelOfRoot(record->source));
    const QChar letter = readDriveSetting_();
    if (!drive_.DiskInDrive(letter)) {
        messages_.showMessage(QStringLiteral("No disc in the drive"));
        return std::nullopt;
    }
    return DiscUpdater::Medium::drive(letter, drive_.rootOf(letter), drive_.GetVolumeLabel(letter));
}

void DiscUpdateWindow::read()
{
    comparison_.reset();
    changes_->clear();
    counts_->clear();
    warning_->hide();
    progress_->setValue(0);
    try {
        const std::optional<DiscUpdater::Medium> from = medium();
        if (!from)
            return;
        discLabel_->setText(
            discLabel_->fontMetrics().elidedText(QStringLiteral("%1 from %2").arg(disc_.label(), from->name),
                                                 Qt::ElideMiddle, discLabel_->width()));
        discLabel_->setToolTip(from->root);
        updater_ = std::make_unique<DiscUpdater>(catalogue_, disc_);
        updater_->ListArchives = listArchives_ && listArchives_();
        updater_->DotFolders = readDotFolders_ && readDotFolders_();
        DiscUpdater::Events events;
        events.progress = [this](int position) { progress_->setValue(position); };
        updater_->setEvents(std::move(events));
        // Stop and the bar's repaints are handled between files.
        updater_->searcher().OnPump = [] { QCoreApplication::processEvents(); };
        const QString problem = updater_->identityProblem(*from);
        if (!problem.isEmpty() &&
            !messages_.confirm(problem + QStringLiteral("\n\nUpdate it from this medium all the same?")))
            return;
        startStop_->setText(kStop);
        setHint(startStop_, kStop);
        std::optional<DiscUpdater::Comparison> found;
        try {
            found = updater_->compare(*from);
        } catch (...) {
            startStop_->setText(kStart);
            setHint(startStop_, kStart);
            throw;
        }
        startStop_->setText(kStart);
        setHint(startStop_, kStart);
        if (!found) {
            progress_->setValue(0);
            return;
        }
        progress_->setValue(progress_->maximum());
        showComparison(*found);
        comparison_ = std::move(found);
    } catch (const TessaroError& error) {
        progress_->setValue(0);
        messages_.showMessage(error.message());
    }
}

void DiscUpdateWindow::showComparison(const DiscUpdater::Comparison& comparison)
{
    counts_->setText(comparison.counts());
    warning_->setVisible(comparison.mostDiffer());
    QList<QTreeWidgetItem*> items;
    for (const DiscUpdater::Change& change : comparison.changes) {
        if (std::size_t(items.size()) == kListed)
            break;
        auto* item = new QTreeWidgetItem({change.sign(), change.path + change.name,
                                          ShownDate::text(change.date), QLocale::c().toString(change.size)});
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        items.append(item);
    }
    changes_->addTopLevelItems(items);
    if (!updater_->UnhashedFiles.empty())
        statusBar()->showMessage(QStringLiteral("%1 files not hashed").arg(updater_->UnhashedFiles.size()));
}

void DiscUpdateWindow::startStopClick()
{
    if (updater_ && updater_->running())
        updater_->stop();
    else
        read();
}

void DiscUpdateWindow::okClick()
{
    if (updater_ && updater_->running())
        return;
    if (!comparison_ || !comparison_->differs()) {
        closeDialog();
        return;
    }
    if (comparison_->mostDiffer() && !messages_.confirm(warning_->text()))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        applied_ = updater_->apply();
        QApplication::restoreOverrideCursor();
    } catch (const TessaroError& error) {
        QApplication::restoreOverrideCursor();
        messages_.showMessage(error.message());
        return;
    }
    if (applied_)
        closeDialog();
}

void DiscUpdateWindow::exitRequested()
{
    if (updater_ && updater_->running())
        updater_->stop();
    closeDialog();
}
