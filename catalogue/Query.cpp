#include "catalogue/Query.h"

#include "catalogue/Connection.h"
#include "common/TessaroError.h"

#include <sqlite3.h>

Query::Query(Connection& connection) : connection_(connection) {}

Query::~Query()
{
    close();
}

void Query::setParam(const QString& name, const QVariant& value)
{
    for (auto& param : pending_) {
        if (param.first == name) {
            param.second = value;
            return;
        }
    }
    pending_.emplace_back(name, value);
}

void Query::close() noexcept
{
    if (stmt_ && connection_.connected())
        connection_.release(stmt_);
    stmt_ = nullptr;
    eof_ = true;
}

void Query::prepare()
{
    close();
    const QByteArray text = sql_.join(QLatin1Char('\n')).toUtf8();
    sqlite3_stmt* stmt = connection_.acquire(text);
    for (const auto& [name, value] : pending_) {
        const QByteArray key = ':' + name.toUtf8();
        const int index = sqlite3_bind_parameter_index(stmt, key.constData());
        if (index == 0) {
            connection_.release(stmt);
            throw TessaroError(QStringLiteral("Parameter '%1' not found").arg(name));
        }
        int rc = SQLITE_OK;
        if (value.isNull()) {
            rc = sqlite3_bind_null(stmt, index);
        } else {
            switch (value.typeId()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::Long:
            case QMetaType::Bool:
                rc = sqlite3_bind_int64(stmt, index, value.toLongLong());
                break;
            case QMetaType::Double:
                rc = sqlite3_bind_double(stmt, index, value.toDouble());
                break;
            default: {
                const QByteArray utf8 = value.toString().toUtf8();
                rc = sqlite3_bind_text(stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            }
            }
        }
        if (rc != SQLITE_OK) {
            connection_.release(stmt);
            connection_.raise();
        }
    }
    stmt_ = stmt;
}

void Query::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        eof_ = false;
    } else if (rc == SQLITE_DONE) {
        eof_ = true;
    } else {
        const QString text = connection_.errorText();
        close();
        throw TessaroError(text);
    }
}

void Query::open()
{
    prepare();
    step();
}

void Query::execSql()
{
    prepare();
    step();
    close();
}

void Query::next()
{
    if (!stmt_ || eof_)
        return;
    step();
}

int Query::columnIndex(const QString& name) const
{
    if (!stmt_ || eof_)
        throw TessaroError(QStringLiteral("No current record"));
    const int count = sqlite3_column_count(stmt_);
    for (int i = 0; i < count; ++i) {
        if (name.compare(QString::fromUtf8(sqlite3_column_name(stmt_, i)), Qt::CaseInsensitive) == 0)
            return i;
    }
    throw TessaroError(QStringLiteral("Field '%1' not found").arg(name));
}

QVariant Query::field(const QString& name) const
{
    return value(columnIndex(name));
}

QVariant Query::value(int i) const
{
    if (!stmt_ || eof_ || i < 0 || i >= sqlite3_column_count(stmt_))
        throw TessaroError(QStringLiteral("No current record"));
    switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(stmt_, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt_, i));
    default:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i)),
                                          sqlite3_column_bytes(stmt_, i)));
    }
}

bool Query::fieldIsNull(const QString& name) const
{
    return sqlite3_column_type(stmt_, columnIndex(name)) == SQLITE_NULL;
}

qint64 Query::fieldAsInt(const QString& name) const
{
    return sqlite3_column_int64(stmt_, columnIndex(name));
}

QString Query::fieldAsString(const QString& name) const
{
    return field(name).toString();
}

void Query::clearSql()
{
    sql_.clear();
    pending_.clear();
}

void Query::assign(const QString& text, const Params& params)
{
    close();
    clearSql();
    addSql(text);
    for (const auto& [name, value] : params)
        setParam(name, value);
}

void Query::openWith(const QString& text, const Params& params)
{
    assign(text, params);
    open();
}

void Query::execWith(const QString& text, const Params& params)
{
    assign(text, params);
    execSql();
}
