// Saves a picture of the main window with the panel of a catalogue type connected to the
// virtual supply, polling with the output on: panel_screenshot [file.png] [TYPE] (default
// /tmp/panel1.png and XPP-3202, layout 1). Channel 2 (and 4) are set to limit their current,
// so the panel shows both CV and CC.
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
    const QString type = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("XPP-3202");
    SimSupply sim(type);
    sim::VirtualSupply &s = *sim.supply;
    // Set points the supply does not have (channels, protection) are refused; that is fine.
    s.setVoltage(1, 12.5);
    s.setCurrent(1, 1.5);
    s.setVoltage(2, 5);
    s.setCurrent(2, 0.3);  // 0.5 A into the load wanted: the current limits
    s.setVoltage(3, 3.3);
    s.setCurrent(3, 2);
    s.setVoltage(4, 2.5);
    s.setCurrent(4, 0.1);
    s.setOvp(1, 20);
    s.setOcp(3, true);
    s.setOutput(true);
    auto w = makeWindow(true);
    if (!connectTo(*w, sim)) {
        std::fprintf(stderr, "the main window did not show the panel of %s\n", qPrintable(type));
        return 1;
    }
    auto *panel = qobject_cast<ChannelPanel *>(w->OperatorForm());
    QElapsedTimer t;
    t.start();
    auto *last = panel->findChild<QLineEdit *>(
        QStringLiteral("txtCurrent_%1").arg(panel->channelCount() - 1));
    while ((last->text().isEmpty() || panel->supply().pollIndex() < 20) && t.elapsed() < 15000)
        benchWaitMs(50);
    if (!w->grab().save(file)) {
        std::fprintf(stderr, "cannot save %s\n", qPrintable(file));
        return 1;
    }
    std::printf("saved %s (%dx%d)\n", qPrintable(file), w->width(), w->height());
    return 0;
}
