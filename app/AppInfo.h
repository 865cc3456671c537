#pragma once

#include <QString>

namespace AppInfo
{
inline const QString Title = QStringLiteral("Tessaro v1.3");
// The about box's link and year.
inline const QString HomePage = QStringLiteral("https://tessaro.quillomat.example/");
inline const QString Year = QStringLiteral("2026");
} // namespace AppInfo
