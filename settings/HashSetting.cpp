#include "settings/HashSetting.h"

#include "settings/IniSwitch.h"

HashSetting::HashSetting(QString iniPath) : path_(std::move(iniPath)) {}

bool HashSetting::hashContents() const
{
    return IniSwitch::read(path_, QStringLiteral("Hashes"));
}

void HashSetting::write(bool on) const
{
    IniSwitch::write(path_, QStringLiteral("Hashes"), on);
}
