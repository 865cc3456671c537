#pragma once

#include "catalogue/Statement.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <utility>
#include <vector>

class Connection;

// A statement object: SQL text lines, parameters written ":name" and assigned by name,
// an open/closed state and a row cursor whose fields are read by name.
class Query
{
  public:
    explicit Query(Connection& connection);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Connection& connection() { return connection_; }
    const QStringList& sql() const { return sql_; }
    // Clearing the text also forgets the parameters assigned for it.
    void clearSql();
    void addSql(const QString& line) { sql_.append(line); }

    // Assigns a parameter of the current text; ints bind as integers, strings as text,
    // a null variant as NULL. Naming a parameter the text does not have is an error.
    void setParam(const QString& name, const QVariant& value);

    // Runs a statement that returns rows and stands on its first row.
    void open();
    // Runs a statement that returns no rows.
    void execSql();
    void close() noexcept;
    bool active() const { return stmt_.has_value(); }

    bool eof() const { return eof_; }
    void next();
    QVariant field(const QString& name) const;
    QVariant value(int column) const;
    // A column of any statement's current row as the work query gives its fields.
    static QVariant valueOf(const Statement& row, int column);
    bool fieldIsNull(const QString& name) const;
    qint64 fieldAsInt(const QString& name) const;
    QString fieldAsString(const QString& name) const;

    // The work query's fixed sequence: close, clear the text, add the statement as its
    // single line, assign the parameters, then open it or execute it.
    using Params = std::vector<std::pair<QString, QVariant>>;
    void openWith(const QString& text, const Params& params = {});
    void execWith(const QString& text, const Params& params = {});

  private:
    void assign(const QString& text, const Params& params);
    void prepare();
    void step();
    int columnIndex(const QString& name) const;
    const Statement& row(int column) const;

    Connection& connection_;
    QStringList sql_;
    Params pending_;
    std::optional<Statement> stmt_;
    bool eof_ = true;
};
