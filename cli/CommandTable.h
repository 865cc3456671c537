#pragma once

#include "cli/Commands.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

// What each command accepts and how its help reads: the one place that the parsing, the
// help texts and the checks of the operands all follow.
struct CommandSpec {
    QString name;
    int (*run)(const CliContext&) = nullptr;
    QString synopsis; // the command line after "tessaro-cli", as in the list of commands
    QString summary;  // one sentence
    QString operands; // such as "LABEL"; empty when the command takes none
    int minOperands = 0;
    int maxOperands = 0;
    QList<QCommandLineOption> options; // besides --catalogue and --help, which every command takes
    QString notes;                     // paragraphs after the options
    QStringList single;                // options with a value that may be given only once
};

namespace CommandTable
{
// The commands in the order the help lists them; "help" is the last.
const QList<CommandSpec>& commands();
const CommandSpec* find(const QString& name);

// The options every command takes.
QCommandLineOption catalogueOption();
QCommandLineOption helpOption();
QCommandLineOption versionOption();

QString programHelp();
QString commandHelp(const CommandSpec& command);
} // namespace CommandTable
