// Polling of each layout at the main window's 166 ms against the virtual supply:
//  1. per layout (XPP-3202, SPP-KRX20, ZEP-2303, ZEP-4303), CPU time per second of this
//     program with the whole main window (the supply runs in its own process, zep-sim), and
//     the length of one polling cycle as the supply sees it against steps x 166 ms;
//  2. for layout 1, delay from a voltage change at the supply to the new value on the
//     panel's readout (supply in process, so the change can be made at a known moment).
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

// Query lines the supply has logged so far.
int loggedQueries(const QString &log)
{
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return int(f.readAll().count('?'));
}

struct LayoutCase {
    const char *type;
    int steps;  // steps of one polling cycle
    int lines;  // query lines the supply receives in one cycle
};

// The main window connected to the supply at `port` with its panel up, or null.
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
        std::fprintf(stderr, "the main window did not show a panel\n");
    return panel;
}

int cpuPhase(const LayoutCase &c, int seconds)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("link"));
    const QString log = dir.filePath(QStringLiteral("sim.log"));
    QProcess sim;
    sim.start(QStringLiteral(ZEP_SIM_PATH), {"--type", c.type, "--link", link, "--log", log});
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
            if (!panel->findChild<QAbstractButton *>(QStringLiteral("tbnOutput"))->isChecked())
                panel->findChild<QAbstractButton *>(QStringLiteral("tbnOutput"))->click();
            benchWaitMs(1000); // settle
            const int q0 = loggedQueries(log);
            const double cpu0 = cpuSeconds();
            QElapsedTimer wall;
            wall.start();
            benchWaitMs(seconds * 1000);
            const double cpu = cpuSeconds() - cpu0;
            const double elapsed = wall.elapsed() / 1000.0;
            const double perSecond = (loggedQueries(log) - q0) / elapsed;
            std::printf("layout %d (%s), %d steps: CPU %.1f ms per second (%.2f %% of a core); "
                        "%.2f queries per second; cycle %.0f ms (steps x 166 ms = %d ms)\n",
                        panel->layoutNumber(), c.type, c.steps, cpu * 1000 / elapsed,
                        cpu * 100 / elapsed, perSecond, c.lines * 1000.0 / perSecond,
                        c.steps * 166);
            panel->findChild<QAbstractButton *>(QStringLiteral("tbnOutput"))->click();
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
    if (!panel->findChild<QAbstractButton *>(QStringLiteral("tbnOutput"))->isChecked())
        panel->findChild<QAbstractButton *>(QStringLiteral("tbnOutput"))->click();
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
    for (const LayoutCase &c : {LayoutCase{"XPP-3202", 12, 12}, LayoutCase{"SPP-KRX20", 3, 3},
                                LayoutCase{"ZEP-2303", 4, 4}, LayoutCase{"ZEP-4303", 17, 17}}) {
        if (int rc = cpuPhase(c, seconds))
            return rc;
    }
    return delayPhase(samples);
}
