#pragma once

#include <QString>
#include <QStringList>

class Catalogue;
class QCommandLineParser;

// One function per command; each reads its options, already parsed and checked against the
// command's table entry, and returns the exit status. Failures throw TessaroError, a wrong
// command line UsageError.
struct CliContext {
    explicit CliContext(Catalogue& session) : catalogue(session) {}

    Catalogue& catalogue;  // the session, not yet connected: commands connect it when they need it
    QString cataloguePath; // --catalogue FILE, $TESSARO_CATALOGUE or AppPaths
    QString settingsPath;  // the program's tessaro.ini (AppPaths)
    QStringList args;      // the words after the command that are not options
    const QCommandLineParser* options = nullptr; // the command's options
};

int cmdCreateCatalogue(const CliContext& context);
int cmdDrives(const CliContext& context);
int cmdAdd(const CliContext& context);
int cmdRemove(const CliContext& context);
int cmdDiscs(const CliContext& context);
int cmdExtensions(const CliContext& context);
int cmdSearch(const CliContext& context);
int cmdInfo(const CliContext& context);
int cmdTree(const CliContext& context);
int cmdDuplicates(const CliContext& context);
int cmdUpgradeCatalogue(const CliContext& context);
int cmdVerify(const CliContext& context);
int cmdCoverage(const CliContext& context);
int cmdHash(const CliContext& context);
int cmdWatch(const CliContext& context);
int cmdUpdate(const CliContext& context);
