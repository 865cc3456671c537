#include "settings/MediaNoticeSetting.h"

#include "settings/IniSwitch.h"

MediaNoticeSetting::MediaNoticeSetting(QString iniPath) : path_(std::move(iniPath)) {}

bool MediaNoticeSetting::on() const
{
    return IniSwitch::read(path_, QStringLiteral("NoticeMedia"));
}

void MediaNoticeSetting::write(bool on) const
{
    IniSwitch::write(path_, QStringLiteral("NoticeMedia"), on);
}
