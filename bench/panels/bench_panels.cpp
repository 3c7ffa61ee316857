// Layout 1 polling at the main window's 166 ms against the virtual supply XPP-3202:
//  1. CPU time per second of this program (the supply runs in its own process, zep-sim),
//     with layout 1 inside the whole main window;
//  2. delay from a voltage change at the supply to the new value on the panel's readout
//     (supply in process, so the change can be made at a known moment).
#include "MainwinRig.h"
#include "BenchSupport.h"
#include "panels/ChannelPanel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <ctime>

namespace {

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// CPU per second over `seconds` of polling; `queryIndex` reads the panel's cycle position.
void measure(const char *what, int seconds, const std::function<int()> &queryIndex)
{
    benchWaitMs(1000); // settle
    const int index0 = queryIndex();
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    benchWaitMs(seconds * 1000);
    const double cpu = cpuSeconds() - cpu0;
    const double elapsed = wall.elapsed() / 1000.0;
    const int queued = queryIndex() - index0;
    std::printf("%s, polling layout 1 at 166 ms for %0.1f s: CPU %.1f ms per second (%.2f %%), "
                "%.1f queries queued per second\n",
                what, elapsed, cpu * 1000 / elapsed, cpu * 100 / elapsed, queued / elapsed);
}

// The main window connected to the supply at `port` with layout 1 up, or null.
ChannelPanel *connectedPanel(MDIForm1 &w, const QString &port)
{
    w.show();
    w.SetupSerialPort(port, 9600);
    QElapsedTimer t;
    t.start();
    while (!(w.OperatorForm() && w.OperatorForm()->isVisible()) && t.elapsed() < 30000)
        benchWaitMs(20);
    auto *panel = qobject_cast<ChannelPanel *>(w.OperatorForm());
    if (!panel)
        std::fprintf(stderr, "the main window did not show layout 1\n");
    return panel;
}

int cpuPhase(int seconds)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("link"));
    const QString log = dir.filePath(QStringLiteral("sim.log"));
    QProcess sim;
    sim.start(QStringLiteral(ZEP_SIM_PATH), {"--type", "XPP-3202", "--link", link, "--log", log});
    if (!sim.waitForStarted(5000))
        return std::fprintf(stderr, "zep-sim did not start\n"), 1;
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(link) && t.elapsed() < 5000)
        benchWaitMs(20);

    int rc = 1;
    {
        MDIForm1 w;
        if (ChannelPanel *panel = connectedPanel(w, link)) {
            if (!panel->tbnOutput()->isChecked())
                panel->tbnOutput()->click();
            measure("whole main window", seconds, [panel] { return panel->QueryIndex; });
            panel->tbnOutput()->click();
            rc = 0;
        }
    }
    sim.terminate();
    sim.waitForFinished(3000);
    return rc;
}

int delayPhase(int samples)
{
    SimSupply sim(QStringLiteral("XPP-3202"));
    sim.server->setWireTimeEmulation(true); // the serial line's real pace
    sim.supply->setCurrent(1, 3);
    sim.supply->setLoad(1, 100);
    MDIForm1 w;
    ChannelPanel *panel = connectedPanel(w, sim.port());
    if (!panel)
        return 1;
    if (!panel->tbnOutput()->isChecked())
        panel->tbnOutput()->click();
    benchWaitMs(1000);

    auto *readout = panel->findChild<QLineEdit *>(QStringLiteral("txtVoltage_0"));
    QList<double> delays;
    for (int k = 0; k < samples; ++k) {
        const double volts = 1.0 + k % 20;
        const QString expected = QString::number(volts, 'f', 3);
        // Change at a random moment of the polling cycle, as a real change would come.
        benchWaitMs(int(QRandomGenerator::global()->bounded(2000)));
        sim.supply->setVoltage(1, volts);
        QElapsedTimer t;
        t.start();
        while (readout->text() != expected && t.elapsed() < 10000)
            benchWaitMs(1);
        delays << double(t.elapsed());
    }
    std::sort(delays.begin(), delays.end());
    double sum = 0;
    for (double d : delays)
        sum += d;
    std::printf("change at the supply to readout, %d samples: mean %.0f ms, median %.0f ms, "
                "max %.0f ms\n",
                samples, sum / samples, delays.at(samples / 2), delays.last());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int samples = argc > 2 ? std::max(1, atoi(argv[2])) : 20;
    if (int rc = cpuPhase(seconds))
        return rc;
    return delayPhase(samples);
}
