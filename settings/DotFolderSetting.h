#pragma once

#include <QString>

// Whether a run also enters folders whose names begin with "." (.git, .config, an installation
// disc's .disk). Kept in tessaro.ini as Quillomat\Tessaro\DotFolders=true; off when missing.
class DotFolderSetting
{
  public:
    explicit DotFolderSetting(QString iniPath);

    // True for true/yes/1, false for false/no/0 or no value; anything else is an error.
    bool enterDotFolders() const;

  private:
    QString path_;
};
