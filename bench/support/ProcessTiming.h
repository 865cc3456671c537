#pragma once

#include <QStringList>

namespace Timing
{
// Runs the program with its output thrown away; the wall time from spawn to exit, in ms, or a
// negative value when it failed.
double processMillis(const QStringList& command);
} // namespace Timing
