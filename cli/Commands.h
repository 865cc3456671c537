#pragma once

#include <QString>
#include <QStringList>

// One function per command; each parses its own options from args (the words after the
// command name) and returns the exit status. Failures throw TessaroError.
struct CliContext {
    QString cataloguePath; // --catalogue FILE, or the program's catalogue (AppPaths)
    QString settingsPath;  // the program's tessaro.ini (AppPaths)
    QStringList args;
};

int cmdCreateCatalogue(const CliContext& context);
int cmdDrives(const CliContext& context);
int cmdAdd(const CliContext& context);
int cmdRemove(const CliContext& context);
int cmdDiscs(const CliContext& context);
int cmdExtensions(const CliContext& context);
int cmdSearch(const CliContext& context);
int cmdUpgradeCatalogue(const CliContext& context);
