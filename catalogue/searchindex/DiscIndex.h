#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One disc's files in the grid's order (folder, then name, then id), packed into a single
// byte array. It is what the catalogue stores as a disc's search index, and it is read back
// without parsing: searches and the results grid work on it directly.
//
// Texts are the catalogue's UTF-8 bytes. Dates in the catalogue's form "YYYY-MM-DD HH:MM:SS"
// are packed into the integer YYYYMMDDHHMMSS, which orders the same way as the text; any
// other date text is kept as text.
class DiscIndex
{
  public:
    class Builder
    {
      public:
        // Entries must arrive in the grid's order. Returns false, and spoils the builder, for a
        // value the index cannot hold (a NUL character, text that is not UTF-8, ids spread too
        // far, more than 65,536 extensions, more bytes than the index's offsets reach); such a
        // disc is then searched with the plain statement.
        bool add(qint64 id, std::string_view path, std::string_view name, std::string_view extension,
                 qint64 size, std::string_view date);
        bool spoilt() const { return spoilt_; }
        qint64 count() const { return qint64(ids_.size()); }
        // The bytes of the index; empty when spoilt.
        QByteArray finish();

      private:
        bool spoil();
        bool fits(std::string_view path, std::string_view name, std::string_view extension,
                  std::string_view date) const;
        quint32 addText(std::string& region, std::string_view text);

        bool spoilt_ = false;
        qsizetype extensionBytes_ = 0;
        struct Hash {
            using is_transparent = void;
            size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
        };
        std::unordered_map<std::string, quint16, Hash, std::equal_to<>> extensionIndex_;
        std::vector<qint64> ids_;
        std::vector<qint64> sizes_;
        std::vector<qint64> dates_; // packed, or -(1 + offset into oddDates_)
        std::vector<quint32> nameOffsets_;
        std::vector<quint32> runFirst_;
        std::vector<quint32> runPathOffsets_;
        std::vector<quint16> extensionOfEntry_;
        std::vector<std::string> extensions_;
        std::string names_;
        std::string paths_;
        std::string oddDates_;
        std::string lastPath_;
    };

    // Offsets are 32-bit; an index stays well clear of that and of SQLite's largest blob.
    static constexpr quint64 kMaxBytes = 512u * 1024 * 1024;

    // Null when the bytes are not a well-formed index. The second form reads `size` bytes from
    // `offset` of `buffer`, sharing it.
    static std::shared_ptr<const DiscIndex> fromBytes(const QByteArray& bytes);
    static std::shared_ptr<const DiscIndex> fromBytes(const QByteArray& buffer, qsizetype offset,
                                                      qsizetype size);

    // "YYYY-MM-DD HH:MM:SS" packed as YYYYMMDDHHMMSS; -1 for any other text.
    static qint64 packDate(std::string_view text);
    static std::string unpackDate(qint64 packed);

    quint32 count() const { return count_; }
    qint64 fileId(quint32 i) const;
    std::string_view name(quint32 i) const;
    std::string_view path(quint32 i) const { return runPath(runOf(i)); }
    qint64 size(quint32 i) const;
    // The packed date, or -1 when the entry's date is not in the catalogue's form.
    qint64 packedDate(quint32 i) const;
    std::string dateText(quint32 i) const;
    std::string_view extension(quint32 i) const { return extensionText(extensionIndex(i)); }

    quint32 runCount() const { return runCount_; }
    quint32 runFirst(quint32 run) const;
    std::string_view runPath(quint32 run) const;
    quint32 runOf(quint32 entry) const;

    quint32 extensionCount() const { return extensionCount_; }
    quint16 extensionIndex(quint32 i) const;
    std::string_view extensionText(quint32 extension) const;

    // The names and the folders, each followed by a NUL, with A-Z folded to a-z: the text
    // that substring searches scan. Folded on first use.
    std::string_view foldedNames() const;
    std::string_view foldedPaths() const;
    quint32 nameOffset(quint32 i) const;   // into foldedNames()
    quint32 pathOffset(quint32 run) const; // into foldedPaths()
    // The entry whose name holds byte `offset` of foldedNames(), the run whose folder holds
    // byte `offset` of foldedPaths().
    quint32 entryAtNameOffset(quint32 offset) const;
    quint32 runAtPathOffset(quint32 offset) const;

    qsizetype byteSize() const { return size_; }

  private:
    DiscIndex() = default;
    template <typename T> T at(qsizetype offset, quint32 i) const;

    QByteArray buffer_; // holds the bytes
    const char* data_ = nullptr;
    qsizetype size_ = 0;
    quint32 count_ = 0;
    quint32 runCount_ = 0;
    quint32 extensionCount_ = 0;
    qint64 baseId_ = 0;
    qsizetype sizes_ = 0;
    qsizetype dates_ = 0;
    qsizetype idDeltas_ = 0;
    qsizetype nameOffsets_ = 0;
    qsizetype runFirst_ = 0;
    qsizetype runPathOffsets_ = 0;
    qsizetype extensionOffsets_ = 0;
    qsizetype extensionOfEntry_ = 0;
    qsizetype names_ = 0;
    qsizetype paths_ = 0;
    qsizetype extensions_ = 0;
    qsizetype oddDates_ = 0;
    quint32 namesSize_ = 0;
    quint32 pathsSize_ = 0;
    mutable std::string foldedNames_;
    mutable std::string foldedPaths_;
};
