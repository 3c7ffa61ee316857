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

    // (Probe order, bauds outer and usable ports inner from the last down, and the supply
    // found at 115200 on the second port: tst_autodetect_sim, over real pseudo-terminals.)

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

    void noUsablePortProbesNothing()
    {
        FakeProber prober;
        AutoDetector detector(prober);
        detector.setWaiter([](int) { QFAIL("no probe expected"); });
        const auto result = detector.run({QStringLiteral("ttyS0"), QStringLiteral("ttyS1")}, Bauds);
        QCOMPARE(result.outcome, AutoDetector::Outcome::NoPorts);
        QVERIFY(prober.probes.isEmpty());
        QCOMPARE(detector.run({}, Bauds).outcome, AutoDetector::Outcome::NoPorts);
    }

    // Cancel during a pause: no further probe, port closed, the search can run again.
    void cancelStopsAndCloses()
    {
        FakeProber prober;
        prober.openable = {QStringLiteral("ttyS0"), QStringLiteral("ttyS1")};
        AutoDetector detector(prober);
        int waits = 0;
        detector.setWaiter([&](int) {
            if (++waits == 3)
                detector.cancel();
        });
        auto result = detector.run({QStringLiteral("ttyS0"), QStringLiteral("ttyS1")}, Bauds);
        QCOMPARE(result.outcome, AutoDetector::Outcome::Cancelled);
        QCOMPARE(prober.probes.size(), 3);
        QVERIFY(!prober.isOpen());
        QVERIFY(!detector.isRunning());

        prober.answer = [](const QString &, int, int) { return Idn.toLatin1(); };
        detector.setWaiter([](int) {});
        result = detector.run({QStringLiteral("ttyS0"), QStringLiteral("ttyS1")}, Bauds);
        QCOMPARE(result.outcome, AutoDetector::Outcome::Found);
        QCOMPARE(result.port, QStringLiteral("ttyS1"));

        // The real pause keeps the event loop running and ends early on cancel.
        FakeProber quiet;
        quiet.openable = {QStringLiteral("ttyS0")};
        AutoDetector real(quiet);
        QTimer::singleShot(100, &real, [&] { real.cancel(); });
        QCOMPARE(real.run({QStringLiteral("ttyS0")}, Bauds).outcome, AutoDetector::Outcome::Cancelled);
        QCOMPARE(quiet.probes.size(), 1);
        QVERIFY(!quiet.isOpen());
    }
};

QTEST_MAIN(TestAutoDetect)
#include "tst_autodetect.moc"
