#pragma once

#include <QEventLoop>
#include <QTimer>

// Benchmarks drive the program from the top, like a user: they may wait with the event loop
// running (nothing here runs under the program's own timers).
inline void benchWaitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
