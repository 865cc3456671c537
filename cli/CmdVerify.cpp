#include "catalogue/Catalogue.h"
#include "cli/Commands.h"
#include "cli/DiscUuids.h"
#include "cli/FieldText.h"
#include "cli/JsonText.h"
#include "cli/MediumRoot.h"
#include "cli/NamedDisc.h"
#include "cli/Output.h"
#include "maintenance/DiscVerifier.h"
#include "settings/DriveSetting.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace
{
constexpr int kInterrupted = 130;
volatile sig_atomic_t g_stop = 0;

void onInterrupt(int)
{
    g_stop = 1;
}
} // namespace

int cmdVerify(const CliContext& context)
{
    const QCommandLineParser& options = *context.options;
    const bool json = options.isSet(QStringLiteral("json"));
    const DriveSetting setting(context.settingsPath);
    const QString root = mediumRoot(options, setting, "verify");
    Catalogue& catalogue = context.catalogue;
    catalogue.connect(context.cataloguePath);
    const DiscStore::DiscRow disc = namedDisc(catalogue, context.args.first());

    const std::optional<QString> uuid = DiscUuids(catalogue).of(disc.label());
    DiscVerifier verifier(catalogue, disc);
    verifier.OnProblem = [&](const DiscVerifier::Problem& problem) {
        const QString kind = DiscVerifier::Problem::kindName(problem.kind);
        if (json)
            Output::line(JsonObject()
                             .text("kind", kind)
                             .text("disc", disc.label())
                             .text("uuid", uuid)
                             .text("path", problem.path)
                             .text("name", problem.name)
                             .text("date", problem.date)
                             .number("size", problem.size)
                             .text("detail", problem.detail)
                             .line());
        else
            Output::line(QStringList{kind, fieldText(disc.label()), fieldText(problem.path + problem.name),
                                     fieldText(problem.date), QString::number(problem.size),
                                     fieldText(problem.detail)}
                             .join(QLatin1Char('\t')));
    };
    // Ctrl+C is looked for between files; the run then ends and keeps no record.
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    verifier.searcher().OnPump = [&verifier] {
        if (g_stop)
            verifier.stop();
    };
    const bool terminal = ::isatty(STDERR_FILENO);
    QElapsedTimer sinceLine;
    sinceLine.start();
    if (terminal)
        verifier.OnProgress = [&sinceLine](qint64 files, qint64 bytes) {
            if (sinceLine.elapsed() < 250)
                return;
            sinceLine.restart();
            std::fprintf(stderr, "\r\033[KVerifying: %lld files, %lld MB read", static_cast<long long>(files),
                         static_cast<long long>(bytes / 1000000));
        };
    const std::optional<Verification> done = verifier.run(root);
    if (terminal)
        std::fputs("\r\033[K", stderr);
    if (!done)
        return kInterrupted;
    const Verification& v = *done;
    if (json)
        Output::line(JsonObject()
                         .text("kind", QStringLiteral("summary"))
                         .text("disc", disc.label())
                         .text("uuid", uuid)
                         .number("files", v.files)
                         .number("ok", v.ok)
                         .number("changed", v.changed)
                         .number("unreadable", v.unreadable)
                         .number("missing", v.missing)
                         .number("new", v.added)
                         .number("bytes", v.bytes)
                         .text("source", v.source)
                         .line());
    else
        Output::line(v.summary());
    if (verifier.namesOnly())
        std::fprintf(stderr,
                     "The bytes of files on this image are not read: compared by name, size and date\n");
    return v.clean() ? 0 : 1;
}
