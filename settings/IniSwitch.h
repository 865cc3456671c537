#pragma once

#include <QString>

// An on/off key under the program's keys in tessaro.ini (Quillomat\Tessaro\<name>).
namespace IniSwitch
{
// True for true/yes/1, false for false/no/0 or no value; anything else is an error naming the key.
bool read(const QString& iniPath, const QString& name);
// Writes true or false; a file that cannot be written is an error naming the key.
void write(const QString& iniPath, const QString& name, bool on);
} // namespace IniSwitch
