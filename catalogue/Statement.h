#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <string_view>

class Connection;
struct sqlite3_stmt;

// One prepared statement borrowed from the connection's cache for one scope: bound, stepped
// and read here, reset and handed back when it goes. Every statement the catalogue runs goes
// through this class.
class Statement
{
  public:
    enum class Type { Integer, Float, Text, Blob, Null };

    Statement(Connection& connection, QByteArrayView sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters count from 1; a name is written with its prefix (":vid"). 0 when the text has none.
    int parameterIndex(const char* name) const;
    int parameterCount() const;
    void bind(int index, qint64 value);
    void bindReal(int index, double value);
    // The bytes must stay as they are until the statement has run: they are not copied.
    void bindBlob(int index, const QByteArray& blob);
    // UTF-8 text, copied; the bytes are taken as they are, also when they are not valid UTF-8.
    void bindText(int index, QByteArrayView utf8);
    // The same without the copy: the bytes must stay as they are until the statement has run.
    void bindTextInPlace(int index, QByteArrayView utf8);
    void bindNull(int index);

    // True on a row, false when done; raises the program error on failure.
    bool step();
    // Ready to run again from the start; the bound values stay.
    void reset() noexcept;

    int columnCount() const;
    QString columnName(int column) const;
    Type type(int column) const;
    qint64 integer(int column) const;
    double real(int column) const;
    // Valid until the next step or reset.
    std::string_view text(int column) const;
    QByteArray blob(int column) const;

  private:
    void check(int rc);

    Connection& connection_;
    sqlite3_stmt* stmt_;
};
