#pragma once

#include <string>
#include <string_view>

// The only case folding SQLite's `like` and its NOCASE collation do: A-Z to a-z. Every other
// character, accented letters included, matches only itself.
namespace AsciiFold
{
constexpr char32_t fold(char32_t c)
{
    return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c;
}

constexpr char fold(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

inline std::string folded(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = fold(c);
    return out;
}

// `=` under NOCASE: same length, bytes equal once A-Z are folded.
inline bool equalNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}
} // namespace AsciiFold
