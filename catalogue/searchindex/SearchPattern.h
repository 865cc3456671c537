#pragma once

#include <QByteArray>
#include <string>
#include <string_view>
#include <vector>

// A `like` pattern read exactly as SQLite reads it, so that the search index answers what the
// statement would: "%" matches any run of characters, "_" exactly one, letters A-Z match
// either case, every other character only itself; characters are UTF-8 sequences decoded the
// way SQLite decodes them, and text ends at a NUL.
class SearchPattern
{
  public:
    // SQLite refuses longer patterns; so does this, with SQLite's words.
    static constexpr qsizetype kMaxBytes = 50000;

    explicit SearchPattern(const QByteArray& utf8);

    bool matches(std::string_view text) const;

    // How much of the matching the literal text alone decides.
    enum class Shape {
        General,
        Exact,    // no wildcard: the text equals the literal
        Ends,     // a literal, one run of "%", a literal: the text starts with one, ends with the other
        Contains, // "%", a literal without "\", "%": the text holds the literal
    };
    Shape shape() const { return shape_; }

    // Literal text, UTF-8 with A-Z folded to a-z (how texts compare byte for byte): what a
    // matching text starts with and ends with (empty when the pattern starts or ends with a
    // wildcard), and the stretches without "\" it holds somewhere, longest first.
    const std::string& prefix() const { return prefix_; }
    const std::string& suffix() const { return suffix_; }
    const std::vector<std::string>& anchors() const { return anchors_; }
    // A literal character no valid UTF-8 text holds: nothing in the index can match.
    bool needsInvalidText() const { return needsInvalidText_; }

  private:
    std::vector<char32_t> chars_;
    Shape shape_ = Shape::General;
    std::string prefix_;
    std::string suffix_;
    std::vector<std::string> anchors_;
    bool needsInvalidText_ = false;
};
