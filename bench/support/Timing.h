#pragma once

#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <vector>

// Wall-clock timing shared by the benchmarks.
namespace Timing
{
inline double seconds(const std::function<void()>& run)
{
    QElapsedTimer timer;
    timer.start();
    run();
    return double(timer.nsecsElapsed()) / 1e9;
}

inline double millis(const std::function<void()>& run)
{
    return seconds(run) * 1e3;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace Timing
