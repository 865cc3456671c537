#pragma once

#include <QString>

namespace AppInfo {
inline const QString Title = QStringLiteral("Tessaro v1.3");
inline const QString HelpFileName = QStringLiteral("help.chm");
} // namespace AppInfo
