#include "catalogue/AppPaths.h"

#include "catalogue/Schema.h"
#include "common/TessaroError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace
{
const QString kFolderName = QStringLiteral("tessaro");
const QString kCatalogueName = QStringLiteral("archive.mdb");
const QString kSettingsName = QStringLiteral("tessaro.ini");
const QString kHelpName = QStringLiteral("help.chm");

// As the XDG base directory rules have it: a variable that is unset, empty or relative is ignored.
QString baseFolder(const QString& variable, const QString& home, const QString& fallback)
{
    if (!variable.isEmpty() && QDir::isAbsolutePath(variable))
        return QDir::cleanPath(variable);
    return QDir::cleanPath((home.isEmpty() ? QDir::rootPath() : home) + QLatin1Char('/') + fallback);
}

// Private data: a folder the program makes is the user's alone.
bool makeFolder(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    QDir().mkpath(info.absolutePath());
    QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return QFileInfo(path).isDir();
}
} // namespace

AppPaths::Environment AppPaths::Environment::current()
{
    return {qEnvironmentVariable("XDG_DATA_HOME"), qEnvironmentVariable("XDG_CONFIG_HOME"),
            qEnvironmentVariable("HOME")};
}

AppPaths AppPaths::locate(const QString& executableFolder, const Environment& environment)
{
    const QDir folder(executableFolder);
    AppPaths paths;
    paths.catalogue_ = folder.filePath(kCatalogueName);
    paths.settings_ = folder.filePath(kSettingsName);
    paths.helpFile_ = folder.filePath(kHelpName);
    const QString installedHelp = QDir::cleanPath(
        folder.filePath(QStringLiteral("../share/") + kFolderName + QLatin1Char('/') + kHelpName));
    if (!QFileInfo::exists(paths.helpFile_) && QFileInfo::exists(installedHelp))
        paths.helpFile_ = installedHelp;
    // A link that leads nowhere still stands there: connecting then says what is wrong.
    const QFileInfo beside(paths.catalogue_);
    if (beside.exists() || beside.isSymLink() || QFileInfo(folder.absolutePath()).isWritable())
        return paths;
    const QString data = baseFolder(environment.dataHome, environment.home, QStringLiteral(".local/share"));
    const QString config = baseFolder(environment.configHome, environment.home, QStringLiteral(".config"));
    paths.catalogue_ = QDir(data).filePath(kFolderName + QLatin1Char('/') + kCatalogueName);
    paths.settings_ = QDir(config).filePath(kFolderName + QLatin1Char('/') + kSettingsName);
    paths.userFolders_ = true;
    return paths;
}

AppPaths AppPaths::forThisProgram()
{
    return locate(QCoreApplication::applicationDirPath(), Environment::current());
}

void AppPaths::prepareFolders() const noexcept
{
    if (!userFolders_)
        return;
    makeFolder(QFileInfo(catalogue_).path());
    if (makeFolder(QFileInfo(settings_).path()))
        QFile(settings_).open(QIODevice::WriteOnly | QIODevice::NewOnly);
}

void AppPaths::createMissingCatalogue() const
{
    const QFileInfo target(catalogue_);
    if (!userFolders_ || target.exists() || target.isSymLink())
        return;
    if (!makeFolder(target.path()))
        throw TessaroError(QStringLiteral("Unable to create the folder %1").arg(target.path()));
    // Made whole under a name of its own, then linked into place: a second instance starting at
    // the same moment finds either no catalogue or a complete one, and neither removes the other's.
    QString scratch;
    {
        QTemporaryFile name(target.path() + QStringLiteral("/.archive-XXXXXX.mdb"));
        if (!name.open())
            throw TessaroError(
                QStringLiteral("Unable to create the catalogue %1: %2").arg(catalogue_, name.errorString()));
        scratch = name.fileName();
    }
    Schema::createCatalogue(scratch);
    // Qt renames without replacing (renameat2's RENAME_NOREPLACE, or a hard link).
    QFile made(scratch);
    if (made.rename(catalogue_))
        return;
    const QString reason = made.errorString();
    made.remove();
    if (!QFileInfo::exists(catalogue_))
        throw TessaroError(QStringLiteral("Unable to create the catalogue %1: %2").arg(catalogue_, reason));
}
