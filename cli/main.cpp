// tessaro-cli: the catalogue from the command line, over the same libraries as the windows.
#include "catalogue/Connection.h"
#include "cli/Commands.h"
#include "common/TessaroError.h"

#include <QCoreApplication>
#include <cstdio>
#include <functional>
#include <map>

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
         {cmdAdd, "add [--type CD|DVD] [--drive LETTER | --root FOLDER] [--dot-folders]"}},
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

void printUsage(FILE* to)
{
    std::fprintf(to, "usage: tessaro-cli [--catalogue FILE] COMMAND [OPTIONS]\ncommands:\n");
    for (const auto& entry : commands())
        std::fprintf(to, "  %s\n", entry.second.usage);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    CliContext context;
    context.cataloguePath = Connection::defaultPath();
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--help")) {
            printUsage(stdout);
            return 0;
        }
        if (option == QLatin1String("--catalogue") && !args.isEmpty()) {
            context.cataloguePath = args.takeFirst();
        } else if (option.startsWith(QLatin1String("--catalogue="))) {
            context.cataloguePath = option.mid(12);
        } else {
            std::fprintf(stderr, "tessaro-cli: unknown option %s\n", qPrintable(option));
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
        std::fprintf(stderr, "tessaro-cli: unknown command %s\n", qPrintable(name));
        printUsage(stderr);
        return 1;
    }
    context.args = args;
    try {
        return it->second.run(context);
    } catch (const TessaroError& error) {
        std::fprintf(stderr, "tessaro-cli: %s\n", error.message().toLocal8Bit().constData());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tessaro-cli: %s\n", error.what());
        return 1;
    }
}
