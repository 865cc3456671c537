#include "catalogue/Statement.h"

#include "catalogue/Connection.h"
#include "common/TessaroError.h"

#include <sqlite3.h>

Statement::Statement(Connection& connection, QByteArrayView sql)
    : connection_(connection), stmt_(connection.acquire(sql))
{
}

Statement::~Statement()
{
    // A disconnect has already finalized every statement of the connection.
    if (connection_.connected())
        connection_.release(stmt_);
}

int Statement::parameterIndex(const char* name) const
{
    return sqlite3_bind_parameter_index(stmt_, name);
}

int Statement::parameterCount() const
{
    return sqlite3_bind_parameter_count(stmt_);
}

void Statement::check(int rc)
{
    if (rc != SQLITE_OK)
        connection_.raise();
}

void Statement::bind(int index, qint64 value)
{
    check(sqlite3_bind_int64(stmt_, index, value));
}

void Statement::bindReal(int index, double value)
{
    check(sqlite3_bind_double(stmt_, index, value));
}

void Statement::bindBlob(int index, const QByteArray& blob)
{
    check(sqlite3_bind_blob64(stmt_, index, blob.constData(), sqlite3_uint64(blob.size()), SQLITE_STATIC));
}

void Statement::bindText(int index, QByteArrayView utf8)
{
    // SQLite binds a null pointer as NULL: empty text stays text.
    const char* data = utf8.data() ? utf8.data() : "";
    check(
        sqlite3_bind_text64(stmt_, index, data, sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8));
}

void Statement::bindTextInPlace(int index, QByteArrayView utf8)
{
    const char* data = utf8.data() ? utf8.data() : "";
    check(sqlite3_bind_text64(stmt_, index, data, sqlite3_uint64(utf8.size()), SQLITE_STATIC, SQLITE_UTF8));
}

void Statement::bindNull(int index)
{
    check(sqlite3_bind_null(stmt_, index));
}

bool Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const QString text = connection_.errorText();
    sqlite3_reset(stmt_);
    throw TessaroError(text);
}

void Statement::reset() noexcept
{
    sqlite3_reset(stmt_);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(stmt_);
}

QString Statement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(stmt_, column));
}

Statement::Type Statement::type(int column) const
{
    switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
        return Type::Integer;
    case SQLITE_FLOAT:
        return Type::Float;
    case SQLITE_TEXT:
        return Type::Text;
    case SQLITE_BLOB:
        return Type::Blob;
    default:
        return Type::Null;
    }
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

double Statement::real(int column) const
{
    return sqlite3_column_double(stmt_, column);
}

std::string_view Statement::text(int column) const
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return {data ? data : "", size_t(sqlite3_column_bytes(stmt_, column))};
}

QByteArray Statement::blob(int column) const
{
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    return QByteArray(data, sqlite3_column_bytes(stmt_, column));
}
