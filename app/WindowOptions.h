#pragma once

#include <QString>
#include <QStringList>

// The window's command line: -h/--help, -V/--version and --catalogue FILE, with the catalogue
// also taken from $TESSARO_CATALOGUE, as tessaro-cli takes them.
struct WindowOptions {
    bool help = false;
    bool version = false;
    // Empty for the program's own catalogue.
    QString catalogue;
    // Set when the command line is wrong; says why.
    QString error;

    // `arguments` without the program's name and without the options Qt itself took.
    static WindowOptions parse(const QStringList& arguments, const QString& environmentCatalogue);
    // Whether raw arguments ask for help or the version, which are answered before any display
    // is opened.
    static bool asksForTextOnly(const QStringList& arguments);
    static QString helpText();
    static QString versionText();
};
