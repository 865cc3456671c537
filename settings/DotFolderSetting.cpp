#include "settings/DotFolderSetting.h"

#include "settings/IniSwitch.h"

DotFolderSetting::DotFolderSetting(QString iniPath) : path_(std::move(iniPath)) {}

bool DotFolderSetting::enterDotFolders() const
{
    return IniSwitch::read(path_, QStringLiteral("DotFolders"));
}
