#include "catalogue/Catalogue.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/MediumRoot.h"
#include "cli/NamedDisc.h"
#include "cli/Output.h"
#include "cli/UsageError.h"
#include "common/TessaroError.h"
#include "maintenance/DiscRoot.h"
#include "maintenance/DiscUpdater.h"
#include "scan/UnVolumeInfo.h"
#include "settings/DotFolderSetting.h"
#include "settings/DriveSetting.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace
{
constexpr int kInterrupted = 130;
constexpr int kNotAllHashed = 3;
volatile sig_atomic_t g_stop = 0;

void onInterrupt(int)
{
    g_stop = 1;
}

// A question on the terminal; anything but y or yes (or an interrupted read) is no.
bool ask(const QString& question)
{
    std::fprintf(stderr, "%s [y/N] ", question.toLocal8Bit().constData());
    std::fflush(stderr);
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, stdin))
        return false;
    const QString word = QString::fromLocal8Bit(answer).trimmed().toLower();
    return word == QLatin1String("y") || word == QLatin1String("yes");
}

DiscUpdater::Medium medium(const QCommandLineParser& options, const DriveSetting& setting)
{
    if (options.isSet(QStringLiteral("root"))) {
        const QString root = DiscRoot::readable(mediumRoot(options, setting, "update"));
        return DiscUpdater::Medium::path(root, DiscRoot::label(root, setting.driveTable().drives()));
    }
    const QChar letter = mediumLetter(options, setting);
    if (!DiskInDrive(setting.driveTable(), letter, [] {
            if (::isatty(STDERR_FILENO))
                std::fputc('\a', stderr);
        }))
        throw TessaroError(QStringLiteral("No disc in the drive"));
    const DriveTable drives = setting.driveTable();
    return DiscUpdater::Medium::drive(letter, drives.rootOf(letter), GetVolumeLabel(drives, letter));
}
} // namespace

int cmdUpdate(const CliContext& context)
{
    const QCommandLineParser& options = *context.options;
    const bool dryRun = options.isSet(QStringLiteral("dry-run"));
    const bool yes = options.isSet(QStringLiteral("yes"));
    const bool force = options.isSet(QStringLiteral("force"));
    if (dryRun && yes)
        throw UsageError(QStringLiteral("--dry-run and --yes exclude each other"));
    if (options.isSet(QStringLiteral("drive")) && options.isSet(QStringLiteral("root")))
        throw UsageError(QStringLiteral("update takes --drive or --root, not both"));
    const DriveSetting setting(context.settingsPath);
    Catalogue& catalogue = context.catalogue;
    // A dry run only reads: the catalogue is not even switched to its log mode.
    catalogue.connect(context.cataloguePath,
                      dryRun ? Connection::Access::ReadOnly : Connection::Access::ReadWrite);
    const DiscStore::DiscRow disc = namedDisc(catalogue, context.args.first());
    const DiscUpdater::Medium from = medium(options, setting);

    DiscUpdater updater(catalogue, disc);
    updater.ListArchives = setting.ListArchives();
    updater.DotFolders = DotFolderSetting(setting.path()).enterDotFolders();
    // The wrong disc is refused before anything is read; --force takes it all the same.
    if (const QString problem = updater.identityProblem(from); !problem.isEmpty()) {
        if (!force)
            throw TessaroError(problem);
        std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
    }

    // Ctrl+C is looked for between files; the run then ends with nothing written.
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    updater.searcher().OnPump = [&updater] {
        if (g_stop)
            updater.stop();
    };
    const bool terminal = ::isatty(STDERR_FILENO);
    DiscUpdater::Events events;
    events.waiting = [] { std::fputs("Waiting for another cataloguing run…\n", stderr); };
    QElapsedTimer sinceLine;
    sinceLine.start();
    if (terminal)
        events.progress = [&sinceLine](int position) {
            if (sinceLine.elapsed() < 250 && position < 100)
                return;
            sinceLine.restart();
            std::fprintf(stderr, "\r\033[KReading: %d %%", position);
        };
    updater.setEvents(std::move(events));
    const std::optional<DiscUpdater::Comparison> comparison = updater.compare(from);
    if (terminal)
        std::fputs("\r\033[K", stderr);
    if (!comparison)
        return kInterrupted;

    if (options.isSet(QStringLiteral("list"))) {
        for (const DiscUpdater::Change& change : comparison->changes)
            Output::line(QStringList{change.sign(), fieldText(disc.label()),
                                     fieldText(change.path + change.name), fieldText(change.date),
                                     QString::number(change.size)}
                             .join(QLatin1Char('\t')));
    }
    Output::line(comparison->counts());
    Output::finish();
    for (const DiscUpdater::Unhashed& file : updater.UnhashedFiles)
        std::fprintf(stderr, "%s: not hashed (%s)\n", fieldText(file.name).toLocal8Bit().constData(),
                     fieldText(file.reason).toLocal8Bit().constData());
    if (updater.UnreadableFolders > 0)
        std::fprintf(stderr, "%lld %s could not be read (permission denied)\n",
                     static_cast<long long>(updater.UnreadableFolders),
                     updater.UnreadableFolders == 1 ? "folder" : "folders");
    if (dryRun)
        return 0;

    const bool asking = ::isatty(STDIN_FILENO) && terminal;
    if (comparison->differs()) {
        const QString most = QStringLiteral("Most files differ: is this the right disc?");
        if (comparison->mostDiffer() && !force) {
            if (!asking)
                throw TessaroError(most + QStringLiteral(" Nothing was changed; --force updates it"));
            if (!ask(most))
                return 1;
        }
        if (!yes) {
            if (!asking) {
                std::fputs("Nothing was changed; --yes updates the disc without asking\n", stderr);
                return 1;
            }
            if (!ask(QStringLiteral("Update %1?").arg(disc.label())))
                return 1;
        }
    }
    // From here on Ctrl+C ends the wait for another run only; the update itself is one transaction.
    if (!updater.apply())
        return kInterrupted;
    if (comparison->differs())
        Output::line(QStringLiteral("Updated ") + fieldText(disc.label()));
    return updater.UnhashedFiles.empty() ? 0 : kNotAllHashed;
}
