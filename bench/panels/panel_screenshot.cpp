// Saves a picture of layout 1 connected to the virtual supply, polling with the output on:
// panel_screenshot [file.png] (default /tmp/panel1.png).
#include "PanelRig.h"
#include "common/Wait.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/panel1.png");
    PanelRig rig;
    if (!rig.start()) {
        std::fprintf(stderr, "cannot start: %s\n", qPrintable(rig.error));
        return 1;
    }
    sim::VirtualSupply &s = rig.supply();
    s.setVoltage(1, 12.5);
    s.setCurrent(1, 1.5);
    s.setVoltage(2, 5);
    s.setCurrent(2, 0.8);
    s.setVoltage(3, 3.3);
    s.setCurrent(3, 2);
    s.setOvp(1, 20);
    s.setOcp(3, true);
    s.setOutput(true);
    rig.panel().QueryInitialValues();
    rig.panel().AfterQueryInitialValuesBeforeShow();
    rig.panel().show();
    QElapsedTimer t;
    t.start();
    auto *v3 = rig.find<QLineEdit>(QStringLiteral("txtCurrent_2"));
    while ((v3->text().isEmpty() || rig.panel().QueryIndex < 12) && t.elapsed() < 15000)
        Wait::ms(50);
    if (!rig.panel().grab().save(file)) {
        std::fprintf(stderr, "cannot save %s\n", qPrintable(file));
        return 1;
    }
    std::printf("saved %s (%dx%d)\n", qPrintable(file), rig.panel().width(), rig.panel().height());
    return 0;
}
