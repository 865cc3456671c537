#include "catalogue/searchindex/DiscIndex.h"

#include "common/AsciiCase.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace
{
constexpr quint32 kMagic = 0x31585354; // "TSX1" read as a little-endian integer
constexpr qsizetype kHeaderSize = 40;
constexpr quint64 kMaxBytes = DiscIndex::kMaxBytes;
// Bytes an entry takes beside its texts: size, date, id delta, name offset, extension number,
// and at most a new folder run and a new extension.
constexpr quint64 kEntryBytes = 8 + 8 + 4 + 4 + 2 + 8 + 4;

bool validUtf8(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char c = *p++;
        if (c < 0x80)
            continue;
        int more = 0;
        quint32 value = 0;
        if ((c & 0xE0) == 0xC0) {
            more = 1;
            value = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2;
            value = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3;
            value = c & 0x07;
        } else {
            return false;
        }
        if (end - p < more)
            return false;
        for (int k = 0; k < more; ++k) {
            if ((p[k] & 0xC0) != 0x80)
                return false;
            value = (value << 6) | (p[k] & 0x3F);
        }
        p += more;
        static constexpr quint32 kSmallest[] = {0, 0x80, 0x800, 0x10000};
        // U+FFFE and U+FFFF read back as U+FFFD in SQLite's like: keep them out of the index.
        if (value < kSmallest[more] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) ||
            (value & 0xFFFFFFFE) == 0xFFFE)
            return false;
    }
    return true;
}

bool hasNul(std::string_view text)
{
    return text.find('\0') != std::string_view::npos;
}

template <typename T> void put(QByteArray& out, T value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof(T));
}

template <typename T> void putAll(QByteArray& out, const std::vector<T>& values)
{
    out.append(reinterpret_cast<const char*>(values.data()), qsizetype(values.size() * sizeof(T)));
}

} // namespace

bool DiscIndex::Builder::spoil()
{
    spoilt_ = true;
    return false;
}

quint32 DiscIndex::Builder::addText(std::string& region, std::string_view text)
{
    const auto offset = quint32(region.size());
    region.append(text);
    region.push_back('\0');
    return offset;
}

// Whether one more entry keeps the index within its limits: 16-bit extension numbers,
// 32-bit entry numbers and offsets, kMaxBytes in all.
bool DiscIndex::Builder::fits(std::string_view path, std::string_view name, std::string_view extension,
                              std::string_view date) const
{
    const quint64 now = quint64(kHeaderSize) + 4 + quint64(ids_.size()) * 26 +
                        (quint64(runFirst_.size()) + 1) * 8 + (quint64(extensions_.size()) + 1) * 4 +
                        names_.size() + paths_.size() + quint64(extensionBytes_) + oddDates_.size();
    const quint64 more = kEntryBytes + path.size() + name.size() + extension.size() + date.size() + 4;
    return now + more <= kMaxBytes && ids_.size() < std::numeric_limits<quint32>::max() - 1 &&
           (extensions_.size() <= std::numeric_limits<quint16>::max() ||
            extensionIndex_.find(extension) != extensionIndex_.end());
}

bool DiscIndex::Builder::add(qint64 id, std::string_view path, std::string_view name,
                             std::string_view extension, qint64 size, std::string_view date)
{
    if (spoilt_)
        return false;
    if (hasNul(path) || hasNul(name) || hasNul(extension) || hasNul(date) || !validUtf8(path) ||
        !validUtf8(name) || !fits(path, name, extension, date))
        return spoil();

    const auto entry = quint32(ids_.size());
    if (entry == 0 || path != lastPath_) {
        runFirst_.push_back(entry);
        runPathOffsets_.push_back(addText(paths_, path));
        lastPath_.assign(path);
    }
    nameOffsets_.push_back(addText(names_, name));

    auto found = extensionIndex_.find(extension);
    if (found == extensionIndex_.end()) {
        found = extensionIndex_.emplace(std::string(extension), quint16(extensions_.size())).first;
        extensions_.emplace_back(extension);
        extensionBytes_ += qsizetype(extension.size()) + 1;
    }
    extensionOfEntry_.push_back(found->second);

    const qint64 packed = packDate(date);
    if (packed >= 0) {
        dates_.push_back(packed);
    } else {
        dates_.push_back(-1 - qint64(addText(oddDates_, date)));
    }
    ids_.push_back(id);
    sizes_.push_back(size);
    return true;
}

QByteArray DiscIndex::Builder::finish()
{
    if (spoilt_)
        return {};
    qint64 baseId = 0;
    std::vector<quint32> deltas;
    if (!ids_.empty()) {
        const auto [low, high] = std::minmax_element(ids_.begin(), ids_.end());
        baseId = *low;
        if (quint64(*high) - quint64(*low) > std::numeric_limits<quint32>::max()) {
            spoilt_ = true;
            return {};
        }
        deltas.reserve(ids_.size());
        for (qint64 id : ids_)
            deltas.push_back(quint32(quint64(id) - quint64(baseId)));
    }
    std::string extensionText;
    std::vector<quint32> extensionOffsets;
    for (const auto& extension : extensions_)
        extensionOffsets.push_back(addText(extensionText, extension));
    extensionOffsets.push_back(quint32(extensionText.size()));
    auto nameOffsets = nameOffsets_;
    nameOffsets.push_back(quint32(names_.size()));
    auto runFirst = runFirst_;
    runFirst.push_back(quint32(ids_.size()));
    auto runPathOffsets = runPathOffsets_;
    runPathOffsets.push_back(quint32(paths_.size()));

    QByteArray out;
    out.reserve(kHeaderSize + qsizetype(ids_.size() * 30 + names_.size() + paths_.size()));
    put(out, kMagic);
    put(out, quint32(ids_.size()));
    put(out, quint32(runFirst_.size()));
    put(out, quint32(extensions_.size()));
    put(out, quint32(names_.size()));
    put(out, quint32(paths_.size()));
    put(out, quint32(extensionText.size()));
    put(out, quint32(oddDates_.size()));
    put(out, baseId);
    putAll(out, sizes_);
    putAll(out, dates_);
    putAll(out, deltas);
    putAll(out, nameOffsets);
    putAll(out, runFirst);
    putAll(out, runPathOffsets);
    putAll(out, extensionOffsets);
    putAll(out, extensionOfEntry_);
    out.append(names_.data(), qsizetype(names_.size()));
    out.append(paths_.data(), qsizetype(paths_.size()));
    out.append(extensionText.data(), qsizetype(extensionText.size()));
    out.append(oddDates_.data(), qsizetype(oddDates_.size()));
    return out;
}

qint64 DiscIndex::packDate(std::string_view text)
{
    static constexpr char kShape[] = "0000-00-00 00:00:00";
    if (text.size() != sizeof(kShape) - 1)
        return -1;
    qint64 packed = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (kShape[i] == '0') {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            packed = packed * 10 + (text[i] - '0');
        } else if (text[i] != kShape[i]) {
            return -1;
        }
    }
    return packed;
}

std::string DiscIndex::unpackDate(qint64 packed)
{
    std::string text = "0000-00-00 00:00:00";
    for (int i = int(text.size()) - 1; i >= 0; --i) {
        if (text[size_t(i)] != '0')
            continue;
        text[size_t(i)] = char('0' + packed % 10);
        packed /= 10;
    }
    return text;
}

template <typename T> T DiscIndex::at(qsizetype offset, quint32 i) const
{
    T value;
    std::memcpy(&value, data_ + offset + qsizetype(i) * qsizetype(sizeof(T)), sizeof(T));
    return value;
}

std::shared_ptr<const DiscIndex> DiscIndex::fromBytes(const QByteArray& bytes)
{
    return fromBytes(bytes, 0, bytes.size());
}

std::shared_ptr<const DiscIndex> DiscIndex::fromBytes(const QByteArray& buffer, qsizetype offset,
                                                      qsizetype size)
{
    if (offset < 0 || size < kHeaderSize || offset > buffer.size() || buffer.size() - offset < size)
        return nullptr;
    std::shared_ptr<DiscIndex> index(new DiscIndex);
    DiscIndex& d = *index;
    d.buffer_ = buffer;
    d.data_ = d.buffer_.constData() + offset;
    d.size_ = size;
    if (d.at<quint32>(0, 0) != kMagic)
        return nullptr;
    d.count_ = d.at<quint32>(4, 0);
    d.runCount_ = d.at<quint32>(8, 0);
    d.extensionCount_ = d.at<quint32>(12, 0);
    d.namesSize_ = d.at<quint32>(16, 0);
    d.pathsSize_ = d.at<quint32>(20, 0);
    const quint32 extensionSize = d.at<quint32>(24, 0);
    const quint32 oddDatesSize = d.at<quint32>(28, 0);
    d.baseId_ = d.at<qint64>(32, 0);

    // Every count is checked against the bytes before any offset is trusted.
    const quint64 count = d.count_;
    const quint64 expected = quint64(kHeaderSize) + count * (8 + 8 + 4 + 4 + 2) + 4 +
                             (quint64(d.runCount_) + 1) * 8 + (quint64(d.extensionCount_) + 1) * 4 +
                             d.namesSize_ + d.pathsSize_ + extensionSize + oddDatesSize;
    if (expected != quint64(size))
        return nullptr;
    qsizetype next = kHeaderSize;
    auto region = [&next](quint64 length) {
        const qsizetype start = next;
        next += qsizetype(length);
        return start;
    };
    d.sizes_ = region(count * 8);
    d.dates_ = region(count * 8);
    d.idDeltas_ = region(count * 4);
    d.nameOffsets_ = region((count + 1) * 4);
    d.runFirst_ = region((quint64(d.runCount_) + 1) * 4);
    d.runPathOffsets_ = region((quint64(d.runCount_) + 1) * 4);
    d.extensionOffsets_ = region((quint64(d.extensionCount_) + 1) * 4);
    d.extensionOfEntry_ = region(count * 2);
    d.names_ = region(d.namesSize_);
    d.paths_ = region(d.pathsSize_);
    d.extensions_ = region(extensionSize);
    d.oddDates_ = region(oddDatesSize);

    const char* base = d.data_;
    // Offsets rise strictly, end at their region's size, and every text ends with a NUL.
    auto texts = [&d, base](qsizetype offsets, quint32 n, qsizetype text, quint32 size) {
        if (d.at<quint32>(offsets, 0) != 0 || d.at<quint32>(offsets, n) != size)
            return false;
        for (quint32 i = 0; i < n; ++i) {
            const quint32 next = d.at<quint32>(offsets, i + 1);
            if (next <= d.at<quint32>(offsets, i) || next > size || base[text + next - 1] != '\0')
                return false;
        }
        return true;
    };
    if (!texts(d.nameOffsets_, d.count_, d.names_, d.namesSize_) ||
        !texts(d.runPathOffsets_, d.runCount_, d.paths_, d.pathsSize_) ||
        !texts(d.extensionOffsets_, d.extensionCount_, d.extensions_, extensionSize))
        return nullptr;
    if ((d.count_ == 0) != (d.runCount_ == 0) || d.at<quint32>(d.runFirst_, 0) != 0 ||
        d.at<quint32>(d.runFirst_, d.runCount_) != d.count_)
        return nullptr;
    for (quint32 r = 0; r < d.runCount_; ++r) {
        if (d.at<quint32>(d.runFirst_, r + 1) <= d.at<quint32>(d.runFirst_, r))
            return nullptr;
    }
    if (oddDatesSize > 0 && base[d.oddDates_ + oddDatesSize - 1] != '\0')
        return nullptr;
    for (quint32 i = 0; i < d.count_; ++i) {
        if (d.at<quint16>(d.extensionOfEntry_, i) >= d.extensionCount_)
            return nullptr;
        const qint64 date = d.at<qint64>(d.dates_, i);
        if (date >= 100000000000000LL || (date < 0 && -1 - date >= qint64(oddDatesSize)))
            return nullptr;
    }
    return index;
}

qint64 DiscIndex::fileId(quint32 i) const
{
    return qint64(quint64(baseId_) + at<quint32>(idDeltas_, i));
}

std::string_view DiscIndex::name(quint32 i) const
{
    const quint32 start = at<quint32>(nameOffsets_, i);
    return {data_ + names_ + start, size_t(at<quint32>(nameOffsets_, i + 1) - start - 1)};
}

qint64 DiscIndex::size(quint32 i) const
{
    return at<qint64>(sizes_, i);
}

qint64 DiscIndex::packedDate(quint32 i) const
{
    const qint64 date = at<qint64>(dates_, i);
    return date < 0 ? -1 : date;
}

std::string DiscIndex::dateText(quint32 i) const
{
    const qint64 date = at<qint64>(dates_, i);
    if (date >= 0)
        return unpackDate(date);
    return std::string(data_ + oddDates_ + (-1 - date));
}

quint32 DiscIndex::runFirst(quint32 run) const
{
    return at<quint32>(runFirst_, run);
}

std::string_view DiscIndex::runPath(quint32 run) const
{
    const quint32 start = at<quint32>(runPathOffsets_, run);
    return {data_ + paths_ + start, size_t(at<quint32>(runPathOffsets_, run + 1) - start - 1)};
}

namespace
{
// The last i in [0, n) whose value at(i) is <= key; the values rise strictly from at(0) == 0.
template <typename At> quint32 lastAtOrBelow(quint32 n, quint32 key, At at)
{
    quint32 low = 0;
    quint32 high = n;
    while (high - low > 1) {
        const quint32 mid = low + (high - low) / 2;
        if (at(mid) <= key)
            low = mid;
        else
            high = mid;
    }
    return low;
}
} // namespace

quint32 DiscIndex::runOf(quint32 entry) const
{
    return lastAtOrBelow(runCount_, entry, [this](quint32 r) { return at<quint32>(runFirst_, r); });
}

quint16 DiscIndex::extensionIndex(quint32 i) const
{
    return at<quint16>(extensionOfEntry_, i);
}

std::string_view DiscIndex::extensionText(quint32 extension) const
{
    const quint32 start = at<quint32>(extensionOffsets_, extension);
    return {data_ + extensions_ + start, size_t(at<quint32>(extensionOffsets_, extension + 1) - start - 1)};
}

std::string_view DiscIndex::foldedNames() const
{
    if (foldedNames_.size() != namesSize_)
        foldedNames_ = AsciiCase::lower(std::string_view(data_ + names_, namesSize_));
    return foldedNames_;
}

std::string_view DiscIndex::foldedPaths() const
{
    if (foldedPaths_.size() != pathsSize_)
        foldedPaths_ = AsciiCase::lower(std::string_view(data_ + paths_, pathsSize_));
    return foldedPaths_;
}

quint32 DiscIndex::nameOffset(quint32 i) const
{
    return at<quint32>(nameOffsets_, i);
}

quint32 DiscIndex::pathOffset(quint32 run) const
{
    return at<quint32>(runPathOffsets_, run);
}

quint32 DiscIndex::entryAtNameOffset(quint32 offset) const
{
    return lastAtOrBelow(count_, offset, [this](quint32 i) { return at<quint32>(nameOffsets_, i); });
}

quint32 DiscIndex::runAtPathOffset(quint32 offset) const
{
    return lastAtOrBelow(runCount_, offset, [this](quint32 r) { return at<quint32>(runPathOffsets_, r); });
}
