#include "FakePorts.h"
#include "common/Prompter.h"
#include "settings/SettingsStore.h"
#include "ports/AutoDetect.h"
#include "setup/dlgConfigRS232.h"
#include "sim/PtySupplyServer.h"
#include "sim/SupplyModel.h"
#include "sim/VirtualSupply.h"
#include "support/TestEnvironment.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Runs a search to its end (bounded): its result.
AutoDetector::Result search(AutoDetector &detector, const QStringList &ports)
{
    QSignalSpy finished(&detector, &AutoDetector::finished);
    detector.start(ports, dlgConfigRS232::baudList());
    if (finished.isEmpty() && !finished.wait(20000))
        return {};
    return finished.first().first().value<AutoDetector::Result>();
}

const QString Idn = QStringLiteral("ZEP,NV-3202,SN0001,V1.00\n");
const QStringList Bauds = dlgConfigRS232::baudList();
}

class TestAutoDetect : public QObject
{
    Q_OBJECT

    ScriptedPrompter prompter;

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateUserFolders();
        Prompter::install(&prompter);
    }

    // What counts as an identifying reply: terminated, containing "NV"; exactly one repeat
    // per combination after a terminated "Invalid Character.", whose reply counts.
    void replyRules()
    {
        const QByteArray invalid("Invalid Character.\n");
        const struct {
            QByteArray first, later;
            AutoDetector::Outcome outcome;
            qsizetype probes;
        } cases[] = {
            {"ZEP,NV-3202", "ZEP,NV-3202", AutoDetector::Outcome::NotFound, Bauds.size()},  // unterminated
            {"OTHER,DMM\r", "OTHER,DMM\r", AutoDetector::Outcome::NotFound, Bauds.size()},  // not the supply
            {invalid, Idn.toLatin1(), AutoDetector::Outcome::Found, 2},
            {invalid, invalid, AutoDetector::Outcome::NotFound, 2 * Bauds.size()},
            {"Invalid Character.", "", AutoDetector::Outcome::NotFound, Bauds.size()},  // no reply: no repeat
        };
        for (const auto &c : cases) {
            FakeProber prober;
            prober.openable = {QStringLiteral("ttyS0")};
            prober.answer = [&c](const QString &, int, int nth) { return nth == 0 ? c.first : c.later; };
            AutoDetector detector(prober);
            detector.setReplyWaitMs(0);
            const auto result = search(detector, {QStringLiteral("ttyS0")});
            QCOMPARE(result.outcome, c.outcome);
            QCOMPARE(prober.probes.size(), c.probes);
            if (c.outcome == AutoDetector::Outcome::Found)
                QCOMPARE(result.reply, Idn);
        }
    }

    // No usable port: nothing is probed. (Cancelling a search: tst_dialogs.)
    void noPortsNothingProbed()
    {
        FakeProber prober;
        AutoDetector detector(prober);
        QCOMPARE(search(detector, {QStringLiteral("ttyS0")}).outcome, AutoDetector::Outcome::NoPorts);
        QVERIFY(prober.probes.isEmpty());
    }

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

        dlgConfigRS232 dlg(nullptr, std::make_unique<FakeLister>(QStringList{QStringLiteral("ttyNOPE")}));
        dlg.addPort(supplyServer.portName());
        dlg.addPort(silentServer.portName());
        QTimer::singleShot(0, &dlg, [&dlg] {
            dlg.findChild<QPushButton *>(QStringLiteral("cmdAutoConn"))->click();
            QPushButton *ok = dlg.findChild<QPushButton *>(QStringLiteral("OKButton"));
            // The window stays alive during the search; OK is taken once it has ended.
            QObject::connect(&dlg.autoDetector(), &AutoDetector::finished, ok, &QPushButton::click,
                             Qt::QueuedConnection);
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
        QStringList expected;  // bauds outer, usable ports inner from the last listed down
        for (const char *baud : {"9600", "4800", "2400", "1200", "115200"})
            expected << QStringLiteral("silent@%1 *IDN?").arg(baud) << QStringLiteral("supply@%1 *IDN?").arg(baud);
        QCOMPARE(heard, expected);
    }
};

QTEST_MAIN(TestAutoDetect)
#include "tst_autodetect.moc"
