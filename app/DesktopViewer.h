#pragma once

#include <QString>

// Whether the desktop has a program to open a file of this type with, asked as xdg-open asks it
// (xdg-mime). True when that cannot be told (no xdg-mime), so that opening the file is left to
// the desktop as before.
class DesktopViewer
{
  public:
    static bool installedFor(const QString& file);
};
