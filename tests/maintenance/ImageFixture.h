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
