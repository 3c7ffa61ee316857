#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

// Benchmarks drive the program from the top, like a user: they may wait with the event loop
// running (nothing here runs under the program's own timers).
inline void benchWaitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// The resident size of this process in kB, -1 when unknown.
inline long vmRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}
