#include "search/ResultOrder.h"

#include "catalogue/searchindex/ResultSnapshot.h"

#include <QString>
#include <algorithm>
#include <numeric>
#include <string_view>
#include <utility>

namespace
{
unsigned char folded(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? u + ('a' - 'A') : u;
}

// Folder and name as one text, compared as the catalogue's NOCASE compares: bytes of UTF-8
// with A to Z folded, a prefix before what extends it.
struct FileText {
    std::string_view path;
    std::string_view name;
    size_t size() const { return path.size() + name.size(); }
    char at(size_t i) const { return i < path.size() ? path[i] : name[i - path.size()]; }
};

bool lessFile(const FileText& a, const FileText& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = folded(a.at(i));
        const unsigned char y = folded(b.at(i));
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

template <typename Keys, typename Less>
std::vector<quint32> ordered(const Keys& keys, bool descending, Less less)
{
    std::vector<quint32> order(keys.size());
    std::iota(order.begin(), order.end(), quint32(0));
    // Stable both ways: equal keys keep the catalogue's order in a reversed sort too.
    if (descending)
        std::stable_sort(order.begin(), order.end(),
                         [&](quint32 x, quint32 y) { return less(keys[y], keys[x]); });
    else
        std::stable_sort(order.begin(), order.end(),
                         [&](quint32 x, quint32 y) { return less(keys[x], keys[y]); });
    return order;
}
} // namespace

std::vector<quint32> ResultOrder::sorted(const ResultSnapshot& rows, Key key, bool descending)
{
    const auto count = size_t(rows.rowCount());
    if (key == Key::File) {
        std::vector<FileText> keys(count);
        for (size_t row = 0; row < count; ++row) {
            const auto [path, name] = rows.fileText(qsizetype(row));
            keys[row] = {path, name};
        }
        return ordered(keys, descending, lessFile);
    }
    // Discs by their number, then their type letter (ids are shared by CDs and DVDs).
    std::vector<std::pair<qint64, qint64>> keys(count);
    QString label;
    std::pair<qint64, qint64> labelKey;
    for (size_t row = 0; row < count; ++row) {
        switch (key) {
        case Key::Disc: {
            const QString current = rows.cdid(qsizetype(row));
            if (current != label || row == 0) {
                label = current;
                labelKey = {label.mid(1).toLongLong(), label.isEmpty() ? 0 : label.at(0).unicode()};
            }
            keys[row] = labelKey;
            break;
        }
        case Key::Date:
            // Dates in another form than the catalogue's own (-1) come first.
            keys[row] = {rows.packedData(qsizetype(row)), 0};
            break;
        case Key::Size:
            keys[row] = {rows.dimensione(qsizetype(row)), 0};
            break;
        case Key::File:
            break;
        }
    }
    return ordered(keys, descending, std::less<>());
}
