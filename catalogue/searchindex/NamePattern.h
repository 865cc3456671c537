#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class DiscIndex;

// A name condition of the program's own, beside the `like` pattern: letters of every script
// compare without case (each character folded as Unicode's simple case folding folds it, so
// "élan" finds "Élan" and "k" the Kelvin sign), on the name alone or on the whole name
// (folder and name). The search index and the plain statement (through NameFunction) both
// answer it with this class, on UTF-8 texts.
class NamePattern
{
  public:
    enum class Syntax {
        Like, // "%" any run of characters, "_" exactly one, as the file pattern
        Glob, // "*" any run, "?" exactly one, "[...]" one of a set, "[!...]" or "[^...]" none of it
        Text, // the text anywhere, every character as itself
    };
    enum class Scope { Name, WholeName };

    // What a statement binds: the syntax and the scope as one number, and the text.
    struct Terms {
        Syntax syntax = Syntax::Text;
        Scope scope = Scope::Name;
        QString text;

        int code() const;
        static std::optional<Terms> fromCode(int code, const QString& text);
        bool operator==(const Terms&) const = default;
    };

    explicit NamePattern(const Terms& terms);

    const Terms& terms() const { return terms_; }
    bool matches(std::string_view path, std::string_view name) const;
    // Which entries of a disc's index (or of a piece of it) match, by entry.
    std::vector<bool> matching(const DiscIndex& index) const;
    // Stretches every matching name holds byte for byte once A-Z are folded, as the index's
    // filters and folded texts keep them, longest first: literal ASCII without "\" and without
    // the letters other characters fold to ("k" for the Kelvin sign, "s" for the long s).
    const std::vector<std::string>& anchors() const { return anchors_; }

    static char32_t fold(char32_t c);
    // Whether only `c` and its A-Z partner fold to `c`, so the A-Z folded bytes of a text show it.
    static bool foldsAlone(char32_t c);

  private:
    struct Set {
        bool negated = false;
        std::vector<char32_t> singles; // folded
        std::vector<std::pair<char32_t, char32_t>> ranges;
        bool accepts(char32_t c, char32_t folded) const;
    };
    struct Token {
        enum Kind : quint8 { Char, One, Any, OneOf } kind;
        char32_t c = 0;  // folded, for Char
        quint32 set = 0; // into sets_, for OneOf
    };

    bool matchesText(std::string_view text) const;
    bool matchesWhole(std::string_view path, std::string_view name, std::string& whole) const;
    void parseGlob(const std::vector<char32_t>& chars);
    void findAnchors();

    Terms terms_;
    std::vector<Token> tokens_;
    std::vector<Set> sets_;
    std::vector<std::string> anchors_;
    // The pattern is its one anchor between runs of any characters: an entry that holds the
    // anchor matches.
    bool anchorDecides_ = false;
};
