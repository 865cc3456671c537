#pragma once

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

// Timing shared by the benchmarks: wall clock, and processor time where the machine is shared.
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

// Processor time of this process (all its threads) while `run` runs: on a shared, loaded
// machine it says what the work costs where wall time says how long it waited.
inline double cpuMillis(const std::function<void()>& run)
{
    const auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    };
    const double start = now();
    run();
    return now() - start;
}

// The machine's one-minute load average, as /proc/loadavg gives it; -1 when unknown.
inline double loadAverage()
{
    double load = -1;
    if (FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1)
            load = -1;
        std::fclose(file);
    }
    return load;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace Timing
