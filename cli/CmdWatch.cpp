#include "catalogue/Catalogue.h"
#include "cli/Commands.h"
#include "cli/DiscUuids.h"
#include "cli/FieldText.h"
#include "cli/JsonText.h"
#include "cli/Output.h"
#include "cli/UsageError.h"
#include "common/TessaroError.h"
#include "maintenance/DiscCataloguer.h"
#include "maintenance/MediumMatcher.h"
#include "scan/DiscMounter.h"
#include "scan/MediaWatcher.h"
#include "settings/DotFolderSetting.h"
#include "settings/DriveSetting.h"
#include "settings/HashSetting.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <unistd.h>

namespace
{
// SIGINT and SIGTERM end the watch: written to a pipe, read by the event loop.
int g_wake[2] = {-1, -1};

void onStop(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_wake[1], &byte, 1);
}

void note(const QString& text)
{
    std::fprintf(stderr, "tessaro-cli: %s\n", fieldText(text).toLocal8Bit().constData());
}

class Watch
{
  public:
    Watch(const CliContext& context, bool add, QString type, bool json)
        : context_(context), setting_(context.settingsPath), matcher_(context.catalogue), add_(add),
          type_(std::move(type)), json_(json)
    {
    }

    int run()
    {
        if (::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0)
            throw TessaroError(QStringLiteral("Cannot watch for Ctrl+C"));
        struct sigaction action = {};
        action.sa_handler = onStop;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        QSocketNotifier wakeUp(g_wake[0], QSocketNotifier::Read);
        QObject::connect(&wakeUp, &QSocketNotifier::activated, [this] {
            char buffer[16];
            while (::read(g_wake[0], buffer, sizeof buffer) > 0) {
            }
            stopping_ = true;
            // A run in progress ends as Stop ends it; the loop ends once it has.
            if (cataloguer_ && cataloguer_->running())
                cataloguer_->stop();
            mounter_.stop();
            if (!adding_)
                loop_.quit();
        });

        MediaWatcher watcher;
        QObject::connect(&watcher, &MediaWatcher::appeared,
                         [this](const Medium& medium) { guarded([&] { appeared(medium); }); });
        QObject::connect(&watcher, &MediaWatcher::gone,
                         [this](const Medium& medium) { guarded([&] { gone(medium); }); });
        QObject::connect(&watcher, &MediaWatcher::serviceChanged, [this](bool up) {
            if (!up)
                note(QStringLiteral("UDisks2 went away; waiting for it to come back"));
            else if (wentAway_)
                note(QStringLiteral("UDisks2 is back"));
            wentAway_ = wentAway_ || !up;
        });
        if (!watcher.start())
            throw TessaroError(QStringLiteral("Cannot reach the system bus: ") + watcher.error());
        loop_.exec();
        if (closed_)
            throw Output::Closed();
        if (!failure_.isEmpty())
            throw TessaroError(failure_);
        Output::finish();
        return 0;
    }

  private:
    // Nothing may leave a slot through Qt's event delivery: a closed output or a catalogue that
    // cannot be read ends the watch, with the error, once the loop is left.
    template <typename Work> void guarded(const Work& work)
    {
        try {
            work();
        } catch (const Output::Closed&) {
            closed_ = true;
            stopping_ = true;
            loop_.quit();
        } catch (const TessaroError& error) {
            failure_ = error.message();
            stopping_ = true;
            loop_.quit();
        }
    }

    void appeared(const Medium& medium)
    {
        const DriveTable drives = setting_.driveTable();
        const DriveEntry* drive = drives.findMedium(medium.device, medium.mountPoints);
        const QString letter = drive ? QString(drive->letter) : QString();
        letters_[medium.object] = letter;
        const std::optional<DiscStore::DiscRow> disc = matcher_.match(medium.label, medium.fileSystemId);
        tell(QStringLiteral("appeared"), letter, medium, disc ? disc->label() : QString());
        if (add_ && !disc) {
            pending_.push_back(medium);
            QTimer::singleShot(0, [this] { guarded([this] { addNext(); }); });
        }
    }

    void gone(const Medium& medium)
    {
        std::erase_if(pending_, [&](const Medium& queued) { return queued.object == medium.object; });
        const std::optional<DiscStore::DiscRow> disc = matcher_.match(medium.label, medium.fileSystemId);
        tell(QStringLiteral("gone"), letters_.value(medium.object), medium, disc ? disc->label() : QString());
        letters_.remove(medium.object);
    }

    // One line: event, drive letter, device, label, file-system id, the disc or "new".
    void tell(const QString& event, const QString& letter, const Medium& medium, const QString& disc)
    {
        if (json_) {
            JsonObject line;
            line.text("event", event);
            if (letter.isEmpty())
                line.null("drive");
            else
                line.text("drive", letter);
            line.text("device", medium.device).text("label", medium.label).text("fs_id", medium.fileSystemId);
            if (disc.isEmpty())
                line.null("disc").null("uuid");
            else
                line.text("disc", disc).text("uuid", DiscUuids(context_.catalogue).of(disc));
            Output::line(line.line());
        } else {
            Output::line(QStringList{event, letter.isEmpty() ? QStringLiteral("-") : letter,
                                     fieldText(medium.device), fieldText(medium.label),
                                     fieldText(medium.fileSystemId),
                                     disc.isEmpty() ? QStringLiteral("new") : fieldText(disc)}
                             .join(QLatin1Char('\t')));
        }
        // Whoever reads the lines reads them as they come.
        Output::finish();
    }

    void addNext()
    {
        if (adding_ || pending_.empty() || stopping_)
            return;
        const Medium medium = pending_.front();
        pending_.pop_front();
        adding_ = true;
        try {
            addMedium(medium);
        } catch (const TessaroError& error) {
            note(QStringLiteral("%1 not added: %2").arg(medium.device, error.message()));
        } catch (...) {
            cataloguer_.reset();
            adding_ = false;
            throw;
        }
        cataloguer_.reset();
        adding_ = false;
        if (stopping_)
            loop_.quit();
        else if (!pending_.empty())
            QTimer::singleShot(0, [this] { guarded([this] { addNext(); }); });
    }

    // As add catalogues a disc, the look-alike check included, with the medium's own label.
    void addMedium(const Medium& medium)
    {
        QString root = medium.mountPoints.value(0);
        if (root.isEmpty()) {
            root = mounter_.mount(medium.device);
            if (stopping_)
                return;
            if (root.isEmpty())
                throw TessaroError(QStringLiteral("Cannot mount it: ") + mounter_.error());
        }
        cataloguer_ = std::make_unique<DiscCataloguer>(context_.catalogue);
        DiscCataloguer& run = *cataloguer_;
        // The mount point stands for the drive, as a root given to add does.
        const QChar letter = QLatin1Char('d');
        run.searcher().mapDrive(letter, root);
        run.searcher().ListArchives = setting_.ListArchives();
        run.searcher().DotFolders = DotFolderSetting(setting_.path()).enterDotFolders();
        run.HashContents = HashSetting(setting_.path()).hashContents();
        run.searcher().OnPump = [] { QCoreApplication::processEvents(); };
        const QString drive = QString(letter) + QStringLiteral(":\\");
        const QString label = medium.label.left(49);
        run.countFiles(drive);
        if (run.searcher().Stopped)
            return;
        if (const auto same = run.lookalike(label))
            throw TessaroError(DiscCataloguer::lookalikeQuestion(*same));
        if (!run.catalogue(type_, drive, [&label] { return label; }))
            return;
        for (const DiscCataloguer::Unhashed& file : run.UnhashedFiles)
            note(QStringLiteral("%1: not hashed (%2)").arg(file.name, file.reason));
        if (run.searcher().NotListed > 0)
            note(QStringLiteral("%1 archives not listed").arg(run.searcher().NotListed));
        tell(QStringLiteral("added"), letters_.value(medium.object), medium, run.newDiscLabel());
    }

    const CliContext& context_;
    DriveSetting setting_;
    MediumMatcher matcher_;
    UDisksMounter mounter_;
    bool add_;
    QString type_;
    bool json_;
    QEventLoop loop_;
    QHash<QString, QString> letters_; // by object path, as told when the medium appeared
    std::deque<Medium> pending_;
    std::unique_ptr<DiscCataloguer> cataloguer_;
    bool adding_ = false;
    bool stopping_ = false;
    bool wentAway_ = false;
    bool closed_ = false;
    QString failure_;
};
} // namespace

int cmdWatch(const CliContext& context)
{
    const QCommandLineParser& options = *context.options;
    const bool add = options.isSet(QStringLiteral("add"));
    QString type = QStringLiteral("C");
    if (options.isSet(QStringLiteral("type"))) {
        if (!add)
            throw UsageError(QStringLiteral("--type goes with --add"));
        const QString given = options.value(QStringLiteral("type")).toUpper();
        if (given != QLatin1String("CD") && given != QLatin1String("DVD"))
            throw UsageError(QStringLiteral("--type takes CD or DVD"));
        type = given.left(1);
    }
    context.catalogue.connect(context.cataloguePath);
    Watch watch(context, add, type, options.isSet(QStringLiteral("json")));
    return watch.run();
}
