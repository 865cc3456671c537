// tessaro-cli: the catalogue from the command line, over the same libraries as the windows.
#include "catalogue/AppPaths.h"
#include "catalogue/Catalogue.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/Output.h"
#include "cli/ScanProgram.h"
#include "cli/UsageError.h"
#include "common/TessaroError.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

namespace
{
constexpr int kFailure = 1;
constexpr int kUsage = 2;

// One line on standard error; names in messages come from discs and catalogues.
void printError(const QString& message)
{
    std::fprintf(stderr, "tessaro-cli: %s\n", fieldText(message).toLocal8Bit().constData());
}

QString dashed(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

void parse(QCommandLineParser& parser, const QStringList& words)
{
    if (parser.parse(words))
        return;
    if (!parser.unknownOptionNames().isEmpty())
        throw UsageError(QStringLiteral("unknown option ") + dashed(parser.unknownOptionNames().first()));
    QString text = parser.errorText();
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    throw UsageError(text);
}

// An explicit --catalogue, else $TESSARO_CATALOGUE; empty for the program's own (AppPaths).
QString chosenCatalogue(const QStringList& given)
{
    if (given.size() > 1)
        throw UsageError(QStringLiteral("--catalogue given more than once"));
    if (!given.isEmpty()) {
        // An unset variable in a script must not fall back to another catalogue.
        if (given.first().isEmpty())
            throw UsageError(QStringLiteral("--catalogue takes a file name; the empty name is none"));
        return given.first();
    }
    const QString fromEnvironment = qEnvironmentVariable("TESSARO_CATALOGUE");
    return fromEnvironment;
}

int showHelp(const QString& text)
{
    Output::write(text);
    Output::finish();
    return 0;
}

class Program
{
  public:
    Program(QStringList arguments, Catalogue& catalogue)
        : arguments_(std::move(arguments)), catalogue_(catalogue)
    {
    }

    int run()
    {
        try {
            return dispatch();
        } catch (const UsageError& error) {
            printError(
                QStringLiteral("%1 (see 'tessaro-cli%2 --help')")
                    .arg(error.message(), helpFor_.isEmpty() ? QString() : QLatin1Char(' ') + helpFor_));
            return kUsage;
        } catch (const Output::Closed&) {
            // The reader has all it wanted (search | head -1).
            return kFailure;
        } catch (const TessaroError& error) {
            printError(error.message());
            return kFailure;
        } catch (const std::exception& error) {
            printError(QString::fromLocal8Bit(error.what()));
            return kFailure;
        }
    }

  private:
    int dispatch()
    {
        // Everything from the command on belongs to the command.
        QCommandLineParser top;
        top.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
        top.addOption(CommandTable::catalogueOption());
        top.addOption(CommandTable::helpOption());
        top.addOption(CommandTable::versionOption());
        parse(top, arguments_);
        if (top.isSet(QStringLiteral("help")))
            return showHelp(CommandTable::programHelp());
        if (top.isSet(QStringLiteral("version")))
            return showHelp(QStringLiteral("tessaro-cli " TESSARO_VERSION "\n"));
        const QStringList rest = top.positionalArguments();
        if (rest.isEmpty())
            throw UsageError(QStringLiteral("no command given"));
        const CommandSpec* command = CommandTable::find(rest.first());
        if (!command)
            throw UsageError(QStringLiteral("unknown command %1").arg(rest.first()));
        if (command->run)
            helpFor_ = command->name;

        QCommandLineParser parser;
        parser.addOptions(command->options);
        if (command->run)
            parser.addOption(CommandTable::catalogueOption());
        parser.addOption(CommandTable::helpOption());
        parse(parser, QStringList{arguments_.first()} + rest.mid(1));
        if (parser.isSet(QStringLiteral("help")))
            return showHelp(CommandTable::commandHelp(*command));
        for (const QString& name : command->single) {
            if (parser.values(name).size() > 1)
                throw UsageError(QStringLiteral("--%1 given more than once").arg(name));
        }
        const QStringList operands = parser.positionalArguments();
        if (operands.size() > command->maxOperands)
            throw UsageError(QStringLiteral("unexpected argument %1").arg(operands.at(command->maxOperands)));
        if (operands.size() < command->minOperands)
            throw UsageError(QStringLiteral("missing %1").arg(command->operands));

        if (!command->run) {
            // help [COMMAND]
            if (operands.isEmpty())
                return showHelp(CommandTable::programHelp());
            const CommandSpec* about = CommandTable::find(operands.first());
            if (!about)
                throw UsageError(QStringLiteral("unknown command %1").arg(operands.first()));
            return showHelp(CommandTable::commandHelp(*about));
        }

        CliContext context(catalogue_);
        const AppPaths paths = AppPaths::forThisProgram();
        context.cataloguePath = chosenCatalogue(top.values(QStringLiteral("catalogue")) +
                                                parser.values(QStringLiteral("catalogue")));
        context.settingsPath = paths.settings();
        context.args = operands;
        context.options = &parser;
        paths.prepareFolders();
        if (context.cataloguePath.isEmpty()) {
            context.cataloguePath = paths.catalogue();
            // A shared install's per-user catalogue is made on first use, as the window does.
            if (command->name != QLatin1String("create-catalogue") &&
                command->name != QLatin1String("drives"))
                paths.createMissingCatalogue();
        }
        const int status = command->run(context);
        Output::finish();
        return status;
    }

    QStringList arguments_;
    Catalogue& catalogue_; // not connected yet: each command connects it when it needs it
    QString helpFor_;      // the command whose --help a usage error points at; empty for the program's
};
} // namespace

int main(int argc, char* argv[])
{
    ScanProgram::keepArguments(argv);
    QCoreApplication app(argc, argv);
    // Large outputs go out in large writes; a terminal still sees each line as it comes.
    if (!::isatty(STDOUT_FILENO))
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    Catalogue catalogue;
    return Program(app.arguments(), catalogue).run();
}
