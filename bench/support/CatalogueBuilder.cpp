#include "bench/support/CatalogueBuilder.h"

#include "catalogue/Connection.h"
#include "catalogue/Statement.h"
#include "catalogue/Transaction.h"
#include "catalogue/searchindex/SearchIndex.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace
{
const std::vector<std::string> kWords = {
    "alpha",   "beta",   "gamma",   "delta", "summer", "winter", "holiday", "family",  "work",     "project",
    "draft",   "final",  "old",     "new",   "misc",   "backup", "archive", "notes",   "data",     "budget",
    "invoice", "letter", "meeting", "plan",  "review", "scan",   "copy",    "print",   "home",     "school",
    "travel",  "party",  "garden",  "house", "car",    "Rome",   "Paris",   "wedding", "birthday", "office"};
const std::vector<std::string> kArtists = {"Beatles",     "Queen",   "Pink Floyd", "Mozart", "Bach",
                                           "Miles Davis", "Nirvana", "Madonna",    "Prince", "Abba"};

// Appends the pieces; GCC 12 warns falsely about chains of string + at -O2.
std::string join(std::initializer_list<std::string_view> pieces)
{
    std::string out;
    for (std::string_view piece : pieces)
        out.append(piece);
    return out;
}

class Generator
{
  public:
    explicit Generator(quint32 seed) : random_(seed) {}

    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    double chance() { return std::uniform_real_distribution<double>(0, 1)(random_); }
    template <typename T> const T& pick(const std::vector<T>& from)
    {
        return from[size_t(between(0, int(from.size()) - 1))];
    }
    std::string word() { return pick(kWords); }
    std::string title(std::string w)
    {
        if (!w.empty() && w[0] >= 'a' && w[0] <= 'z')
            w[0] = char(w[0] - 32);
        return w;
    }
    std::string number(int value, int width)
    {
        std::string digits = std::to_string(value);
        while (int(digits.size()) < width)
            digits.insert(digits.begin(), '0');
        return digits;
    }

    // A folder of one kind and the year its files date from.
    std::pair<std::string, int> folder(int kind)
    {
        const int year = between(1995, 2024);
        const std::string y = std::to_string(year);
        switch (kind) {
        case 0:
            return {join({"\\photos\\", y, "\\", word(), " ", word(), "\\"}), year};
        case 1:
            return {join({"\\music\\", pick(kArtists), "\\", title(word()), " ", y, "\\"}), year};
        case 2: {
            static const std::vector<std::string> subs = {
                "work\\letters", "personal", "taxes\\", "school\\", "work\\", "work\\projects\\",
                "house\\",       "bank",     "car",     "travel\\", "health", "work\\reports"};
            std::string sub = pick(subs);
            if (sub.back() == '\\')
                sub += sub == "taxes\\" ? y : word();
            return {join({"\\documents\\", sub, "\\"}), year};
        }
        case 3:
            return {join({"\\software\\", word(), "\\v", std::to_string(between(1, 9)), ".",
                          std::to_string(between(0, 9)), "\\"}),
                    year};
        case 4:
            return {join({"\\backup\\projects\\", word(), "\\src\\",
                          pick(std::vector<std::string>{"core", "ui", "net", "util", "test"}), "\\"}),
                    year};
        case 5:
            return {join({"\\video\\", word(), "\\"}), year};
        default:
            return {join({"\\", word(), "\\"}), year};
        }
    }

    std::string name(int kind, int i)
    {
        switch (kind) {
        case 0: {
            static const std::vector<std::string> exts = {".jpg", ".JPG", ".jpg", ".jpeg", ".png", ".raw"};
            static const std::vector<std::string> stems = {"IMG_", "DSC", "P"};
            return join({pick(stems), number(between(0, 99999), 5), pick(exts)});
        }
        case 1:
            return join({number(i % 20 + 1, 2), " - ", title(word()), " ", word(), ".",
                         pick(std::vector<std::string>{"mp3", "mp3", "ogg", "flac", "MP3"})});
        case 2: {
            std::string stem = word();
            if (chance() < 0.05)
                stem = join({pick(std::vector<std::string>{"report", "Report", "REPORT", "reports"}), "_",
                             std::to_string(between(1995, 2024))});
            return join(
                {stem, " ", word(), ".",
                 pick(std::vector<std::string>{"doc", "pdf", "txt", "xls", "docx", "odt", "TXT", "PDF"})});
        }
        case 3:
            return pick(std::vector<std::string>{"setup.exe", "readme.txt", "install.ini",
                                                 join({"lib", word(), ".dll"}), join({word(), ".exe"}),
                                                 "license.txt", join({"data", std::to_string(i), ".cab"}),
                                                 "autorun.inf", join({word(), ".hlp"})});
        case 4:
            return join(
                {word(), "_", word(),
                 pick(std::vector<std::string>{".c", ".h", ".cpp", ".py", ".java", ".o", "", ".txt"})});
        case 5:
            return join({word(), " ", std::to_string(i), ".",
                         pick(std::vector<std::string>{"avi", "mpg", "mkv", "mp4", "VOB", "IFO", "BUP"})});
        default:
            return join({"file", number(i, 5),
                         pick(std::vector<std::string>{"", ".dat", ".bin", ".bak", ".tmp", ".log"})});
        }
    }

    std::string date(int year)
    {
        return join({std::to_string(year), "-", number(between(1, 12), 2), "-", number(between(1, 28), 2),
                     " ", number(between(0, 23), 2), ":", number(between(0, 59), 2), ":",
                     number(between(0, 59), 2)});
    }

    qint64 size() { return qint64(std::pow(10.0, std::uniform_real_distribution<double>(2, 8.5)(random_))); }

  private:
    std::mt19937 random_;
};

class Insert
{
  public:
    Insert(Connection& connection, const char* sql) : statement_(connection, sql) {}
    void text(int i, const std::string& value) { statement_.bindText(i, value); }
    void integer(int i, qint64 value) { statement_.bind(i, value); }
    void run()
    {
        statement_.step();
        statement_.reset();
    }

  private:
    Statement statement_;
};

qint64 scalar(Connection& connection, const char* sql)
{
    Statement one(connection, sql);
    return one.step() ? one.integer(0) : 0;
}
} // namespace

void CatalogueBuilder::build(Connection& connection, int discs, int filesPerDisc, bool searchIndex)
{
    Generator g(seed_);
    qint64 fileId = scalar(connection, "select coalesce(max(id), 0) from files");
    qint64 discId = scalar(connection, "select coalesce(max(id), 0) from cd");
    // Discs go in a few dozen to a transaction, in a large page cache: each disc's postings
    // touch pages all over their table, which the next discs touch again.
    const int perTransaction = searchIndex ? 32 : 1;
    connection.exec("PRAGMA cache_size=-262144");
    std::optional<Transaction> transaction;
    for (int d = 0; d < discs; ++d) {
        if (!transaction)
            transaction.emplace(connection);
        ++discId;
        {
            Insert disc(connection, "insert into cd (id, etichetta, tipo, data) values (?1, ?2, ?3, ?4)");
            disc.integer(1, discId);
            disc.text(2, join({"DISC_", g.number(int(discId), 3)}));
            disc.text(3, g.chance() < 0.7 ? "C" : "D");
            disc.text(4, join({"2024-0", std::to_string(g.between(1, 9)), "-1",
                               std::to_string(g.between(0, 9)), " 10:00:00"}));
            disc.run();
        }
        Insert file(connection,
                    "insert or fail into files (id, id_cd, nome, path, estensione, dimensione, data) "
                    "values (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        int written = 0;
        while (written < filesPerDisc) {
            const int kind = g.between(0, 6);
            const auto [path, year] = g.folder(kind);
            const int inFolder = std::min(filesPerDisc - written, g.between(5, 40));
            for (int i = 0; i < inFolder; ++i, ++written) {
                const std::string name = g.name(kind, i);
                const size_t dot = name.rfind('.');
                file.integer(1, ++fileId);
                file.integer(2, discId);
                file.text(3, name);
                file.text(4, path);
                file.text(5, dot == std::string::npos ? std::string() : name.substr(dot));
                file.integer(6, g.size());
                file.text(7, g.date(year));
                file.run();
            }
        }
        if (searchIndex)
            SearchIndex::indexDisc(connection, discId);
        if ((d + 1) % perTransaction == 0 || d + 1 == discs) {
            transaction->commit();
            transaction.reset();
        }
    }
    connection.exec("PRAGMA cache_size=-2000");
}
