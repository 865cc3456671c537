#pragma once

#include <QLatin1StringView>

// Resource paths of the program's artwork (resources/tessaro.qrc). Link tessaro_resources to
// get them; they are SVG, so QIcon and QPixmap scale them to the size asked for.
namespace Art
{
inline constexpr QLatin1StringView appIcon{":/art/app.svg"};      // any size, also 16x16
inline constexpr QLatin1StringView newDisc{":/art/new-disc.svg"}; // toolbar, 16x16
inline constexpr QLatin1StringView removeDisc{":/art/remove-disc.svg"};
inline constexpr QLatin1StringView settings{":/art/settings.svg"};
inline constexpr QLatin1StringView help{":/art/help.svg"};
inline constexpr QLatin1StringView find{":/art/find.svg"};     // find button, 32x32
inline constexpr QLatin1StringView emblem{":/art/emblem.svg"}; // about box, 48x48
inline constexpr QLatin1StringView about{":/art/about.svg"};   // about box, 210x130
inline constexpr QLatin1StringView splash{":/art/splash.svg"}; // splash screen, 247x249
} // namespace Art
