#pragma once

#include <sys/resource.h>

#include <QFile>

// This process's memory as the kernel counts it, in KiB.
namespace ProcessMemory
{
// The most it has held in memory at once so far.
inline long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// What it holds now; -1 when /proc cannot tell.
inline long currentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}
} // namespace ProcessMemory
