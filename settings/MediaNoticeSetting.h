#pragma once

#include <QString>

// Whether the main window follows inserted media and offers what to do with them ("Notice
// inserted discs"). Kept in tessaro.ini as Quillomat\Tessaro\NoticeMedia=true; off when
// missing, so that the window looks and behaves as it always did unless asked.
class MediaNoticeSetting
{
  public:
    explicit MediaNoticeSetting(QString iniPath);

    // True for true/yes/1, false for false/no/0 or no value; anything else is an error.
    bool on() const;
    void write(bool on) const;

  private:
    QString path_;
};
