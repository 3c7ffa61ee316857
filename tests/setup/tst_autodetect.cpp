#include "FakePorts.h"
#include "setup/AutoDetect.h"
#include "setup/dlgConfigRS232.h"
#include "support/TestEnvironment.h"

#include <QtTest>

namespace {
const QString Idn = QStringLiteral("ZEP,NV-3202,SN0001,V1.00\n");
const QStringList Bauds = dlgConfigRS232::baudList();
}

class TestAutoDetect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    // What counts as an identifying reply: terminated, containing "NV"; exactly one repeat
    // per combination after a terminated "Invalid Character.", whose reply counts. (Probe
    // order and the supply found at 115200: tst_autodetect_sim.)
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
            int waits = 0;
            detector.setWaiter([&](int ms) { waits += ms == AutoDetector::ReplyWaitMs; });
            const auto result = detector.run({QStringLiteral("ttyS0")}, Bauds);
            QCOMPARE(result.outcome, c.outcome);
            QCOMPARE(prober.probes.size(), c.probes);
            QCOMPARE(waits, int(c.probes));
            if (c.outcome == AutoDetector::Outcome::Found)
                QCOMPARE(result.reply, Idn);
        }
    }

    // No usable port: nothing is probed. Cancel during the real pause (which keeps the event
    // loop running): no further probe, the port is closed.
    void noPortsAndCancel()
    {
        FakeProber prober;
        AutoDetector detector(prober);
        QCOMPARE(detector.run({QStringLiteral("ttyS0")}, Bauds).outcome, AutoDetector::Outcome::NoPorts);
        QVERIFY(prober.probes.isEmpty());

        prober.openable = {QStringLiteral("ttyS0")};
        QTimer::singleShot(100, &detector, [&] { detector.cancel(); });
        QCOMPARE(detector.run({QStringLiteral("ttyS0")}, Bauds).outcome, AutoDetector::Outcome::Cancelled);
        QCOMPARE(prober.probes.size(), 1);
        QVERIFY(!prober.isOpen() && !detector.isRunning());
    }
};

QTEST_MAIN(TestAutoDetect)
#include "tst_autodetect.moc"
