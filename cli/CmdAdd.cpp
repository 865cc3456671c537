#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "common/TessaroError.h"
#include "maintenance/DiscCataloguer.h"
#include "scan/DiscImage.h"
#include "scan/UnVolumeInfo.h"
#include "settings/DotFolderSetting.h"
#include "settings/DriveSetting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
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

// Ctrl+C before the run writes anything ends the program at once; once the run has begun it
// is handed to the event pump of the walk, which stops the run as the dialog's Stop button does.
volatile sig_atomic_t g_writing = 0;
volatile sig_atomic_t g_interrupted = 0;
int g_wake[2] = {-1, -1};

void onInterrupt(int)
{
    if (!g_writing)
        _exit(kInterrupted);
    g_interrupted = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_wake[1], &byte, 1);
}

struct Options {
    QString type = QStringLiteral("C");
    QChar drive;
    std::optional<QString> root;
    bool archives = false;
    bool dotFolders = false;
};

Options parse(const QStringList& args)
{
    Options options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--type") && hasValue) {
            const QString type = args.at(++i).toUpper();
            if (type != QLatin1String("CD") && type != QLatin1String("DVD"))
                throw TessaroError(QStringLiteral("--type takes CD or DVD"));
            options.type = type.left(1);
        } else if (arg == QLatin1String("--drive") && hasValue) {
            const QString letter = args.at(++i);
            if (letter.isEmpty() || !letter.at(0).isLetter() || letter.at(0).unicode() > 127 ||
                (letter.size() > 1 && letter.mid(1) != QLatin1String(":")))
                throw TessaroError(QStringLiteral("--drive takes a drive letter"));
            options.drive = letter.at(0).toLower();
        } else if (arg == QLatin1String("--root") && hasValue) {
            options.root = args.at(++i);
            // An unset variable in a script must not fall back to the configured drive.
            if (options.root->isEmpty())
                throw TessaroError(QStringLiteral("--root takes a folder; the empty name is none"));
        } else if (arg == QLatin1String("--archives")) {
            options.archives = true;
        } else if (arg == QLatin1String("--dot-folders")) {
            options.dotFolders = true;
        } else {
            throw TessaroError(
                QStringLiteral("usage: add [--type CD|DVD] [--drive LETTER | --root FOLDER|IMAGE] "
                               "[--archives] [--dot-folders]"));
        }
    }
    if (!options.drive.isNull() && options.root)
        throw TessaroError(QStringLiteral("add takes --drive or --root, not both"));
    return options;
}

// A bar on standard error while it is a terminal, redrawn only when the position changes.
void drawProgress(int position)
{
    constexpr int width = 40;
    const int filled = position * width / 100;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
                 width - filled, "", position);
    std::fflush(stderr);
}

void clearProgress()
{
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
}
} // namespace

int cmdAdd(const CliContext& context)
{
    const Options options = parse(context.args);
    const DriveSetting setting(context.settingsPath);
    // A folder taken as the disc's root stands in for a drive letter of its own.
    const bool folderRun = options.root.has_value();
    const QChar letter =
        folderRun ? QLatin1Char('d') : (options.drive.isNull() ? setting.ReadDriveSetting() : options.drive);

    Connection connection;
    try {
        connection.connect(context.cataloguePath);
    } catch (const TessaroError&) {
        throw TessaroError(QStringLiteral("Unable to insert CD if not connected to DB"));
    }
    Query work(connection);

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
    } else if (!DiskInDrive(setting.driveTable(), letter, [] { std::fputc('\a', stderr); })) {
        throw TessaroError(QStringLiteral("No disc in the drive"));
    }

    if (::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw TessaroError(QStringLiteral("Cannot watch for Ctrl+C"));
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);

    DiscCataloguer run(connection, work,
                       [&setting](QChar drive) { return setting.driveTable().rootOf(drive); });
    if (folderRun)
        run.searcher().mapDrive(letter, rootFolder);
    run.searcher().ListArchives = options.archives || setting.ListArchives();
    run.searcher().DotFolders = options.dotFolders || DotFolderSetting(setting.path()).enterDotFolders();
    // Ctrl+C reaches the run through the notifier below, handled between files.
    run.searcher().OnPump = [] { QCoreApplication::processEvents(); };
    QSocketNotifier wake(g_wake[0], QSocketNotifier::Read);
    QObject::connect(&wake, &QSocketNotifier::activated, [&run] {
        char buffer[16];
        while (::read(g_wake[0], buffer, sizeof buffer) > 0) {
        }
        if (run.running())
            run.stop();
    });
    const bool terminal = ::isatty(STDERR_FILENO);
    DiscCataloguer::Events events;
    if (terminal) {
        events.runStarted = [] { drawProgress(0); };
        events.progress = drawProgress;
        events.runEnded = [](bool) { clearProgress(); };
    }
    run.setEvents(std::move(events));

    const QString drive = QString(letter) + QStringLiteral(":\\");
    run.countFiles(drive);
    const auto volumeLabel = [&]() -> QString {
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
    g_writing = 1;
    bool completed = false;
    try {
        completed = run.catalogue(options.type, drive, volumeLabel);
    } catch (...) {
        if (terminal)
            clearProgress();
        throw;
    }
    // From here on the run is over: a Ctrl+C that came after the walk's last pump still
    // takes the disc away again, a later one is ignored.
    std::signal(SIGINT, SIG_IGN);
    if (completed && g_interrupted)
        run.removeCommitted();
    if (!completed || g_interrupted)
        return kInterrupted;
    Output::line(QStringLiteral("New CD ID: ") + run.newDiscLabel());
    Output::line(QStringLiteral("%1 files found").arg(run.FilesAdded));
    // Like search's count: notes on standard error, next to the rows on standard output. The disc
    // is in, but not whole: say so where a script's log will keep it.
    if (run.searcher().NotListed > 0)
        std::fprintf(stderr, "%lld archives not listed\n", static_cast<long long>(run.searcher().NotListed));
    if (run.UnreadableFolders > 0)
        std::fprintf(stderr, "%lld %s could not be read (permission denied)\n",
                     static_cast<long long>(run.UnreadableFolders),
                     run.UnreadableFolders == 1 ? "folder" : "folders");
    return 0;
}
