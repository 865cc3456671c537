#include "catalogue/Catalogue.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/MediumRoot.h"
#include "cli/NamedDisc.h"
#include "cli/Output.h"
#include "common/TessaroError.h"
#include "maintenance/DiscHasher.h"
#include "settings/DriveSetting.h"

#include <QCommandLineParser>
#include <csignal>
#include <cstdio>

namespace
{
constexpr int kInterrupted = 130;
constexpr int kNotAllHashed = 3;
volatile sig_atomic_t g_stop = 0;

void onInterrupt(int)
{
    g_stop = 1;
}
} // namespace

int cmdHash(const CliContext& context)
{
    const DriveSetting setting(context.settingsPath);
    const QString root = mediumRoot(*context.options, setting, "hash");
    Catalogue& catalogue = context.catalogue;
    catalogue.connect(context.cataloguePath);
    int status = 0;
    for (const QString& label : context.args) {
        const DiscStore::DiscRow disc = namedDisc(catalogue, label);
        DiscHasher hasher(catalogue, disc);
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        hasher.searcher().OnPump = [&hasher] {
            if (g_stop)
                hasher.stop();
        };
        const DiscHasher::Outcome outcome = hasher.run(root);
        for (const DiscHasher::Skipped& file : outcome.skipped)
            std::fprintf(stderr, "%s: not hashed (%s)\n", fieldText(file.name).toLocal8Bit().constData(),
                         fieldText(file.reason).toLocal8Bit().constData());
        Output::line(QStringLiteral("%1: %2 files hashed, %3 hashed before, %4 not hashed")
                         .arg(disc.label())
                         .arg(outcome.hashed)
                         .arg(outcome.hadHash)
                         .arg(outcome.skipped.size()));
        if (outcome.stopped)
            return kInterrupted;
        if (!outcome.skipped.empty())
            status = kNotAllHashed;
    }
    return status;
}
