#include "search/ui/ExtensionIcons.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QStyle>

namespace
{
const QString kFallbackTheme = QStringLiteral("breeze");
const QString kBaseTheme = QStringLiteral("hicolor");
} // namespace

void ExtensionIcons::setUpIconTheme()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    QStringList paths = QIcon::themeSearchPaths();
    const QStringList folders = QStandardPaths::locateAll(
        QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory);
    for (const QString& folder : folders) {
        if (!paths.contains(folder))
            paths.append(folder);
    }
    QIcon::setThemeSearchPaths(paths);
    // Without a desktop Qt names no theme, or only the base theme that has no file-type
    // icons; a named theme stays the user's choice.
    const QString theme = QIcon::themeName();
    if (theme.isEmpty())
        QIcon::setThemeName(kBaseTheme);
    if (theme.isEmpty() || theme == kBaseTheme) {
        if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == kBaseTheme)
            QIcon::setFallbackThemeName(kFallbackTheme);
    }
}

QIcon ExtensionIcons::lookUp(const QString& fileName)
{
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    QIcon plain = QIcon::fromTheme(QStringLiteral("unknown"));
    if (plain.isNull())
        plain = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), plain));
}

QIcon ExtensionIcons::IconForExtension(const QString& extension)
{
    const auto cached = cache_.constFind(extension);
    if (cached != cache_.cend())
        return *cached;
    setUpIconTheme();
    // The type comes from the name alone: no file is made for it.
    const QIcon icon = lookUp(QStringLiteral("app.") + extension);
    cache_.insert(extension, icon);
    return icon;
}

QList<QIcon> ExtensionIcons::BuildExtensionIcons(const QStringList& entries)
{
    QList<QIcon> icons;
    icons.reserve(entries.size());
    for (const QString& entry : entries)
        icons.append(IconForExtension(entry));
    return icons;
}
