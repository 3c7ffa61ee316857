// The supply model, the engine and the recording session together under a QCoreApplication
// (no widget anywhere), against the virtual supply on a pseudo-terminal: the initial values,
// a set point and the output switch on the wire, one polling cycle, ten samples recorded
// into a store; and answers still on their way when the model goes are dropped.
#include "common/Clock.h"
#include "common/Prompter.h"
#include "datalog/RecordStore.h"
#include "datalog/RecordingSession.h"
#include "link/CommTasker.h"
#include "link/transport/SerialTransport.h"
#include "sim/PtySupplyServer.h"
#include "sim/VirtualSupply.h"
#include "supply/Supply.h"
#include "supply/SupplyReadings.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// One engine on a serial link to a virtual supply served in this process.
struct Rig {
    QTemporaryDir dir;
    std::unique_ptr<sim::VirtualSupply> device;
    std::unique_ptr<sim::PtySupplyServer> server;
    SerialTransport serial;
    CommTasker engine;
    bool ok = false;

    explicit Rig(const QString &type)
        : device(sim::VirtualSupply::create(type)), server(std::make_unique<sim::PtySupplyServer>(*device))
    {
        server->setWireTimeEmulation(false);
        ok = server->start(dir.filePath(QStringLiteral("link"))) && serial.open(server->portName(), 115200);
        engine.CommType = QStringLiteral("RS232");
        engine.setSerialIo(&serial);
    }
    ~Rig() { server->stop(); }

    int lines() const { return int(device->receivedLines().size()); }
    QStringList linesSince(int from) const { return device->receivedLines().mid(from); }
    bool settle() { return QTest::qWaitFor([this] { return engine.isIdle(); }, 15000); }
};

} // namespace

class TestSupply : public QObject
{
    Q_OBJECT
private slots:
    void setPollAndRecord();
    void answersForAGoneModelAreDropped();
    void regulationFromReadings();
};

void TestSupply::setPollAndRecord()
{
    ScriptedPrompter prompter;
    ScopedPrompter scopedPrompter(prompter);
    const QString type = QStringLiteral("XPP-3202");  // three channels, channel-prefixed commands
    Rig rig(type);
    QVERIFY(rig.ok);
    rig.device->setOutput(false);
    Supply supply(rig.engine, 1, type, Commands::DialectChannelScpi, {});
    QCOMPARE(supply.channelCount(), 3);
    supply.setRunning(true);

    supply.setReadingInitialValues(true);
    supply.queueInitialQueries();
    QVERIFY(rig.settle());
    supply.setReadingInitialValues(false);
    QCOMPARE(rig.linesSince(0).mid(0, 6), (QStringList{"REMOTE", ":SYST:AUTO:STAR?", ":SYST:AUTO:END?",
                                                       ":SYST:AUTO:CYCLE?", ":SYST:AUTO:DEL?", ":SYST:MEM?"}));
    QVERIFY(!supply.outputOn());

    int from = rig.lines();
    supply.setVoltage(0, 12.5);
    supply.setOutput(true);
    QVERIFY(rig.settle());
    QTRY_COMPARE_WITH_TIMEOUT(rig.linesSince(from), (QStringList{":CHAN1:VOLT 12.5", ":OUTP:STAT 1"}), 5000);
    QVERIFY(rig.device->outputOn());

    from = rig.lines();
    for (int step = 0; step < 12; ++step) {
        supply.pollNext();
        QVERIFY(rig.settle());
    }
    QCOMPARE(rig.linesSince(from),
             (QStringList{":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?", ":CHAN2:MEAS:VOLT?", ":CHAN2:MEAS:CURR?",
                          ":CHAN3:MEAS:VOLT?", ":CHAN3:MEAS:CURR?", ":SYST:ERR?", ":CHAN1:VOLT?",
                          ":CHAN2:VOLT?", ":CHAN3:VOLT?", ":CHAN1:CURR?", ":CHAN2:CURR?"}));
    QCOMPARE(supply.channel(0).voltageReading.value, 12.5);
    QCOMPARE(supply.channel(0).voltage, 12.5);
    QVERIFY(supply.outputOn());  // the error queue was empty

    // Ten one-second samples of the three channels, read from the model.
    RecordStore store;
    QVERIFY(store.open(rig.dir.path()).ok());
    const QPointer<Supply> connected(&supply);
    SupplyReadings readings(connected);
    RecordingSession session(store, nullptr, readings);
    session.setChannelCount(3);
    FakeClock clock{QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0))};
    ScopedClock scopedClock(clock);
    session.RecordPeriod(0, 0, 0, 9, 0, 0);
    QVERIFY(session.BeginRecordData());
    for (int t = 0; t < 10; ++t) {
        clock.advanceMs(1000);
        session.engine().TimerRecordData_Timer();
    }
    QVERIFY(!session.isRecording());
    const QList<SampleRow> stored = store.bufferSamples().value_or(QList<SampleRow>());
    QCOMPARE(stored.size(), 10);
    QCOMPARE(stored.at(9).channels[0].voltage, supply.channel(0).voltageReading.text);
    QCOMPARE(SampleBuffer::readingValue(stored.at(9).channels[0].voltage), 12.5);
    QCOMPARE(stored.at(9).timeTick, 9);
    QVERIFY(prompter.messages.isEmpty());
}

void TestSupply::answersForAGoneModelAreDropped()
{
    Rig rig(QStringLiteral("ZEP-4303"));
    QVERIFY(rig.ok);
    auto supply = std::make_unique<Supply>(rig.engine, 4, QStringLiteral("ZEP-4303"), Commands::DialectShort,
                                           Supply::RowLookup{});
    supply->setRunning(true);
    for (int step = 0; step < 17; ++step)
        supply->pollNext();  // a whole cycle, readings through the four-channel query
    QTest::qWait(150);       // the first answers are on their way
    supply.reset();
    QVERIFY(rig.settle());
    // The engine carries on for the next owner.
    QString answer;
    QObject owner;
    QVERIFY(rig.engine.ExecQueryTask(QStringLiteral("VOUT1?"), 5, &owner,
                                     [&answer](const QString &a) { answer = a; }));
    QVERIFY(QTest::qWaitFor([&] { return !answer.isEmpty(); }, 5000));
}

// CV or CC per channel while the output is on, from what the supply answered: CC when the
// current is within 1 % or one shown digit of its set point with the voltage below its set
// point; blank with the output off or a reading missing.
void TestSupply::regulationFromReadings()
{
    CommTasker engine;
    Supply supply(engine, 3, QStringLiteral("ZEP-2303"), Commands::DialectShort, Supply::RowLookup{});
    supply.setRunning(true);
    QSignalSpy changed(&supply, &Supply::regulationChanged);
    using Query = Commands::Query;
    using R = Supply::Regulation;
    const auto mode = [&](int i = 0) { return supply.channel(i).regulation; };
    // Channel 1's mode once it has `text` as the answer to `q`.
    const auto after = [&](Query q, const char *text) {
        supply.takeAnswer({q, 1}, QString::fromLatin1(text));
        return mode();
    };

    after(Query::SetVolt, "5.000");
    after(Query::SetCurr, "1.000");
    after(Query::MeasVolt, "4.000V");
    QCOMPARE(after(Query::MeasCurr, "0.990A"), R::None);  // output off
    QVERIFY(changed.isEmpty());
    supply.setOutput(true);
    QCOMPARE(mode(), R::ConstantCurrent);  // 1 % below the set point
    QVERIFY(!changed.isEmpty() && changed.first().first() == 0);
    QCOMPARE(after(Query::MeasCurr, "1.010A"), R::ConstantCurrent);  // 1 % above
    QCOMPARE(after(Query::MeasCurr, "0.989A"), R::ConstantVoltage);
    after(Query::MeasCurr, "1.000A");
    QCOMPARE(after(Query::MeasVolt, "5.000V"), R::ConstantVoltage);  // at the voltage set point

    // A small set point: one shown digit (1 mA) is more than 1 %.
    after(Query::SetCurr, "0.050");
    after(Query::MeasVolt, "2.000V");
    QCOMPARE(after(Query::MeasCurr, "0.049A"), R::ConstantCurrent);
    QCOMPARE(after(Query::MeasCurr, "0.048A"), R::ConstantVoltage);
    after(Query::MeasCurr, "0.05A");  // shown to 10 mA: one digit is 0.01 A
    QCOMPARE(after(Query::SetCurr, "0.060"), R::ConstantCurrent);

    changed.clear();
    supply.setOutput(false);
    QVERIFY(mode() == R::None && mode(1) == R::None && !changed.isEmpty());
    supply.setOutput(true);
    supply.clearReadings();  // readouts blanked: nothing to derive from
    QCOMPARE(mode(), R::None);
}

QTEST_GUILESS_MAIN(TestSupply)
#include "tst_supply.moc"
