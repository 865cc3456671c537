#pragma once

#include <QStringList>

namespace Timing
{
// A whole process's cost: wall time from spawn to exit and the processor time it used (user and
// system, its own children included), both in ms; negative when it failed. On a shared machine
// the processor time moves far less with the load than the wall time.
struct ProcessTime {
    double wall = -1;
    double cpu = -1;
    bool ok() const { return wall >= 0; }
};
ProcessTime processTime(const QStringList& command);
// Runs the program with its output thrown away; the wall time, as above.
double processMillis(const QStringList& command);
} // namespace Timing
