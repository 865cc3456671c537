#include "search/ui/CoverageLabel.h"

#include "catalogue/Catalogue.h"
#include "catalogue/Transaction.h"
#include "common/TessaroError.h"
#include "search/Coverage.h"

#include <QMetaObject>
#include <map>

CoverageLabel::CoverageLabel(QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("LabelCoverage"));
    setTextInteractionFlags(Qt::TextSelectableByMouse);
}

CoverageLabel::~CoverageLabel()
{
    for (const auto& thread : threads_)
        thread->wait();
}

void CoverageLabel::showDisc(const QString& catalogue, qint64 discId)
{
    const int asked = ++asked_;
    counting_ = true;
    setText(QStringLiteral("Copies elsewhere: counting…"));
    // Threads that have ended are let go; a running one is left to end on its own.
    std::erase_if(threads_, [](const std::unique_ptr<QThread>& thread) { return thread->isFinished(); });
    threads_.emplace_back(QThread::create([catalogue, discId, asked, target = this] {
        QString text;
        try {
            Catalogue session;
            session.connect(catalogue, Connection::Access::ReadOnly);
            Transaction read(session.connection(), Transaction::Kind::Deferred);
            const Coverage::DiscCoverage coverage = Coverage::disc(session.connection(), discId);
            std::map<qint64, QString> labels;
            for (const DiscStore::DiscRow& disc : session.discs())
                labels[disc.id] = disc.label();
            text = Coverage::line(coverage, labels);
        } catch (const TessaroError& error) {
            text = QStringLiteral("Copies elsewhere: %1").arg(error.message());
        }
        // The label waits for this thread before it goes, so it is there to be called.
        QMetaObject::invokeMethod(
            target, [target, asked, text] { target->finish(asked, text); }, Qt::QueuedConnection);
    }));
    threads_.back()->start(QThread::LowPriority);
}

void CoverageLabel::finish(int asked, const QString& text)
{
    if (asked != asked_)
        return;
    counting_ = false;
    setText(text);
    Q_EMIT counted();
}
