// Saves a picture of the main window with layout 1 connected to the virtual supply, polling
// with the output on: panel_screenshot [file.png] (default /tmp/panel1.png).
#include "MainwinRig.h"
#include "BenchSupport.h"
#include "panels/ChannelPanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/panel1.png");
    SimSupply sim(QStringLiteral("XPP-3202"));
    sim::VirtualSupply &s = *sim.supply;
    s.setVoltage(1, 12.5);
    s.setCurrent(1, 1.5);
    s.setVoltage(2, 5);
    s.setCurrent(2, 0.8);
    s.setVoltage(3, 3.3);
    s.setCurrent(3, 2);
    s.setOvp(1, 20);
    s.setOcp(3, true);
    s.setOutput(true);
    auto w = makeWindow(true);
    if (!connectTo(*w, sim)) {
        std::fprintf(stderr, "the main window did not show layout 1\n");
        return 1;
    }
    auto *panel = qobject_cast<ChannelPanel *>(w->OperatorForm());
    QElapsedTimer t;
    t.start();
    auto *i3 = panel->findChild<QLineEdit *>(QStringLiteral("txtCurrent_2"));
    while ((i3->text().isEmpty() || panel->supply().pollIndex() < 12) && t.elapsed() < 15000)
        benchWaitMs(50);
    if (!w->grab().save(file)) {
        std::fprintf(stderr, "cannot save %s\n", qPrintable(file));
        return 1;
    }
    std::printf("saved %s (%dx%d)\n", qPrintable(file), w->width(), w->height());
    return 0;
}
