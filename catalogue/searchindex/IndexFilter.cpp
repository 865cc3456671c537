#include "catalogue/searchindex/IndexFilter.h"

#include "catalogue/searchindex/DiscIndex.h"
#include "catalogue/searchindex/IndexBody.h"
#include "catalogue/searchindex/ResultSnapshot.h"
#include "catalogue/searchindex/SearchPattern.h"
#include "common/AsciiCase.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace
{
// Each stretch asked for costs a look-up; a dozen narrow the pieces as far as more would.
constexpr size_t kMostTrigrams = 12;

std::string utf8(const QString& text)
{
    return text.toStdString();
}

// Where `needle` (not empty) first starts in `text` at or after `from`; npos when nowhere. Sixteen
// places at a time are tried for the needle's first and last bytes together, and only where both
// sit is it compared whole: in names that rarely happens, and this reads the text several times
// as fast as memmem, which was a tenth of a rare name's search.
size_t findLiteral(std::string_view text, size_t from, std::string_view needle)
{
    const size_t n = needle.size();
    if (from > text.size() || text.size() - from < n)
        return std::string_view::npos;
    const size_t end = text.size() - n + 1; // starts below it leave room for the needle
    const char* data = text.data();
    size_t i = from;
#ifdef __SSE2__
    const __m128i first = _mm_set1_epi8(needle.front());
    const __m128i last = _mm_set1_epi8(needle.back());
    for (; i + 16 <= end; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + n - 1));
        auto both =
            unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
        for (; both != 0; both &= both - 1) {
            const size_t at = i + size_t(std::countr_zero(both));
            if (std::memcmp(data + at, needle.data(), n) == 0)
                return at;
        }
    }
#endif
    for (; i < end; ++i) {
        if (data[i] == needle.front() && std::memcmp(data + i, needle.data(), n) == 0)
            return i;
    }
    return std::string_view::npos;
}

// The binary collation that `files.data` compares with.
int compareBinary(std::string_view a, std::string_view b)
{
    const int r = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (r != 0)
        return r;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// One date bound, compared packed when both sides are in the catalogue's form.
class DateBound
{
  public:
    explicit DateBound(const QString& value) : text_(utf8(value)), packed_(DiscIndex::packDate(text_)) {}
    // Sign of (entry's date - bound).
    int compare(const DiscIndex& index, quint32 entry) const
    {
        const qint64 date = index.packedDate(entry);
        if (date >= 0 && packed_ >= 0)
            return date < packed_ ? -1 : (date > packed_ ? 1 : 0);
        return compareBinary(index.dateText(entry), text_);
    }

  private:
    std::string text_;
    qint64 packed_;
};
} // namespace

// The conditions, applied to one disc's index.
class IndexFilter::Rules
{
  public:
    explicit Rules(const Conditions& conditions)
    {
        if (conditions.pattern)
            pattern_.emplace(conditions.pattern->toUtf8());
        if (conditions.dateFrom)
            from_.emplace(*conditions.dateFrom);
        if (conditions.dateTo)
            to_.emplace(*conditions.dateTo);
        for (const QString& extension : conditions.extensions)
            extensions_.push_back(utf8(extension));
        if (conditions.name)
            name_.emplace(*conditions.name);
    }

    bool matchesNothing() const { return pattern_ && pattern_->needsInvalidText(); }

    // Every literal stretch of a match lies in a folder or a name, and so do its three-byte
    // stretches; the longest literals come first.
    std::vector<quint32> trigrams() const
    {
        std::vector<quint32> all;
        if (name_) {
            for (const std::string& anchor : name_->anchors())
                IndexBody::addTrigrams(anchor, all);
        }
        if (pattern_) {
            for (const std::string& anchor : pattern_->anchors())
                IndexBody::addTrigrams(anchor, all);
        }
        std::vector<quint32> keys;
        for (quint32 key : all) {
            if (keys.size() == kMostTrigrams)
                break;
            if (std::find(keys.begin(), keys.end(), key) == keys.end())
                keys.push_back(key);
        }
        return keys;
    }

    std::vector<quint32> entries(const DiscIndex& index) const
    {
        std::vector<bool> extensionOk;
        if (!extensions_.empty()) {
            for (quint32 e = 0; e < index.extensionCount(); ++e)
                extensionOk.push_back(
                    std::any_of(extensions_.begin(), extensions_.end(), [&](const std::string& x) {
                        return AsciiCase::equal(index.extensionText(e), x);
                    }));
        }
        const std::vector<bool> named = name_ ? name_->matching(index) : std::vector<bool>();
        auto accept = [&](quint32 i) {
            return (!name_ || named[i]) && (extensions_.empty() || extensionOk[index.extensionIndex(i)]) &&
                   (!from_ || from_->compare(index, i) >= 0) && (!to_ || to_->compare(index, i) <= 0);
        };
        std::vector<quint32> found;
        if (!pattern_) {
            for (quint32 i = 0; i < index.count(); ++i) {
                if (accept(i))
                    found.push_back(i);
            }
            return found;
        }
        if (pattern_->needsInvalidText())
            return found;
        return matching(index, accept);
    }

  private:
    // Entries whose whole name holds the anchors (the three longest): a piece of text without
    // "\\" lies inside a folder or inside a name, never across the "\\" that ends a folder. The
    // longest is looked for in all the text at once, the others in what it found. Folders that
    // do not end with "\\" make every entry of theirs a candidate.
    std::vector<bool> candidates(const DiscIndex& index) const
    {
        const auto& anchors = pattern_->anchors();
        const std::string& first = anchors.front();
        const size_t others = std::min<size_t>(anchors.size(), 3) - 1;
        std::vector<bool> hit(index.count());
        const std::string_view names = index.foldedNames();
        const std::string_view paths = index.foldedPaths();
        quint32 entry = 0;
        for (size_t at = 0; at < names.size();) {
            const size_t found = findLiteral(names, at, first);
            if (found == std::string_view::npos)
                break;
            const auto offset = quint32(found);
            while (entry + 1 < index.count() && index.nameOffset(entry + 1) <= offset)
                ++entry;
            hit[entry] = true;
            at = entry + 1 < index.count() ? index.nameOffset(entry + 1) : names.size();
        }
        quint32 run = 0;
        for (size_t at = 0; at < paths.size();) {
            const size_t found = findLiteral(paths, at, first);
            if (found == std::string_view::npos)
                break;
            const auto offset = quint32(found);
            while (run + 1 < index.runCount() && index.pathOffset(run + 1) <= offset)
                ++run;
            const quint32 end = run + 1 < index.runCount() ? index.runFirst(run + 1) : index.count();
            for (quint32 i = index.runFirst(run); i < end; ++i)
                hit[i] = true;
            at = run + 1 < index.runCount() ? index.pathOffset(run + 1) : paths.size();
        }
        if (others == 0) {
            // One anchor: the entries holding it, and every entry of an irregular folder.
            for (quint32 r = 0; r < index.runCount(); ++r) {
                const std::string_view path = index.runPath(r);
                if (path.empty() || path.back() == '\\')
                    continue;
                const quint32 end = r + 1 < index.runCount() ? index.runFirst(r + 1) : index.count();
                for (quint32 i = index.runFirst(r); i < end; ++i)
                    hit[i] = true;
            }
            return hit;
        }
        std::vector<bool> candidate(index.count());
        for (quint32 r = 0; r < index.runCount(); ++r) {
            const std::string_view path = index.runPath(r);
            const bool regular = path.empty() || path.back() == '\\';
            const std::string_view foldedPath = paths.substr(index.pathOffset(r), path.size());
            std::vector<bool> inPath(others);
            for (size_t k = 0; k < others; ++k)
                inPath[k] = foldedPath.find(anchors[k + 1]) != std::string_view::npos;
            const quint32 end = r + 1 < index.runCount() ? index.runFirst(r + 1) : index.count();
            for (quint32 i = index.runFirst(r); i < end; ++i) {
                if (!regular) {
                    candidate[i] = true;
                    continue;
                }
                if (!hit[i])
                    continue;
                const std::string_view foldedName = names.substr(index.nameOffset(i), index.name(i).size());
                bool all = true;
                for (size_t k = 0; all && k < others; ++k)
                    all = inPath[k] || foldedName.find(anchors[k + 1]) != std::string_view::npos;
                candidate[i] = all;
            }
        }
        return candidate;
    }

    template <typename Accept> std::vector<quint32> matching(const DiscIndex& index, Accept accept) const
    {
        using Shape = SearchPattern::Shape;
        const Shape shape = pattern_->shape();
        const std::string& prefix = pattern_->prefix();
        const std::string& suffix = pattern_->suffix();
        const bool byAnchors =
            (shape == Shape::Contains || shape == Shape::General) && !pattern_->anchors().empty();
        const std::vector<bool> candidate = byAnchors ? candidates(index) : std::vector<bool>();
        const std::string_view names = index.foldedNames();
        const std::string_view paths = index.foldedPaths();
        std::vector<quint32> found;
        std::string whole;
        for (quint32 run = 0; run < index.runCount(); ++run) {
            const std::string_view path = index.runPath(run);
            const std::string_view foldedPath = paths.substr(index.pathOffset(run), path.size());
            const bool regular = path.empty() || path.back() == '\\';
            // The folder is where every whole name of the run begins.
            const size_t inPath = std::min(prefix.size(), foldedPath.size());
            if (foldedPath.compare(0, inPath, prefix, 0, inPath) != 0)
                continue;
            const std::string_view prefixInName = std::string_view(prefix).substr(inPath);
            const quint32 end = run + 1 < index.runCount() ? index.runFirst(run + 1) : index.count();
            for (quint32 i = index.runFirst(run); i < end; ++i) {
                if (byAnchors && !candidate[i])
                    continue;
                const quint32 nameStart = index.nameOffset(i);
                const std::string_view name = index.name(i);
                const std::string_view foldedName = names.substr(nameStart, name.size());
                if (foldedName.substr(0, prefixInName.size()) != prefixInName)
                    continue;
                if (!endsWith(foldedPath, foldedName, suffix))
                    continue;
                const size_t length = path.size() + name.size();
                bool match = false;
                if (shape == Shape::Exact)
                    match = length == prefix.size();
                else if (shape == Shape::Ends)
                    match = length >= prefix.size() + suffix.size();
                else if (shape == Shape::Contains && regular)
                    match = true;
                else {
                    whole.assign(path);
                    whole.append(name);
                    match = pattern_->matches(whole);
                }
                if (match && accept(i))
                    found.push_back(i);
            }
        }
        return found;
    }

    // Whether folder + name ends with `suffix`.
    static bool endsWith(std::string_view folder, std::string_view name, std::string_view suffix)
    {
        if (suffix.size() <= name.size())
            return name.substr(name.size() - suffix.size()) == suffix;
        const size_t inFolder = suffix.size() - name.size();
        return suffix.substr(inFolder) == name && inFolder <= folder.size() &&
               folder.substr(folder.size() - inFolder) == suffix.substr(0, inFolder);
    }

    std::optional<SearchPattern> pattern_;
    std::optional<DateBound> from_;
    std::optional<DateBound> to_;
    std::vector<std::string> extensions_;
    std::optional<NamePattern> name_;
};

IndexFilter::IndexFilter(const Conditions& conditions) : rules_(std::make_unique<const Rules>(conditions)) {}

IndexFilter::~IndexFilter() = default;

bool IndexFilter::matchesNothing() const
{
    return rules_->matchesNothing();
}

std::vector<quint32> IndexFilter::trigrams() const
{
    return rules_->trigrams();
}

void IndexFilter::append(const QString& label, const std::shared_ptr<const DiscIndex>& index,
                         ResultSnapshot& into) const
{
    into.append(label, index, rules_->entries(*index));
}
