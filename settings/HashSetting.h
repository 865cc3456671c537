#pragma once

#include <QString>

// Whether a run reads every file and keeps a hash of its content. Kept in tessaro.ini as
// Quillomat\Tessaro\Hashes=true; off when missing: reading every byte of a DVD takes minutes
// where listing it takes seconds.
class HashSetting
{
  public:
    explicit HashSetting(QString iniPath);

    // True for true/yes/1, false for false/no/0 or no value; anything else is an error.
    bool hashContents() const;
    void write(bool on) const;

  private:
    QString path_;
};
