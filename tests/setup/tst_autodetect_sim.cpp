#include "FakePorts.h"
#include "common/Prompter.h"
#include "settings/SettingsStore.h"
#include "setup/AutoDetect.h"
#include "setup/dlgConfigRS232.h"
#include "sim/PtySupplyServer.h"
#include "sim/SupplyModel.h"
#include "sim/VirtualSupply.h"
#include "support/TestEnvironment.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestAutoDetectSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    // Three listed ports: one missing, the supply, a silent line. The search probes the silent
    // line first; the supply answers only when the port runs at 115200, so it is found on the
    // tenth probe, and OK stores the link and the speed.
    void findsSupplyAt115200OnSecondPort()
    {
        QTemporaryDir dir;
        sim::VirtualSupply supply(*sim::modelForType(QStringLiteral("XPP-3202")));
        sim::PtySupplyServer supplyServer(supply);
        QVERIFY2(supplyServer.start(dir.filePath(QStringLiteral("supply"))), qPrintable(supplyServer.errorString()));
        sim::VirtualSupply silent(*sim::modelForType(QStringLiteral("XPP-3202")));
        silent.faults().dropAnswers = 1000;
        sim::PtySupplyServer silentServer(silent);
        QVERIFY2(silentServer.start(dir.filePath(QStringLiteral("silent"))), qPrintable(silentServer.errorString()));

        QStringList heard;  // "<port>@<baud>" for every line each side received
        connect(&supplyServer, &sim::PtySupplyServer::lineReceived, this, [&](const QString &line) {
            heard << QStringLiteral("supply@%1 %2").arg(supplyServer.portBaudRate()).arg(line);
            if (supplyServer.portBaudRate() != 115200)
                supply.faults().dropAnswers = 1;  // garbage at a wrong speed: no answer
        });
        connect(&silentServer, &sim::PtySupplyServer::lineReceived, this, [&](const QString &line) {
            heard << QStringLiteral("silent@%1 %2").arg(silentServer.portBaudRate()).arg(line);
        });

        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        dlgConfigRS232 dlg(nullptr, std::make_unique<FakeLister>(QStringList{QStringLiteral("ttyNOPE")}));
        dlg.addPort(supplyServer.portName());
        dlg.addPort(silentServer.portName());
        QTimer::singleShot(0, &dlg, [&dlg] {
            dlg.findChild<QPushButton *>(QStringLiteral("cmdAutoConn"))->click();
            dlg.findChild<QPushButton *>(QStringLiteral("OKButton"))->click();
        });
        QVERIFY(dlg.Execute());

        QCOMPARE(dlg.portName(), supplyServer.portName());
        QCOMPARE(dlg.BaudRate, 115200);
        QCOMPARE(SettingsStore::read(SettingKeys::ComPort), supplyServer.portName());
        QCOMPARE(SettingsStore::read(SettingKeys::BaudRateIndex), QStringLiteral("4"));
        QVERIFY(AutoDetect::AutoConnecting);
        QCOMPARE(prompter.messageTexts(),
                 QStringList({QStringLiteral("Detect Configuration Successfully!\r\nPorts: ") + supplyServer.portName()
                              + QStringLiteral(" ,Baud Rate:115200\r\nZENVOLT,XPP-3202,SN00002,V2.01\n")}));
        const QStringList expected{"silent@9600 *IDN?", "supply@9600 *IDN?", "silent@4800 *IDN?", "supply@4800 *IDN?",
                                   "silent@2400 *IDN?", "supply@2400 *IDN?", "silent@1200 *IDN?", "supply@1200 *IDN?",
                                   "silent@115200 *IDN?", "supply@115200 *IDN?"};
        QCOMPARE(heard, expected);
    }
};

QTEST_MAIN(TestAutoDetectSim)
#include "tst_autodetect_sim.moc"
