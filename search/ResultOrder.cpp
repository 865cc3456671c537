#include "search/ResultOrder.h"

#include "catalogue/searchindex/ResultSnapshot.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <string_view>

namespace
{
unsigned char folded(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? u + ('a' - 'A') : u;
}

// Folder and name as one text, compared as the catalogue's NOCASE compares: bytes of UTF-8
// with A to Z folded, a prefix before what extends it.
struct FileRow {
    std::string_view path;
    std::string_view name;
    quint32 row;
};

// One of the two texts being walked: the folder, then the name.
struct Cursor {
    explicit Cursor(const FileRow& file) : at(file.path), next(file.name) {}
    // False when both parts are used up.
    bool refill()
    {
        while (at.empty() && !next.empty()) {
            at = next;
            next = {};
        }
        return !at.empty();
    }
    std::string_view at;
    std::string_view next;
};

// A and b compared as the catalogue's NOCASE compares; < 0, 0 or > 0.
int compareFolded(std::string_view a, std::string_view b, size_t n)
{
    // Most of a shared stretch is the same in case too: one memcmp passes it.
    if (std::memcmp(a.data(), b.data(), n) != 0) {
        for (size_t i = 0; i < n; ++i) {
            const int d = int(folded(a[i])) - int(folded(b[i]));
            if (d != 0)
                return d;
        }
    }
    return 0;
}

int compareFiles(const FileRow& a, const FileRow& b)
{
    // Rows of one folder share its text in the index: their names decide.
    if (a.path.data() == b.path.data() && a.path.size() == b.path.size()) {
        const size_t n = std::min(a.name.size(), b.name.size());
        if (const int d = compareFolded(a.name, b.name, n))
            return d;
        return a.name.size() < b.name.size() ? -1 : a.name.size() > b.name.size() ? 1 : 0;
    }
    Cursor x(a);
    Cursor y(b);
    while (true) {
        const bool moreX = x.refill();
        const bool moreY = y.refill();
        if (!moreX || !moreY)
            return moreX ? 1 : moreY ? -1 : 0;
        const size_t n = std::min(x.at.size(), y.at.size());
        if (const int d = compareFolded(x.at, y.at, n))
            return d;
        x.at.remove_prefix(n);
        y.at.remove_prefix(n);
    }
}

struct NumberRow {
    qint64 first;
    qint64 second;
    quint32 row;
};

int compareNumbers(const NumberRow& a, const NumberRow& b)
{
    if (a.first != b.first)
        return a.first < b.first ? -1 : 1;
    return a.second < b.second ? -1 : a.second > b.second ? 1 : 0;
}

// Equal keys keep the catalogue's order, the row's position, in either direction.
template <typename Row, typename Compare>
std::vector<quint32> ordered(std::vector<Row>& rows, bool descending, Compare compare)
{
    std::sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        const int d = descending ? compare(b, a) : compare(a, b);
        return d != 0 ? d < 0 : a.row < b.row;
    });
    std::vector<quint32> order;
    order.reserve(rows.size());
    for (const Row& row : rows)
        order.push_back(row.row);
    return order;
}
} // namespace

std::vector<quint32> ResultOrder::sorted(const ResultSnapshot& rows, Key key, bool descending)
{
    const auto count = quint32(rows.rowCount());
    if (key == Key::File) {
        std::vector<FileRow> files(count);
        for (quint32 row = 0; row < count; ++row) {
            const auto [path, name] = rows.fileText(row);
            files[row] = {path, name, row};
        }
        return ordered(files, descending, compareFiles);
    }
    std::vector<NumberRow> numbers(count);
    QString label;
    NumberRow labelKey{};
    for (quint32 row = 0; row < count; ++row) {
        switch (key) {
        case Key::Disc: {
            // Discs by their number, then their type letter (CDs and DVDs share the numbers).
            const QString current = rows.cdid(row);
            if (row == 0 || current != label) {
                label = current;
                labelKey = {label.mid(1).toLongLong(), label.isEmpty() ? 0 : label.at(0).unicode(), 0};
            }
            numbers[row] = {labelKey.first, labelKey.second, row};
            break;
        }
        case Key::Date:
            // Dates in another form than the catalogue's own (-1) come first.
            numbers[row] = {rows.packedData(row), 0, row};
            break;
        case Key::Size:
            numbers[row] = {rows.dimensione(row), 0, row};
            break;
        case Key::File:
            break;
        }
    }
    return ordered(numbers, descending, compareNumbers);
}
