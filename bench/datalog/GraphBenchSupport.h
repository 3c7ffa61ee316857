#pragma once

#include "support/LoneGraph.h"
#include "datalog/SampleBuffer.h"

#include <cmath>

// Sample `seq` of a four-channel recording whose readings wander slowly.
inline SampleRow graphSample(qint64 seq)
{
    SampleRow row;
    row.seqNo = seq;
    row.recTime = QStringLiteral("2026/03/05 %1:%2:%3")
                      .arg(seq / 3600 % 24, 2, 10, QLatin1Char('0'))
                      .arg(seq / 60 % 60, 2, 10, QLatin1Char('0'))
                      .arg(seq % 60, 2, 10, QLatin1Char('0'));
    for (int c = 0; c < 4; ++c) {
        const double t = double(seq) / (60.0 * (c + 1));
        row.channels[size_t(c)] = {QString::number(4 * (c + 1) + std::sin(t), 'f', 3),
                                   QString::number(0.5 + 0.4 * std::cos(t / 2) * (c + 1) / 4, 'f', 3),
                                   QStringLiteral("0")};
    }
    row.timeTick = seq;
    return row;
}
