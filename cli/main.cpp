// tessaro-cli: the catalogue from the command line, over the same libraries as the windows.
#include "catalogue/AppPaths.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/Output.h"
#include "common/TessaroError.h"

#include <QCoreApplication>
#include <cstdio>
#include <functional>
#include <map>
#include <unistd.h>

namespace
{
struct Command {
    std::function<int(const CliContext&)> run;
    const char* usage;
};

const std::map<QString, Command>& commands()
{
    static const std::map<QString, Command> table = {
        {QStringLiteral("create-catalogue"), {cmdCreateCatalogue, "create-catalogue"}},
        {QStringLiteral("drives"), {cmdDrives, "drives"}},
        {QStringLiteral("add"),
         {cmdAdd, "add [--type CD|DVD] [--drive LETTER | --root FOLDER|IMAGE] [--archives] [--dot-folders]"}},
        {QStringLiteral("remove"), {cmdRemove, "remove LABEL"}},
        {QStringLiteral("discs"), {cmdDiscs, "discs"}},
        {QStringLiteral("extensions"), {cmdExtensions, "extensions"}},
        {QStringLiteral("search"),
         {cmdSearch,
          "search [--disc LABEL] [--file PATTERN] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--ext EXT] "
          "[--count] [--csv]"}},
        {QStringLiteral("upgrade-catalogue"), {cmdUpgradeCatalogue, "upgrade-catalogue"}},
    };
    return table;
}

QString usage()
{
    QString text = QStringLiteral("usage: tessaro-cli [--catalogue FILE] COMMAND [OPTIONS]\ncommands:\n");
    for (const auto& entry : commands())
        text += QStringLiteral("  %1\n").arg(QLatin1String(entry.second.usage));
    return text;
}

void printUsage(FILE* to)
{
    std::fputs(usage().toUtf8().constData(), to);
}

// One line on standard error; names in messages come from discs and catalogues.
void printError(const QString& message)
{
    std::fprintf(stderr, "tessaro-cli: %s\n", fieldText(message).toLocal8Bit().constData());
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // Large outputs go out in large writes; a terminal still sees each line as it comes.
    if (!::isatty(STDOUT_FILENO))
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    QStringList args = app.arguments().mid(1);
    CliContext context;
    const AppPaths paths = AppPaths::forThisProgram();
    context.cataloguePath = paths.catalogue();
    context.settingsPath = paths.settings();
    bool ownCatalogue = true;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--help")) {
            try {
                Output::write(usage());
                Output::finish();
            } catch (const Output::Closed&) {
                return 1;
            } catch (const TessaroError& error) {
                printError(error.message());
                return 1;
            }
            return 0;
        }
        if (option == QLatin1String("--catalogue") && !args.isEmpty()) {
            context.cataloguePath = args.takeFirst();
            ownCatalogue = false;
        } else if (option.startsWith(QLatin1String("--catalogue="))) {
            context.cataloguePath = option.mid(12);
            ownCatalogue = false;
        } else {
            printError(QStringLiteral("unknown option %1").arg(option));
            printUsage(stderr);
            return 1;
        }
    }
    if (args.isEmpty()) {
        printUsage(stderr);
        return 1;
    }
    const QString name = args.takeFirst();
    const auto it = commands().find(name);
    if (it == commands().end()) {
        printError(QStringLiteral("unknown command %1").arg(name));
        printUsage(stderr);
        return 1;
    }
    context.args = args;
    try {
        paths.prepareFolders();
        if (ownCatalogue && name != QLatin1String("create-catalogue") && name != QLatin1String("drives"))
            paths.createMissingCatalogue();
        const int status = it->second.run(context);
        Output::finish();
        return status;
    } catch (const Output::Closed&) {
        // The reader has all it wanted (search | head -1).
        return 1;
    } catch (const TessaroError& error) {
        printError(error.message());
        return 1;
    } catch (const std::exception& error) {
        printError(QString::fromLocal8Bit(error.what()));
        return 1;
    }
}
