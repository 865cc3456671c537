#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

// The catalogue's letter case, as SQLite's NOCASE has it: only the letters A to Z fold (to a to
// z); every other character, in any script, keeps its case. For code units of any width.
namespace AsciiCase
{
template <typename Char> constexpr Char fold(Char c)
{
    return c >= Char('A') && c <= Char('Z') ? Char(c + ('a' - 'A')) : c;
}

inline QChar fold(QChar c)
{
    return QChar(fold(c.unicode()));
}

inline QString lower(QString text)
{
    for (QChar& c : text)
        c = fold(c);
    return text;
}

inline std::string lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = fold(c);
    return out;
}

template <typename Text> bool equal(const Text& a, const Text& b)
{
    if (a.size() != b.size())
        return false;
    for (decltype(a.size()) i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

inline bool equal(QStringView a, QStringView b)
{
    return equal<QStringView>(a, b);
}

inline bool equal(std::string_view a, std::string_view b)
{
    return equal<std::string_view>(a, b);
}

// SQLite's NOCASE order of UTF-8 texts: bytes compared unsigned with A-Z folded, and a text
// before every longer one it begins. Negative, zero or positive.
inline int compare(std::string_view a, std::string_view b)
{
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const int x = fold(static_cast<unsigned char>(a[i]));
        const int y = fold(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x - y;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}
} // namespace AsciiCase
