#include "maintenance/ui/VerifyWindow.h"

#include "catalogue/Catalogue.h"
#include "catalogue/DiscRecord.h"
#include "common/TessaroError.h"
#include "maintenance/DiscVerifier.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>

namespace
{
constexpr int kWidth = 400;
constexpr int kHeight = 300;

QString problemLine(const DiscVerifier::Problem& problem)
{
    QString line =
        DiscVerifier::Problem::kindName(problem.kind) + QStringLiteral("  ") + problem.path + problem.name;
    if (!problem.detail.isEmpty())
        line += QStringLiteral("  ") + problem.detail;
    return line;
}
} // namespace

VerifyWindow::VerifyWindow(const QString& catalogue, const DiscStore::DiscRow& disc, const QString& root,
                           QWidget* parent)
    : MaintenanceDialog(QStringLiteral("Verify %1").arg(disc.label()), kWidth, kHeight, parent),
      catalogue_(catalogue), disc_(disc), root_(root)
{
    setObjectName(QStringLiteral("frmVerify"));
    reading_ = addLabel("LabelReading", QString(), 12, 28);
    reading_->setFixedWidth(kWidth - 24);
    reading_->setText(reading_->fontMetrics().elidedText(QStringLiteral("Reading %1").arg(root),
                                                         Qt::ElideMiddle, kWidth - 24));
    reading_->setToolTip(root);
    bar_ = addProgressBar("VerifyProgressBar", 12, 50, kWidth - 24 - 64, 17);
    stopButton_ = addButton("ButtonStop", QStringLiteral("&Stop"), QStringLiteral("Stop reading"),
                            kWidth - 12 - 58, 47, 58, 22);
    connect(stopButton_, &QPushButton::clicked, this, &VerifyWindow::stopOrClose);
    problems_ = new QListWidget(panel());
    problems_->setObjectName(QStringLiteral("ListProblems"));
    problems_->setGeometry(12, 76, kWidth - 24, kHeight - 76 - 48);
    summary_ = addLabel("LabelSummary", QString(), 12, kHeight - 44);
    summary_->setFixedWidth(kWidth - 24);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

VerifyWindow::~VerifyWindow()
{
    stop_ = true;
    if (thread_)
        thread_->wait();
}

std::function<void(const DiscStore::DiscRow&)> VerifyWindow::opener(Catalogue& catalogue,
                                                                    std::function<QString()> driveRoot,
                                                                    std::function<void(QDialog*)> decorate,
                                                                    QWidget* parent)
{
    return [&catalogue, driveRoot = std::move(driveRoot), decorate = std::move(decorate),
            parent](const DiscStore::DiscRow& disc) {
        QString root;
        try {
            if (const std::optional<DiscRecord> record = DiscRecords::find(catalogue.connection(), disc))
                root = record->source;
        } catch (const TessaroError&) {
        }
        if (root.isEmpty() || !QFileInfo::exists(root)) {
            try {
                root = driveRoot ? driveRoot() : QString();
            } catch (const TessaroError&) {
                root.clear();
            }
        }
        VerifyWindow window(catalogue.connection().path(), disc, root, parent);
        if (decorate)
            decorate(&window);
        window.exec();
    };
}

void VerifyWindow::showEvent(QShowEvent* event)
{
    MaintenanceDialog::showEvent(event);
    if (!event->spontaneous() && !started_)
        start();
}

void VerifyWindow::start()
{
    started_ = true;
    if (root_.isEmpty()) {
        finish(QStringLiteral("No disc in the drive"));
        return;
    }
    running_ = true;
    thread_.reset(QThread::create([this] {
        QString summary;
        try {
            Catalogue session;
            session.connect(catalogue_);
            DiscVerifier verifier(session, disc_);
            verifier.searcher().OnPump = [this, &verifier] {
                if (stop_)
                    verifier.stop();
            };
            verifier.OnProblem = [this](const DiscVerifier::Problem& problem) {
                QMetaObject::invokeMethod(
                    this, [this, line = problemLine(problem)] { addProblem(line); }, Qt::QueuedConnection);
            };
            QElapsedTimer sinceShown;
            verifier.OnProgress = [this, &verifier, &sinceShown](qint64 files, qint64) {
                if (sinceShown.isValid() && sinceShown.elapsed() < 50)
                    return;
                sinceShown.start();
                QMetaObject::invokeMethod(
                    this, [this, files, total = verifier.catalogued()] { progress(files, total); },
                    Qt::QueuedConnection);
            };
            const std::optional<Verification> done = verifier.run(root_);
            summary = done ? done->summary() : QStringLiteral("Stopped: nothing was kept");
        } catch (const TessaroError& error) {
            summary = error.message();
        }
        QMetaObject::invokeMethod(
            this, [this, summary] { finish(summary); }, Qt::QueuedConnection);
    }));
    thread_->start();
}

void VerifyWindow::stopOrClose()
{
    if (running_) {
        stop_ = true;
        stopButton_->setEnabled(false);
        return;
    }
    closeDialog();
}

void VerifyWindow::exitRequested()
{
    // Closing stops the reading first; what it read is not kept.
    stop_ = true;
    if (thread_)
        thread_->wait();
    closeDialog();
}

void VerifyWindow::addProblem(const QString& line)
{
    problems_->addItem(line);
}

void VerifyWindow::progress(qint64 files, qint64 total)
{
    bar_->setMaximum(int(std::min<qint64>(total, 1 << 30)));
    bar_->setValue(int(std::min<qint64>(files, bar_->maximum())));
}

void VerifyWindow::finish(const QString& summary)
{
    running_ = false;
    if (!stop_)
        bar_->setValue(bar_->maximum());
    summary_->setText(summary);
    stopButton_->setText(QStringLiteral("&Close"));
    setHint(stopButton_, QStringLiteral("Close"));
    stopButton_->setEnabled(true);
    Q_EMIT ended();
}
