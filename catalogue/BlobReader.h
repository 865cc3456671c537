#pragma once

#include <QByteArray>
#include <QtGlobal>

class Connection;
struct sqlite3_blob;

// Reads stretches of one blob column row by row, without reading the rest of the value: a
// search reads only the parts of a disc's index it needs. The table must have a rowid.
class BlobReader
{
  public:
    BlobReader(Connection& connection, const char* table, const char* column);
    ~BlobReader();
    BlobReader(const BlobReader&) = delete;
    BlobReader& operator=(const BlobReader&) = delete;

    // Moves to the row; false when it has none or its value is neither blob nor text (a text
    // opens too: ask the value's type first).
    bool open(qint64 rowid);
    qint64 size() const { return size_; }
    // Appends `length` bytes from `offset` to `into`; raises the program error on failure.
    void read(qint64 offset, qint64 length, QByteArray& into);

  private:
    Connection& connection_;
    const char* table_;
    const char* column_;
    sqlite3_blob* blob_ = nullptr;
    qint64 size_ = 0;
};
