#pragma once

#include "datalog/RecordTypes.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

// Sample `seq` of a long recording on four channels, one per second from 2026/03/05 00:00:00.
inline SampleRow benchSample(qint64 seq)
{
    SampleRow row;
    row.seqNo = seq;
    row.recTime = QDateTime(QDate(2026, 3, 5), QTime(0, 0)).addSecs(seq).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    for (int c = 0; c < 4; ++c) {
        row.channels[size_t(c)].voltage = QString::number(5.0 * (c + 1) + double(seq % 1000) / 1000.0, 'f', 3);
        row.channels[size_t(c)].current = QString::number(0.1 * (c + 1) + double(seq % 97) / 1000.0, 'f', 3);
        row.channels[size_t(c)].reason = QString::number(c + 1);
    }
    row.timeTick = seq;
    row.diffLastTime = seq ? 1 : 0;
    return row;
}

inline double benchMsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Median time in ms of `runs` calls of `step`; false from `step` aborts (-1), after printing
// `why()` when given.
inline double benchMedian(int runs, const std::function<bool(int)> &step,
                          const std::function<QString()> &why = {})
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!step(i)) {
            std::fprintf(stderr, "step %d failed %s\n", i, why ? qPrintable(why()) : "");
            return -1;
        }
        times.push_back(benchMsSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
