#pragma once

#include <QString>

class QCommandLineParser;
class DriveSetting;

// The medium a command reads a catalogued disc from: the folder or image given with --root, the
// drive letter given with --drive, else the configured drive. `command` names the command in the
// usage error for both options at once.
QString mediumRoot(const QCommandLineParser& options, const DriveSetting& setting, const char* command);
// The drive letter given with --drive, else the configured one.
QChar mediumLetter(const QCommandLineParser& options, const DriveSetting& setting);
