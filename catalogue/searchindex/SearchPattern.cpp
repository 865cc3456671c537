#include "catalogue/searchindex/SearchPattern.h"

#include "common/AsciiCase.h"
#include "common/TessaroError.h"

#include <algorithm>

namespace
{
constexpr char32_t kAny = U'%';
constexpr char32_t kOne = U'_';
constexpr char32_t kReplacement = 0xFFFD;

// One character as SQLite reads it: a lead byte of 0xC0 or more takes every continuation
// byte that follows, however many; what decodes to ASCII, a surrogate, or U+FFFE/U+FFFF
// becomes U+FFFD; a stray continuation byte stands for itself.
char32_t readChar(const unsigned char*& p, const unsigned char* end)
{
    static constexpr unsigned char kLeadBits[64] = {
        0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
        0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f,
        0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
        0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x00, 0x01, 0x02, 0x03, 0x00, 0x01, 0x00, 0x00,
    };
    char32_t c = *p++;
    if (c < 0xC0)
        return c;
    c = kLeadBits[c - 0xC0];
    while (p < end && (*p & 0xC0) == 0x80)
        c = (c << 6) + (*p++ & 0x3F);
    if (c < 0x80 || (c & 0xFFFFF800) == 0xD800 || (c & 0xFFFFFFFE) == 0xFFFE)
        c = kReplacement;
    return c;
}

bool same(char32_t patternChar, char32_t textChar)
{
    return patternChar == textChar || (patternChar < 0x80 && textChar < 0x80 &&
                                       AsciiCase::fold(patternChar) == AsciiCase::fold(textChar));
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

std::string_view upToNul(std::string_view text)
{
    return text.substr(0, text.find('\0'));
}
} // namespace

SearchPattern::SearchPattern(const QByteArray& utf8)
{
    if (utf8.size() > kMaxBytes)
        throw TessaroError(QStringLiteral("LIKE or GLOB pattern too complex"));
    const std::string_view bytes = upToNul(std::string_view(utf8.constData(), size_t(utf8.size())));
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end)
        chars_.push_back(readChar(p, end));

    auto isWild = [](char32_t c) { return c == kAny || c == kOne; };
    for (char32_t c : chars_) {
        if (!isWild(c) && (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF))
            needsInvalidText_ = true;
    }
    auto literal = [](auto from, auto to) {
        std::string text;
        for (auto it = from; it != to; ++it)
            appendUtf8(text, AsciiCase::fold(*it));
        return text;
    };
    const auto firstWild = std::find_if(chars_.begin(), chars_.end(), isWild);
    const auto lastWild = std::find_if(chars_.rbegin(), chars_.rend(), isWild).base();
    prefix_ = literal(chars_.begin(), firstWild);
    if (firstWild == chars_.end()) {
        suffix_ = prefix_;
        shape_ = Shape::Exact;
    } else {
        suffix_ = literal(lastWild, chars_.end());
        const bool noOne = std::none_of(chars_.begin(), chars_.end(), [](char32_t c) { return c == kOne; });
        const bool oneRunOfAny = std::all_of(firstWild, lastWild, [](char32_t c) { return c == kAny; });
        if (noOne && oneRunOfAny)
            shape_ = Shape::Ends;
    }

    // The literal stretches cut at every "\": a matching text holds each piece.
    std::vector<std::string> pieces;
    for (auto it = chars_.begin(); it != chars_.end();) {
        auto stop = std::find_if(it, chars_.end(), [&isWild](char32_t c) { return isWild(c) || c == U'\\'; });
        if (stop != it)
            pieces.push_back(literal(it, stop));
        it = stop == chars_.end() ? stop : stop + 1;
    }
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (auto& piece : pieces) {
        if (std::find(anchors_.begin(), anchors_.end(), piece) == anchors_.end())
            anchors_.push_back(std::move(piece));
    }

    // "%literal%" with a literal free of "_" and "\".
    if (shape_ == Shape::General && chars_.size() >= 3 && chars_.front() == kAny && chars_.back() == kAny) {
        auto inner = std::find_if_not(chars_.begin(), chars_.end(), [](char32_t c) { return c == kAny; });
        auto innerEnd = std::find_if(inner, chars_.end(), isWild);
        const bool restAny = std::all_of(innerEnd, chars_.end(), [](char32_t c) { return c == kAny; });
        if (inner != innerEnd && restAny && std::find(inner, innerEnd, U'\\') == innerEnd)
            shape_ = Shape::Contains;
    }
}

bool SearchPattern::matches(std::string_view text) const
{
    text = upToNul(text);
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = s + text.size();
    const size_t m = chars_.size();
    size_t p = 0;
    // Where the last "%" was, and the text position it has been stretched to so far.
    size_t resumeP = 0;
    const unsigned char* resumeS = nullptr;
    for (;;) {
        if (p < m && chars_[p] == kAny) {
            resumeP = ++p;
            resumeS = s;
            continue;
        }
        if (s == end)
            break;
        const unsigned char* next = s;
        const char32_t c = readChar(next, end);
        if (p < m && (chars_[p] == kOne || same(chars_[p], c))) {
            ++p;
            s = next;
            continue;
        }
        if (!resumeS)
            return false;
        readChar(resumeS, end);
        s = resumeS;
        p = resumeP;
    }
    while (p < m && chars_[p] == kAny)
        ++p;
    return p == m;
}
