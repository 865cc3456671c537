#include "catalogue/Query.h"

#include "catalogue/Connection.h"
#include "common/TessaroError.h"

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
    stmt_.reset();
    eof_ = true;
}

void Query::prepare()
{
    close();
    stmt_.emplace(connection_, sql_.join(QLatin1Char('\n')).toUtf8());
    try {
        for (const auto& [name, value] : pending_) {
            const QByteArray key = ':' + name.toUtf8();
            const int index = stmt_->parameterIndex(key.constData());
            if (index == 0)
                throw TessaroError(QStringLiteral("Parameter '%1' not found").arg(name));
            if (value.isNull()) {
                stmt_->bindNull(index);
                continue;
            }
            switch (value.typeId()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::Long:
            case QMetaType::Bool:
                stmt_->bind(index, qint64(value.toLongLong()));
                break;
            case QMetaType::Double:
                stmt_->bindReal(index, value.toDouble());
                break;
            default:
                stmt_->bindText(index, value.toString().toUtf8());
            }
        }
    } catch (...) {
        close();
        throw;
    }
}

void Query::step()
{
    try {
        eof_ = !stmt_->step();
    } catch (...) {
        close();
        throw;
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

const Statement& Query::row(int column) const
{
    if (!stmt_ || eof_ || column < 0 || column >= stmt_->columnCount())
        throw TessaroError(QStringLiteral("No current record"));
    return *stmt_;
}

int Query::columnIndex(const QString& name) const
{
    if (!stmt_ || eof_)
        throw TessaroError(QStringLiteral("No current record"));
    const int count = stmt_->columnCount();
    for (int i = 0; i < count; ++i) {
        if (name.compare(stmt_->columnName(i), Qt::CaseInsensitive) == 0)
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
    return valueOf(row(i), i);
}

QVariant Query::valueOf(const Statement& current, int i)
{
    switch (current.type(i)) {
    case Statement::Type::Null:
        return {};
    case Statement::Type::Integer:
        return QVariant(qlonglong(current.integer(i)));
    case Statement::Type::Float:
        return QVariant(current.real(i));
    default: {
        const std::string_view text = current.text(i);
        return QVariant(QString::fromUtf8(text.data(), qsizetype(text.size())));
    }
    }
}

bool Query::fieldIsNull(const QString& name) const
{
    const int column = columnIndex(name);
    return stmt_->type(column) == Statement::Type::Null;
}

qint64 Query::fieldAsInt(const QString& name) const
{
    const int column = columnIndex(name);
    return stmt_->integer(column);
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
