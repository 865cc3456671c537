#include "catalogue/searchindex/NameFunction.h"

#include "catalogue/searchindex/NamePattern.h"

#include <memory>
#include <sqlite3.h>
#include <string_view>

namespace
{
std::string_view text(sqlite3_value* value)
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return bytes ? std::string_view(bytes, size_t(sqlite3_value_bytes(value))) : std::string_view();
}

// The pattern is made once per statement run: SQLite keeps it beside the bound text.
void nameMatch(sqlite3_context* context, int, sqlite3_value** argv)
{
    for (int i = 0; i < 4; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
    }
    const int code = sqlite3_value_int(argv[0]);
    auto* pattern = static_cast<const NamePattern*>(sqlite3_get_auxdata(context, 1));
    std::unique_ptr<NamePattern> unkept;
    if (!pattern || pattern->terms().code() != code) {
        const std::string_view bytes = text(argv[1]);
        const auto terms =
            NamePattern::Terms::fromCode(code, QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
        if (!terms) {
            sqlite3_result_error(context, "tessaro_name_match: unknown form", -1);
            return;
        }
        unkept = std::make_unique<NamePattern>(*terms);
        pattern = unkept.get();
        sqlite3_set_auxdata(context, 1, unkept.release(),
                            [](void* p) { delete static_cast<NamePattern*>(p); });
        // SQLite may have let it go at once (out of memory): then it is made again next time.
        if (sqlite3_get_auxdata(context, 1) != pattern) {
            unkept = std::make_unique<NamePattern>(*terms);
            pattern = unkept.get();
        }
    }
    sqlite3_result_int(context, pattern->matches(text(argv[2]), text(argv[3])) ? 1 : 0);
}
} // namespace

namespace NameFunction
{
bool install(sqlite3* db)
{
    return sqlite3_create_function_v2(db, "tessaro_name_match", 4,
                                      SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr,
                                      &nameMatch, nullptr, nullptr, nullptr) == SQLITE_OK;
}
} // namespace NameFunction
