#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QMap>
#include <QString>
#include <QTimeZone>
#include <QtEndian>
#include <algorithm>

// Turns a UDF 2.01 image with files (as UDFclient writes it: one physical partition, extended
// file entries, folders recorded inside their entries) into a UDF 2.50 or 2.60 image whose file
// set lives in a metadata partition, the layout those revisions use; no Debian tool writes such
// an image with files. The entries stay where they are: the metadata file is an extent of the
// physical partition starting at the file set descriptor, so every reference to an entry is
// rewritten relative to it (and to the metadata partition), while file data stays in the
// physical partition. A mirror copy of the metadata is written too. Entries named in `modified`
// get that modification time, recorded with the time's own offset from UTC.
namespace UdfMetadataImage
{
namespace detail
{
inline quint16 u16(const QByteArray& d, qsizetype at)
{
    return qFromLittleEndian<quint16>(d.constData() + at);
}
inline quint32 u32(const QByteArray& d, qsizetype at)
{
    return qFromLittleEndian<quint32>(d.constData() + at);
}
inline void put16(QByteArray& d, qsizetype at, quint16 v)
{
    qToLittleEndian(v, d.data() + at);
}
inline void put32(QByteArray& d, qsizetype at, quint32 v)
{
    qToLittleEndian(v, d.data() + at);
}
inline void put64(QByteArray& d, qsizetype at, quint64 v)
{
    qToLittleEndian(v, d.data() + at);
}

inline bool tagged(const QByteArray& d, qsizetype at)
{
    unsigned sum = 0;
    for (int i = 0; i < 16; ++i)
        sum += i == 4 ? 0 : quint8(d[at + i]);
    return u16(d, at) != 0 && quint8(sum) == quint8(d[at + 4]);
}

// Sets a descriptor's body length for its CRC, its CRC-ITU and the tag's checksum.
inline void seal(QByteArray& d, qsizetype at, int bodyLength = -1)
{
    if (bodyLength >= 0)
        put16(d, at + 10, quint16(bodyLength));
    quint16 crc = 0;
    for (int i = 0; i < u16(d, at + 10); ++i) {
        crc ^= quint16(quint8(d[at + 16 + i]) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = quint16(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    put16(d, at + 8, crc);
    unsigned sum = 0;
    for (int i = 0; i < 16; ++i)
        sum += i == 4 ? 0 : quint8(d[at + i]);
    d[at + 4] = char(sum);
}

// An ECMA-167 timestamp: local time of type 1 with its offset from UTC in minutes.
inline void putTime(QByteArray& d, qsizetype at, const QDateTime& when)
{
    const int offset = when.offsetFromUtc() / 60;
    put16(d, at, quint16(0x1000 | (offset & 0x0FFF)));
    put16(d, at + 2, quint16(when.date().year()));
    d[at + 4] = char(when.date().month());
    d[at + 5] = char(when.date().day());
    d[at + 6] = char(when.time().hour());
    d[at + 7] = char(when.time().minute());
    d[at + 8] = char(when.time().second());
    d[at + 9] = d[at + 10] = d[at + 11] = 0;
}

inline QString fidName(const QByteArray& d, qsizetype fid)
{
    const int length = quint8(d[fid + 19]);
    const QByteArray raw = d.mid(fid + 38 + u16(d, fid + 36), length);
    if (raw.isEmpty())
        return {};
    if (raw[0] == 8)
        return QString::fromLatin1(raw.mid(1));
    QString name;
    for (qsizetype i = 1; i + 1 < raw.size(); i += 2)
        name.append(QChar(char16_t(quint8(raw[i]) << 8 | quint8(raw[i + 1]))));
    return name;
}
} // namespace detail

// Returns an empty text when the image was rewritten, else what stopped it.
inline QString convert(const QString& image, quint16 revision, const QMap<QString, QDateTime>& modified)
{
    using namespace detail;
    constexpr qsizetype kBlock = 2048;
    constexpr int kFsd = 256, kFid = 257, kFileEntry = 261, kExtendedEntry = 266;
    QFile file(image);
    if (!file.open(QIODevice::ReadWrite))
        return file.errorString();
    QByteArray d = file.readAll();
    const qsizetype blocks = d.size() / kBlock;

    qsizetype partStart = -1, partLength = 0;
    quint16 partNumber = 0;
    for (qsizetype b = 16; b < 512 && b < blocks && partStart < 0; ++b)
        if (tagged(d, b * kBlock) && u16(d, b * kBlock) == 5) {
            partNumber = u16(d, b * kBlock + 22);
            partStart = u32(d, b * kBlock + 188);
            partLength = u32(d, b * kBlock + 192);
        }
    if (partStart < 0 || partStart + partLength > blocks)
        return QStringLiteral("no partition");
    const auto at = [&](qsizetype block) { return (partStart + block) * kBlock; };

    // The metadata: every file set descriptor and entry, partition blocks [first, end).
    qsizetype first = partLength, end = 0;
    QMap<qsizetype, QString> names; // entry block -> name
    for (qsizetype b = 0; b < partLength; ++b) {
        if (!tagged(d, at(b)))
            continue;
        const int tag = u16(d, at(b));
        if (tag != kFsd && tag != kFileEntry && tag != kExtendedEntry)
            continue;
        first = std::min(first, b);
        end = b + 1;
        if (tag == kFileEntry)
            return QStringLiteral("plain file entries");
        const qsizetype ads = at(b) + 216 + u32(d, at(b) + 208);
        const int adType = u16(d, at(b) + 34) & 7;
        if (d[at(b) + 27] == 4 && adType != 3)
            return QStringLiteral("a folder recorded outside its entry");
        if (d[at(b) + 27] == 5 && adType == 0)
            return QStringLiteral("short allocation descriptors");
        if (adType == 3)
            for (qsizetype f = ads; f + 38 < ads + u32(d, at(b) + 212);
                 f += (38 + quint8(d[f + 19]) + u16(d, f + 36) + 3) & ~qsizetype(3))
                if (!fidName(d, f).isEmpty())
                    names.insert(u32(d, f + 24), fidName(d, f));
    }
    if (end == 0)
        return QStringLiteral("no file set");
    const qsizetype length = end - first;
    // The metadata file's entry, the mirror's entry and the mirror copy, at the partition's end.
    const qsizetype mainEntry = partLength - 1, mirrorEntry = partLength - 2;
    const qsizetype mirror = partLength - 2 - length;
    if (mirror <= end || d.mid(at(mirror), (length + 2) * kBlock).count('\0') != (length + 2) * kBlock)
        return QStringLiteral("no room for the metadata mirror");

    const auto rebase = [&](qsizetype longAd) {
        const quint32 block = u32(d, longAd + 4);
        if (u16(d, longAd + 8) != 0 || block < first || block >= end)
            return false;
        put32(d, longAd + 4, quint32(block - first));
        put16(d, longAd + 8, 1);
        return true;
    };
    for (qsizetype b = first; b < end; ++b) {
        const qsizetype e = at(b);
        if (!tagged(d, e))
            continue;
        const int tag = u16(d, e);
        put32(d, e + 12, quint32(b - first));
        if (tag == kFsd) {
            if (!rebase(e + 400))
                return QStringLiteral("the root folder lies outside the metadata");
            put16(d, e + 416 + 24, revision);
        } else if (tag == kExtendedEntry) {
            const qsizetype ads = e + 216 + u32(d, e + 208);
            if ((u16(d, e + 34) & 7) == 3) {
                for (qsizetype f = ads; f + 38 < ads + u32(d, e + 212);
                     f += (38 + quint8(d[f + 19]) + u16(d, f + 36) + 3) & ~qsizetype(3)) {
                    // A deleted file's identifier may point nowhere.
                    const bool deleted = quint8(d[f + 18]) & 0x04;
                    if (u16(d, f) != kFid || (!rebase(f + 20) && !deleted))
                        return QStringLiteral("a folder entry points outside the metadata");
                    put32(d, f + 12, quint32(b - first));
                    seal(d, f);
                }
            } else {
                for (qsizetype a = ads; a + 16 <= ads + u32(d, e + 212); a += 16)
                    if (u16(d, a + 8) == 0 && u32(d, a + 4) < end && u32(d, a + 4) + 1 > first)
                        return QStringLiteral("file data inside the metadata");
            }
            const auto named = modified.constFind(names.value(b));
            if (named != modified.constEnd())
                putTime(d, e + 92, *named);
        }
        seal(d, e);
    }

    // The metadata file and its mirror: extended entries of types 250 and 251 with one extent.
    const auto writeEntry = [&](qsizetype block, int type, qsizetype extent) {
        const qsizetype e = at(block);
        d.replace(e, kBlock, QByteArray(kBlock, '\0'));
        put16(d, e, kExtendedEntry);
        put16(d, e + 2, 3);
        put32(d, e + 12, quint32(block));
        put16(d, e + 20, 4);
        put16(d, e + 24, 1);
        d[e + 27] = char(type);
        put32(d, e + 36, 0xFFFFFFFF);
        put32(d, e + 40, 0xFFFFFFFF);
        put16(d, e + 48, 1);
        put64(d, e + 56, quint64(length * kBlock));
        put64(d, e + 64, quint64(length * kBlock));
        put64(d, e + 72, quint64(length));
        const QDateTime made(QDate(2020, 1, 1), QTime(0, 0), QTimeZone::utc());
        for (int t = 80; t <= 116; t += 12)
            putTime(d, e + t, made);
        put32(d, e + 128, 1);
        put32(d, e + 212, 8);
        put32(d, e + 216, quint32(length * kBlock));
        put32(d, e + 220, quint32(extent));
        seal(d, e, 216 + 8 - 16);
    };
    writeEntry(mainEntry, 250, first);
    writeEntry(mirrorEntry, 251, mirror);
    d.replace(at(mirror), length * kBlock, d.mid(at(first), length * kBlock));

    // The volume's descriptors: a metadata partition map, the revision, the file set's place.
    for (qsizetype b = 16; b < partStart; ++b) {
        const qsizetype v = b * kBlock;
        if (!tagged(d, v))
            continue;
        if (u16(d, v) == 6) {
            if (!rebase(v + 248))
                return QStringLiteral("the file set lies outside the metadata");
            put16(d, v + 216 + 24, revision);
            const quint32 table = u32(d, v + 264);
            QByteArray map(64, '\0');
            map[0] = 2;
            map[1] = 64;
            map.replace(5, 23, "*UDF Metadata Partition");
            put16(map, 28, revision);
            put16(map, 36, 1);
            put16(map, 38, partNumber);
            put32(map, 40, quint32(mainEntry));
            put32(map, 44, quint32(mirrorEntry));
            put32(map, 48, 0xFFFFFFFF);
            put32(map, 52, 32);
            put16(map, 56, 1);
            d.replace(v + 440 + table, 64, map);
            put32(d, v + 264, table + 64);
            put32(d, v + 268, u32(d, v + 268) + 1);
            seal(d, v, int(440 + table + 64 - 16));
        } else if (u16(d, v) == 9) {
            // One free space and one size entry for each partition, then the implementation use
            // with the revisions needed to read and to write the volume.
            const quint32 count = u32(d, v + 72);
            const quint32 use = u32(d, v + 76);
            QByteArray sizes = d.mid(v + 80, 8 * count);
            sizes.insert(4 * count, QByteArray(4, '\0'));
            sizes.append(QByteArray(4, '\0'));
            put32(sizes, 8 * count + 4, quint32(length));
            QByteArray implementation = d.mid(v + 80 + 8 * count, use);
            put16(implementation, 40, revision);
            put16(implementation, 42, revision);
            put16(implementation, 44, revision);
            // Written over the block's unused end, so nothing after it moves.
            d.replace(v + 80, sizes.size() + implementation.size(), sizes + implementation);
            put32(d, v + 72, count + 1);
            seal(d, v, int(80 + 8 * (count + 1) + use - 16));
        }
    }
    d.truncate(blocks * kBlock);
    return file.seek(0) && file.write(d) == d.size() ? QString() : file.errorString();
}
} // namespace UdfMetadataImage
