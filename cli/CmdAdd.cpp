#include "catalogue/Catalogue.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/Output.h"
#include "cli/TerminalProgress.h"
#include "cli/UsageError.h"
#include "common/TessaroError.h"
#include "maintenance/DiscCataloguer.h"
#include "scan/DiscImage.h"
#include "scan/UnVolumeInfo.h"
#include "settings/DotFolderSetting.h"
#include "settings/DriveSetting.h"
#include "settings/HashSetting.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace
{
constexpr int kInterrupted = 130;
// The disc is in, but some files' content could not be read for their hashes.
constexpr int kNotAllHashed = 3;

// Ctrl+C before the run writes anything ends the program at once; once the run has begun it
// is handed to the event pump of the walk, which stops the run as the dialog's Stop button does.
// SIGTERM and SIGHUP alike, except that a run they stopped ends by the signal, as it would have
// without the handler, and that once the disc is committed they wait until it is reported.
volatile sig_atomic_t g_writing = 0;
volatile sig_atomic_t g_interrupted = 0;
volatile sig_atomic_t g_terminated = 0; // the signal number
int g_wake[2] = {-1, -1};

void wake()
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_wake[1], &byte, 1);
}

void onInterrupt(int)
{
    if (!g_writing)
        _exit(kInterrupted);
    g_interrupted = 1;
    wake();
}

void onTerminate(int signal)
{
    if (!g_writing) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    g_terminated = signal;
    wake();
}

struct Options {
    QString type = QStringLiteral("C");
    QChar drive;
    std::optional<QString> root;
    std::optional<QString> label;
    std::optional<bool> archives; // --archives or --no-archives, else the setting
    bool dotFolders = false;
    bool hash = false;
    bool again = false;
    bool quiet = false;
};

Options parse(const QCommandLineParser& parser)
{
    Options options;
    if (parser.isSet(QStringLiteral("type"))) {
        const QString type = parser.value(QStringLiteral("type")).toUpper();
        if (type != QLatin1String("CD") && type != QLatin1String("DVD"))
            throw UsageError(QStringLiteral("--type takes CD or DVD"));
        options.type = type.left(1);
    }
    if (parser.isSet(QStringLiteral("drive"))) {
        const QString letter = parser.value(QStringLiteral("drive"));
        if (letter.isEmpty() || !letter.at(0).isLetter() || letter.at(0).unicode() > 127 ||
            (letter.size() > 1 && letter.mid(1) != QLatin1String(":")))
            throw UsageError(QStringLiteral("--drive takes a drive letter"));
        options.drive = letter.at(0).toLower();
    }
    if (parser.isSet(QStringLiteral("root"))) {
        options.root = parser.value(QStringLiteral("root"));
        // An unset variable in a script must not fall back to the configured drive.
        if (options.root->isEmpty())
            throw UsageError(QStringLiteral("--root takes a folder; the empty name is none"));
    }
    if (parser.isSet(QStringLiteral("label"))) {
        options.label = parser.value(QStringLiteral("label"));
        if (options.label->size() > 49)
            throw UsageError(QStringLiteral("--label takes at most 49 characters"));
    }
    if (parser.isSet(QStringLiteral("archives")) && parser.isSet(QStringLiteral("no-archives")))
        throw UsageError(QStringLiteral("--archives and --no-archives exclude each other"));
    if (parser.isSet(QStringLiteral("archives")) || parser.isSet(QStringLiteral("no-archives")))
        options.archives = parser.isSet(QStringLiteral("archives"));
    options.again = parser.isSet(QStringLiteral("again"));
    options.dotFolders = parser.isSet(QStringLiteral("dot-folders"));
    options.hash = parser.isSet(QStringLiteral("hash"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    if (!options.drive.isNull() && options.root)
        throw UsageError(QStringLiteral("add takes --drive or --root, not both"));
    return options;
}
} // namespace

int cmdAdd(const CliContext& context)
{
    const Options options = parse(*context.options);
    // The bell and the progress line are for a person watching the terminal.
    const bool terminal = ::isatty(STDERR_FILENO) && !options.quiet;
    const DriveSetting setting(context.settingsPath);
    // A folder taken as the disc's root stands in for a drive letter of its own.
    const bool folderRun = options.root.has_value();
    const QChar letter =
        folderRun ? QLatin1Char('d') : (options.drive.isNull() ? setting.ReadDriveSetting() : options.drive);

    try {
        context.catalogue.connect(context.cataloguePath);
    } catch (const TessaroError&) {
        throw TessaroError(QStringLiteral("Unable to insert CD if not connected to DB"));
    }

    QString rootFolder;
    if (folderRun) {
        if (DiscImage::isImage(*options.root)) {
            // A disc image file is a disc of its own, read without mounting.
            const QFileInfo info(*options.root);
            if (!info.isReadable())
                throw TessaroError(
                    QStringLiteral("Cannot read the disc image %1: Permission denied").arg(*options.root));
            rootFolder = info.absoluteFilePath();
        } else {
            // The folder is there or it is not: the system's own reason says which.
            const int fd =
                ::open(QFile::encodeName(*options.root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0)
                throw TessaroError(QStringLiteral("Cannot read the folder %1: %2")
                                       .arg(*options.root, QString::fromLocal8Bit(std::strerror(errno))));
            ::close(fd);
            rootFolder = QFileInfo(*options.root).absoluteFilePath();
        }
    } else if (!DiskInDrive(setting.driveTable(), letter, [terminal] {
                   if (terminal)
                       std::fputc('\a', stderr);
               })) {
        throw TessaroError(QStringLiteral("No disc in the drive"));
    }

    if (::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw TessaroError(QStringLiteral("Cannot watch for Ctrl+C"));
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    action.sa_handler = onTerminate;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    // Declared before the run, whose events use them. The line is redrawn on a timer as well:
    // the walk pumps events after each file, and the rate and the time left change between the
    // bar's steps.
    TerminalProgress progress(stderr);
    QTimer redraw;
    DiscCataloguer run(context.catalogue,
                       [&setting](QChar drive) { return setting.driveTable().rootOf(drive); });
    if (folderRun)
        run.searcher().mapDrive(letter, rootFolder);
    run.searcher().ListArchives = options.archives.value_or(setting.ListArchives());
    run.searcher().DotFolders = options.dotFolders || DotFolderSetting(setting.path()).enterDotFolders();
    run.HashContents = options.hash || HashSetting(setting.path()).hashContents();
    // Ctrl+C reaches the run through the notifier below, handled between files. A look every
    // few milliseconds is soon enough and spares a system call per file.
    QElapsedTimer sincePump;
    sincePump.start();
    run.searcher().OnPump = [&sincePump] {
        if (sincePump.elapsed() < 5)
            return;
        sincePump.restart();
        QCoreApplication::processEvents();
    };
    QSocketNotifier wakeUp(g_wake[0], QSocketNotifier::Read);
    QObject::connect(&wakeUp, &QSocketNotifier::activated, [&run] {
        char buffer[16];
        while (::read(g_wake[0], buffer, sizeof buffer) > 0) {
        }
        if (run.running())
            run.stop();
    });
    DiscCataloguer::Events events;
    if (!options.quiet)
        events.waiting = [&progress] {
            progress.clear();
            std::fputs("Waiting for another cataloguing run…\n", stderr);
        };
    if (terminal) {
        run.searcher().OnCounting = [&progress](qint64 counted) { progress.counting(counted); };
        events.runStarted = [&] {
            progress.started();
            redraw.start(250);
        };
        events.progress = [&](int position) { progress.walking(position, run.FilesAdded, run.TotalFiles); };
        events.runEnded = [&](bool) {
            redraw.stop();
            progress.clear();
        };
        QObject::connect(&redraw, &QTimer::timeout, [&] {
            progress.walking(DiscCataloguer::position(run.FilesAdded, run.TotalFiles), run.FilesAdded,
                             run.TotalFiles);
        });
    }
    run.setEvents(std::move(events));

    const auto volumeLabel = [&]() -> QString {
        if (options.label)
            return *options.label;
        if (!folderRun)
            return GetVolumeLabel(setting.driveTable(), letter);
        if (DiscImage::isImage(rootFolder))
            return DiscImage::readLabel(rootFolder).left(49);
        // A folder that is the root of a mounted volume carries that volume's label.
        const DriveTable table = setting.driveTable();
        for (const DriveEntry& entry : table.drives()) {
            if (!entry.root.isEmpty() && QDir(entry.root) == QDir(rootFolder))
                return entry.label.left(49);
        }
        return {};
    };
    const QString drive = QString(letter) + QStringLiteral(":\\");
    if (terminal)
        progress.counting(0);
    try {
        run.countFiles(drive);
        // A Ctrl+C or a signal during the count ends it (it pumps events): nothing was written.
        if (run.searcher().Stopped) {
            progress.clear();
            if (g_terminated) {
                context.catalogue.disconnect();
                std::signal(g_terminated, SIG_DFL);
                std::raise(g_terminated);
            }
            return kInterrupted;
        }
        // The same disc again is more likely than another with the same label and totals; a
        // script that adds every image of a folder may run twice.
        if (!options.again) {
            if (const auto same = run.lookalike(volumeLabel()))
                throw TessaroError(DiscCataloguer::lookalikeQuestion(*same));
        }
    } catch (...) {
        progress.clear();
        throw;
    }
    g_writing = 1;
    bool completed = false;
    try {
        completed = run.catalogue(options.type, drive, volumeLabel);
    } catch (...) {
        progress.clear();
        throw;
    }
    // From here on the run is over: a Ctrl+C that came after the walk's last pump still
    // takes the disc away again, a later one is ignored. A committed disc is reported whatever
    // SIGTERM or SIGHUP comes meanwhile: a wrapper that sent one must not think it absent.
    std::signal(SIGINT, SIG_IGN);
    if (completed) {
        std::signal(SIGTERM, SIG_IGN);
        std::signal(SIGHUP, SIG_IGN);
    }
    if (!completed && g_terminated) {
        context.catalogue.disconnect();
        std::signal(g_terminated, SIG_DFL);
        std::raise(g_terminated);
    }
    if (completed && g_interrupted)
        run.removeCommitted();
    if (!completed || g_interrupted)
        return kInterrupted;
    // Never silent, not even with --quiet: the files named have no hash.
    for (const DiscCataloguer::Unhashed& file : run.UnhashedFiles)
        std::fprintf(stderr, "%s: not hashed (%s)\n", fieldText(file.name).toLocal8Bit().constData(),
                     fieldText(file.reason).toLocal8Bit().constData());
    const int status = run.UnhashedFiles.empty() ? 0 : kNotAllHashed;
    if (!run.UnhashedFiles.empty())
        std::fprintf(stderr, "%lld %s not hashed\n", static_cast<long long>(run.UnhashedFiles.size()),
                     run.UnhashedFiles.size() == 1 ? "file" : "files");
    if (options.quiet)
        return status;
    Output::line(QStringLiteral("New CD ID: ") + run.newDiscLabel());
    Output::line(QStringLiteral("%1 files found").arg(run.FilesAdded));
    // Like search's count: notes on standard error, next to the rows on standard output. The disc
    // is in, but not whole: say so where a script's log will keep it.
    for (const UnlistedArchive& archive : run.searcher().Unlisted)
        std::fprintf(stderr, "%s: not listed (%s)\n", fieldText(archive.name).toLocal8Bit().constData(),
                     fieldText(archive.reason).toLocal8Bit().constData());
    if (run.searcher().NotListed > 0)
        std::fprintf(stderr, "%lld archives not listed\n", static_cast<long long>(run.searcher().NotListed));
    if (run.UnreadableFolders > 0)
        std::fprintf(stderr, "%lld %s could not be read (permission denied)\n",
                     static_cast<long long>(run.UnreadableFolders),
                     run.UnreadableFolders == 1 ? "folder" : "folders");
    if (run.HashContents && DiscImage::isImage(run.searcher().LastRoot))
        std::fprintf(stderr, "Files on disc images get no hash\n");
    return status;
}
