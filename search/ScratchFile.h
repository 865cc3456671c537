#pragma once

#include <QString>

// The empty file "app." + extension in the current working directory that stands for a
// file of that type while its icon is looked up. It is created exclusively: a file or link
// of that name that is already there is never written, followed or deleted. No file is
// made for an extension holding "/", whose name would point into another folder.
class ScratchFile
{
  public:
    explicit ScratchFile(const QString& extension);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // "app." + extension, relative to the working directory.
    const QString& name() const { return name_; }
    // Whether this object made the file (and so will delete it).
    bool created() const { return created_; }

  private:
    QString name_;
    bool created_ = false;
};
