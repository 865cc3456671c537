#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>

// The icons the desktop shows for files of each extension, looked up once per extension.
class ExtensionIcons
{
  public:
    // The icon for files named "*." + extension: the icon theme's icon for the MIME type the
    // name has, else the type's generic icon, else a plain file icon. Never a null icon.
    QIcon IconForExtension(const QString& extension);
    // One icon per entry, in the same order.
    QList<QIcon> BuildExtensionIcons(const QStringList& entries);

    // Lets icon themes be found also where the desktop names none (offscreen, no desktop):
    // the XDG icon folders and breeze as fallback theme. Runs once; needs a GUI application.
    static void setUpIconTheme();

  private:
    static QIcon lookUp(const QString& fileName);

    QHash<QString, QIcon> cache_;
};
