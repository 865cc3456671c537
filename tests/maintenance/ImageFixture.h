#pragma once

#include "catalogue/Query.h"
#include "common/LocalDateTime.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QtTest>

// Trees, images and archives made at test time with the tools the project's scripts install,
// and the file rows a disc got, as "path|name|size|date" lines.
namespace ImageFixture
{
struct TreeFile {
    QString relative; // "/" separated
    int size;
    QString date; // local "yyyy-MM-dd HH:mm:ss"
};

// Writes the files below root with their sizes and modification times.
inline bool writeTree(const QString& root, const QList<TreeFile>& files)
{
    for (const TreeFile& f : files) {
        const QString path = root + QLatin1Char('/') + f.relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(f.size, 'x')) != f.size ||
            !file.flush())
            return false;
        const QDateTime when = QDateTime::fromString(f.date, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!file.setFileTime(when, QFileDevice::FileModificationTime))
            return false;
    }
    return true;
}

// The row a walk of the tree gives each file, in the same form as rows() below.
inline QString rowOf(const QString& relative, qint64 size, const QString& date)
{
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    QString path = QLatin1Char('\\') + relative.left(slash + 1);
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QStringLiteral("%1|%2|%3|%4").arg(path, relative.mid(slash + 1)).arg(size).arg(date);
}

// Runs a tool in a folder; an empty result means it ran and exited with 0.
inline QString run(const QString& program, const QStringList& args, const QString& folder = {})
{
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        return program + QStringLiteral(" is not installed (tools/install-deps --test installs it)");
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(found, args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAll());
    return {};
}

// No free tool writes RAR, so the tests write RAR 4 archives of stored (uncompressed) members:
// the marker, the archive header, a header with its data for each member, the end header; each
// header checked by the low half of its CRC-32. Names use "\\" between folders, as WinRAR writes
// them; times are MS-DOS local times (two-second steps).
struct RarMember {
    QString name;
    QByteArray data;
    QDateTime modified;
};

inline quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    return ~crc;
}

inline bool writeRar(const QString& path, const QList<RarMember>& members)
{
    const auto le = [](quint64 value, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i)
            out.append(char(value >> (8 * i)));
        return out;
    };
    // type, flags, size and the rest of a header, after the CRC of all but the CRC itself.
    const auto header = [&le](int type, int flags, const QByteArray& rest) {
        const QByteArray body = le(type, 1) + le(flags, 2) + le(7 + rest.size(), 2) + rest;
        return le(crc32(body) & 0xFFFF, 2) + body;
    };
    QByteArray rar("Rar!\x1A\x07\x00", 7);
    rar += header(0x73, 0, QByteArray(6, '\0'));
    for (const RarMember& m : members) {
        const QDate d = m.modified.date();
        const QTime t = m.modified.time();
        const quint32 dos = quint32(d.year() - 1980) << 25 | quint32(d.month()) << 21 |
                            quint32(d.day()) << 16 | quint32(t.hour()) << 11 | quint32(t.minute()) << 5 |
                            quint32(t.second() / 2);
        const QByteArray name = m.name.toLatin1();
        constexpr int kLongBlock = 0x8000, kWindows = 2, kVersion20 = 20, kStored = 0x30, kArchived = 0x20;
        rar += header(0x74, kLongBlock,
                      le(m.data.size(), 4) + le(m.data.size(), 4) + le(kWindows, 1) + le(crc32(m.data), 4) +
                          le(dos, 4) + le(kVersion20, 1) + le(kStored, 1) + le(name.size(), 2) +
                          le(kArchived, 4) + name) +
               m.data;
    }
    rar += header(0x7B, 0x4000, {});
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(rar) == rar.size();
}

// The file rows of a disc in the order they were written.
inline QStringList rows(Query& query, qint64 disc)
{
    QStringList out;
    query.openWith(
        QStringLiteral("select path, nome, dimensione, data from files where id_cd = :d order by id"),
        {{QStringLiteral("d"), disc}});
    for (; !query.eof(); query.next())
        out << QStringLiteral("%1|%2|%3|%4")
                   .arg(query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                        query.value(3).toString());
    query.close();
    return out;
}
} // namespace ImageFixture
