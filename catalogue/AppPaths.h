#pragma once

#include <QString>

// Where the catalogue (archive.mdb) and the settings (tessaro.ini) live, decided once for the
// windows and the command line alike.
//
// Beside the executable, unless no catalogue stands there and its folder cannot be written, as
// in an install shared by every user (/opt/tessaro): each user then has their own,
// $XDG_DATA_HOME/tessaro/archive.mdb and $XDG_CONFIG_HOME/tessaro/tessaro.ini. A catalogue beside
// the executable always wins, read-only or not.
//
// The help (help.chm) stands beside the executable in a build, and in ../share/tessaro/ from it
// in an install laid out by GNUInstallDirs (bin/ beside share/).
class AppPaths
{
  public:
    // The XDG base folders as the environment gives them; empty when unset.
    struct Environment {
        QString dataHome;   // XDG_DATA_HOME
        QString configHome; // XDG_CONFIG_HOME
        QString home;       // HOME
        static Environment current();
    };

    static AppPaths locate(const QString& executableFolder, const Environment& environment);
    // The running executable's folder and the process's environment.
    static AppPaths forThisProgram();

    const QString& catalogue() const { return catalogue_; }
    const QString& settings() const { return settings_; }
    // Beside the executable unless only the installed one exists; where the program says it
    // looked when neither does.
    const QString& helpFile() const { return helpFile_; }
    bool inUserFolders() const { return userFolders_; }

    // Only in the user's folders, where nothing is installed: the missing folders and an empty
    // settings file. Beside the executable nothing is made. Whatever cannot be made is left
    // out: a command that needs none of it still runs, and one that writes the settings reports
    // the failure as for any settings file it cannot write.
    void prepareFolders() const noexcept;
    // Only in the user's folders: an empty catalogue when there is none yet. Beside the
    // executable a missing catalogue stays missing and fails to connect.
    void createMissingCatalogue() const;

  private:
    QString catalogue_;
    QString settings_;
    QString helpFile_;
    bool userFolders_ = false;
};
