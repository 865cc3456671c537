#include "catalogue/BlobReader.h"

#include "catalogue/Connection.h"
#include "common/TessaroError.h"

#include <QString>
#include <sqlite3.h>

BlobReader::BlobReader(Connection& connection, const char* table, const char* column)
    : connection_(connection), table_(table), column_(column)
{
}

BlobReader::~BlobReader()
{
    if (blob_)
        sqlite3_blob_close(blob_);
}

bool BlobReader::open(qint64 rowid)
{
    size_ = 0;
    // Moving an open handle costs far less than opening one; a handle that failed to move is spent.
    const int rc = blob_ ? sqlite3_blob_reopen(blob_, rowid)
                         : sqlite3_blob_open(connection_.db_, "main", table_, column_, rowid, 0, &blob_);
    if (rc != SQLITE_OK) {
        sqlite3_blob_close(blob_);
        blob_ = nullptr;
        return false;
    }
    size_ = sqlite3_blob_bytes(blob_);
    return true;
}

void BlobReader::read(qint64 offset, qint64 length, QByteArray& into)
{
    if (!blob_ || offset < 0 || length < 0 || offset + length > size_ || length > INT_MAX)
        throw TessaroError(QStringLiteral("A read beyond the end of a stored value"));
    const qsizetype at = into.size();
    into.resize(at + qsizetype(length));
    if (sqlite3_blob_read(blob_, into.data() + at, int(length), int(offset)) != SQLITE_OK)
        connection_.raise();
}
