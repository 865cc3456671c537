#include "catalogue/searchindex/NamePattern.h"

#include "catalogue/searchindex/DiscIndex.h"

#include <QChar>
#include <QList>
#include <algorithm>
#include <string.h>

namespace
{
constexpr char32_t kReplacement = 0xFFFD;

// One character of UTF-8 text; each byte of a sequence that is not well formed stands for
// U+FFFD. The index holds only well-formed text; the plain statement may see any.
char32_t decode(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char lead = *p++;
    if (lead < 0x80)
        return lead;
    const int more = lead >= 0xF0 ? 3 : (lead >= 0xE0 ? 2 : (lead >= 0xC2 ? 1 : 0));
    if (more == 0 || lead > 0xF4 || end - p < more)
        return kReplacement;
    char32_t c = lead & (0x3F >> more);
    for (int i = 0; i < more; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return kReplacement;
        c = (c << 6) | (p[i] & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (c < kLeast[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return kReplacement;
    p += more;
    return c;
}

std::vector<char32_t> characters(const QString& text)
{
    std::vector<char32_t> chars;
    for (const char32_t c : text.toUcs4())
        chars.push_back(c);
    return chars;
}

// Marks each entry whose folded name holds `anchor`, looking through all the names at once.
void markNames(const DiscIndex& index, const std::string& anchor, std::vector<bool>& marks)
{
    const std::string_view names = index.foldedNames();
    quint32 entry = 0;
    for (size_t at = 0; at < names.size();) {
        const void* found = memmem(names.data() + at, names.size() - at, anchor.data(), anchor.size());
        if (!found)
            break;
        const auto offset = quint32(static_cast<const char*>(found) - names.data());
        while (entry + 1 < index.count() && index.nameOffset(entry + 1) <= offset)
            ++entry;
        marks[entry] = true;
        at = entry + 1 < index.count() ? index.nameOffset(entry + 1) : names.size();
    }
}

// Marks every entry of each folder that holds `anchor`, and of each folder that does not end
// with "\": there a stretch may run from the folder into the name.
void markFolders(const DiscIndex& index, const std::string& anchor, std::vector<bool>& marks)
{
    const std::string_view paths = index.foldedPaths();
    for (quint32 run = 0; run < index.runCount(); ++run) {
        const std::string_view path = paths.substr(index.pathOffset(run), index.runPath(run).size());
        if (!path.empty() && path.back() == '\\' && path.find(anchor) == std::string_view::npos)
            continue;
        const quint32 end = run + 1 < index.runCount() ? index.runFirst(run + 1) : index.count();
        for (quint32 i = index.runFirst(run); i < end; ++i)
            marks[i] = true;
    }
}
} // namespace

int NamePattern::Terms::code() const
{
    return int(syntax) * 2 + (scope == Scope::WholeName ? 1 : 0);
}

std::optional<NamePattern::Terms> NamePattern::Terms::fromCode(int code, const QString& text)
{
    if (code < 0 || code > int(Syntax::Text) * 2 + 1)
        return std::nullopt;
    return Terms{Syntax(code / 2), code % 2 ? Scope::WholeName : Scope::Name, text};
}

char32_t NamePattern::fold(char32_t c)
{
    if (c < 0x80)
        return c >= U'A' && c <= U'Z' ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

bool NamePattern::foldsAlone(char32_t c)
{
    // Only U+212A and U+017F, of all characters beyond ASCII, fold into it.
    return c < 0x80 && c != U'k' && c != U's' && c != U'K' && c != U'S';
}

bool NamePattern::Set::accepts(char32_t c, char32_t folded) const
{
    bool hit = std::find(singles.begin(), singles.end(), folded) != singles.end();
    // A range holds a character when the character or one of its cases lies in it.
    const char32_t forms[] = {c, folded, QChar::toUpper(folded), QChar::toTitleCase(folded)};
    for (size_t r = 0; !hit && r < ranges.size(); ++r) {
        for (const char32_t form : forms)
            hit = hit || (form >= ranges[r].first && form <= ranges[r].second);
    }
    return hit != negated;
}

NamePattern::NamePattern(const Terms& terms) : terms_(terms)
{
    const std::vector<char32_t> chars = characters(terms.text);
    switch (terms.syntax) {
    case Syntax::Like:
        for (const char32_t c : chars) {
            if (c == U'%')
                tokens_.push_back({Token::Any});
            else if (c == U'_')
                tokens_.push_back({Token::One});
            else
                tokens_.push_back({Token::Char, fold(c)});
        }
        break;
    case Syntax::Glob:
        parseGlob(chars);
        break;
    case Syntax::Text:
        tokens_.push_back({Token::Any});
        for (const char32_t c : chars)
            tokens_.push_back({Token::Char, fold(c)});
        tokens_.push_back({Token::Any});
        break;
    }
    findAnchors();
}

void NamePattern::parseGlob(const std::vector<char32_t>& chars)
{
    const size_t n = chars.size();
    for (size_t i = 0; i < n; ++i) {
        const char32_t c = chars[i];
        if (c == U'*') {
            tokens_.push_back({Token::Any});
            continue;
        }
        if (c == U'?') {
            tokens_.push_back({Token::One});
            continue;
        }
        if (c == U'[') {
            Set set;
            size_t j = i + 1;
            if (j < n && (chars[j] == U'!' || chars[j] == U'^')) {
                set.negated = true;
                ++j;
            }
            // A "]" first in the set is one of its members.
            bool first = true;
            for (; j < n && (first || chars[j] != U']'); first = false) {
                if (j + 2 < n && chars[j + 1] == U'-' && chars[j + 2] != U']') {
                    set.ranges.emplace_back(chars[j], chars[j + 2]);
                    j += 3;
                } else {
                    set.singles.push_back(fold(chars[j]));
                    ++j;
                }
            }
            if (j < n) {
                tokens_.push_back({Token::OneOf, 0, quint32(sets_.size())});
                sets_.push_back(std::move(set));
                i = j;
                continue;
            }
            // Without its "]", "[" is itself.
        }
        tokens_.push_back({Token::Char, fold(c)});
    }
}

void NamePattern::findAnchors()
{
    std::vector<std::string> pieces;
    std::string piece;
    auto cut = [&] {
        if (!piece.empty())
            pieces.push_back(std::move(piece));
        piece.clear();
    };
    // A NUL never serves: it ends each name and folder in the index's folded texts.
    bool allLiteral = true;
    for (const Token& token : tokens_) {
        const bool literal = token.kind == Token::Char && token.c != 0 && foldsAlone(token.c) &&
                             !(terms_.scope == Scope::WholeName && token.c == U'\\');
        allLiteral = allLiteral && (literal || token.kind == Token::Any);
        if (literal)
            piece.push_back(char(token.c));
        else
            cut();
    }
    cut();
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (auto& p : pieces) {
        if (std::find(anchors_.begin(), anchors_.end(), p) == anchors_.end())
            anchors_.push_back(std::move(p));
    }
    const auto literal = [](const Token& token) { return token.kind != Token::Any; };
    const auto first = std::find_if(tokens_.begin(), tokens_.end(), literal);
    const auto last = std::find_if(tokens_.rbegin(), tokens_.rend(), literal).base();
    anchorDecides_ = allLiteral && pieces.size() == 1 && first != tokens_.begin() && last != tokens_.end();
}

bool NamePattern::matches(std::string_view path, std::string_view name) const
{
    std::string whole;
    return matchesWhole(path, name, whole);
}

bool NamePattern::matchesWhole(std::string_view path, std::string_view name, std::string& whole) const
{
    if (terms_.scope == Scope::Name)
        return matchesText(name);
    whole.assign(path);
    whole.append(name);
    return matchesText(whole);
}

bool NamePattern::matchesText(std::string_view text) const
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = s + text.size();
    const size_t m = tokens_.size();
    size_t p = 0;
    // Where the last "any run" was, and the text position it has been stretched to so far.
    size_t resumeP = 0;
    const unsigned char* resumeS = nullptr;
    for (;;) {
        if (p < m && tokens_[p].kind == Token::Any) {
            resumeP = ++p;
            resumeS = s;
            continue;
        }
        if (s == end)
            break;
        const unsigned char* next = s;
        const char32_t c = decode(next, end);
        if (p < m) {
            const Token& token = tokens_[p];
            const char32_t folded = fold(c);
            const bool same = token.kind == Token::One || (token.kind == Token::Char && token.c == folded) ||
                              (token.kind == Token::OneOf && sets_[token.set].accepts(c, folded));
            if (same) {
                ++p;
                s = next;
                continue;
            }
        }
        if (!resumeS)
            return false;
        decode(resumeS, end);
        s = resumeS;
        p = resumeP;
    }
    while (p < m && tokens_[p].kind == Token::Any)
        ++p;
    return p == m;
}

std::vector<bool> NamePattern::matching(const DiscIndex& index) const
{
    const quint32 count = index.count();
    // Only entries that hold the longest anchor can match; the others are never decoded.
    std::vector<bool> candidate(count, anchors_.empty());
    if (!anchors_.empty()) {
        markNames(index, anchors_.front(), candidate);
        if (terms_.scope == Scope::WholeName)
            markFolders(index, anchors_.front(), candidate);
    }
    std::vector<bool> match(count);
    std::string whole;
    for (quint32 run = 0; run < index.runCount(); ++run) {
        const std::string_view path = index.runPath(run);
        // Where a folder does not end with "\\", every entry is a candidate: each is tried.
        const bool decided =
            anchorDecides_ && (terms_.scope == Scope::Name || path.empty() || path.back() == '\\');
        const quint32 end = run + 1 < index.runCount() ? index.runFirst(run + 1) : count;
        for (quint32 i = index.runFirst(run); i < end; ++i)
            match[i] = candidate[i] && (decided || matchesWhole(path, index.name(i), whole));
    }
    return match;
}
