#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace quillmore::bench {

// Runs `run` `runs` times and prints the median, best and worst wall time.
inline void report(const char* what, const std::function<void()>& run, int runs = 5)
{
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%-52s median %.3f s  best %.3f s  worst %.3f s\n", what, seconds[runs / 2],
                seconds.front(), seconds.back());
}

} // namespace quillmore::bench
