// `zepctl log --every 1s`, for a minute and for twelve hours. Two parts:
//  1. Real time: zepctl logging from the virtual supply (zep-sim, a process of its own) for
//     70 s; the CPU share of zepctl's polling and recording over 60 s and its resident memory
//     at start, middle and end, read from /proc.
//  2. Twelve hours of samples on a fake clock: the same recording (CliLog on a connected
//     supply) ticked 43,200 times without waiting, resident memory at the start and after
//     each two hours, then the record saved.
// Run: bench_log
#include "BenchSupport.h"

#include "cli/CliConnection.h"
#include "cli/CliLog.h"
#include "common/Clock.h"
#include "supply/Supply.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>

namespace {

// CPU seconds (user + system) and resident kB of process `pid`.
struct Usage {
    double cpuSeconds = -1;
    long rssKb = -1;
};

Usage usageOf(qint64 pid)
{
    Usage u;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        // Fields 14 and 15 of the line (utime, stime) are 11 and 12 after the name.
        u.cpuSeconds = (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &l : status.readAll().split('\n'))
            if (l.startsWith("VmRSS:"))
                u.rssKb = l.mid(6).trimmed().split(' ').value(0).toLong();
    return u;
}

bool realTime(const QString &folder)
{
    const QString link = folder + QStringLiteral("/supply");
    QProcess sim;
    sim.start(QStringLiteral(ZEPSIM_PATH), {QStringLiteral("--type"), QStringLiteral("XPP-3202"), QStringLiteral("--link"), link});
    if (!sim.waitForReadyRead(10000)) {
        std::fprintf(stderr, "zep-sim did not start\n");
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZEP_DATA_DIR"), folder + QStringLiteral("/store"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
    const QStringList port{QStringLiteral("--port"), link, QStringLiteral("--baud"), QStringLiteral("115200")};
    QProcess set;
    set.setProcessEnvironment(env);
    set.start(QStringLiteral(ZEPCTL_PATH), port + QStringList{"set", "ch1.voltage=12", "ch1.current=2", "output=on"});
    set.waitForFinished(30000);

    QProcess log;
    log.setProcessEnvironment(env);
    log.start(QStringLiteral(ZEPCTL_PATH), port + QStringList{"log", "--every", "1s", "--for", "75s"});
    if (!log.waitForStarted())
        return false;
    // Identification and the first readings are over after a few seconds.
    benchWaitMs(5000);
    const Usage start = usageOf(log.processId());
    QElapsedTimer clock;
    clock.start();
    benchWaitMs(30000);
    const Usage middle = usageOf(log.processId());
    benchWaitMs(30000);
    const Usage end = usageOf(log.processId());
    const double seconds = clock.elapsed() / 1000.0;
    log.waitForFinished(60000);
    std::printf("real time, zepctl log --every 1s (zep-sim in its own process):\n");
    std::printf("  resident memory: start %ld kB, middle %ld kB, end %ld kB\n", start.rssKb, middle.rssKb, end.rssKb);
    std::printf("  CPU over %.1f s: %.2f s = %.3f %% of one core\n", seconds, end.cpuSeconds - start.cpuSeconds,
                100 * (end.cpuSeconds - start.cpuSeconds) / seconds);
    std::printf("  exit status %d, record %s\n", log.exitCode(), log.readAllStandardOutput().trimmed().constData());
    sim.terminate();
    sim.waitForFinished(5000);
    return true;
}

bool fakeHour()
{
    CliOptions options;
    options.simulate = QStringLiteral("XPP-3202");
    CliConnection connection(options);
    Supply *supply = nullptr;
    QObject::connect(&connection, &CliConnection::ready, [&supply](Supply &s) { supply = &s; });
    connection.start();
    for (int i = 0; i < 200 && !supply; ++i)
        benchWaitMs(50);
    if (!supply)
        return false;
    supply->setOutput(true);
    connection.connection().QueryTimer.start();
    benchWaitMs(3000);
    // Polling stops so the fake hour passes without the link's time-outs.
    connection.connection().QueryTimer.stop();
    benchWaitMs(1000);

    CliLog log(*supply);
    if (const auto why = log.open()) {
        std::fprintf(stderr, "%s\n", qPrintable(*why));
        return false;
    }
    FakeClock fake(QDateTime::currentDateTime());
    ScopedClock scoped(fake);
    if (log.begin(std::get<CliLog::Period>(CliLog::period(1000, 0))))
        return false;
    RecordingEngine &engine = log.engine();
    engine.TimerRecordData.start(24 * 3600 * 1000);  // ticked here instead
    constexpr int Ticks = 12 * 3600;
    QStringList rss{QString::number(vmRssKb())};
    QElapsedTimer clock;
    clock.start();
    for (int tick = 1; tick <= Ticks; ++tick) {
        fake.advanceMs(1000);
        engine.TimerRecordData_Timer();
        if (tick % 100 == 0)
            QCoreApplication::processEvents();
        if (tick % (2 * 3600) == 0)
            rss << QString::number(vmRssKb());
    }
    const double tickMs = clock.elapsed() / double(Ticks);
    clock.restart();
    const auto record = log.end(QStringLiteral("twelve hours"));
    std::printf("twelve hours on a fake clock, %d ticks:\n", Ticks);
    std::printf("  resident memory at 0, 2, 4 ... 12 h: %s kB\n", qPrintable(rss.join(QStringLiteral(", "))));
    std::printf("  %.3f ms a tick (sample committed), %lld samples, saved as record %s in %lld ms\n", tickMs,
                log.sampleCount(), qPrintable(record.value_or(QStringLiteral("-"))), clock.elapsed());
    connection.close();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("config"));
    qputenv("ZEP_DATA_DIR", (dir.path() + QStringLiteral("/hour")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toLocal8Bit());
    const bool ok = fakeHour() && realTime(dir.path());
    return ok ? 0 : 1;
}
