#pragma once

#include <QString>

// Whether the main window looks for a File pattern without "*" or "\" anywhere in the names
// ("Find names anywhere"). Kept in tessaro.ini as Quillomat\Tessaro\NamesAnywhere=true; off
// when missing or anything but true, yes or 1, so that reading it never fails.
class NameSearchSetting
{
  public:
    explicit NameSearchSetting(QString iniPath);

    bool namesAnywhere() const;
    void writeNamesAnywhere(bool on) const;

  private:
    QString path_;
};
