#include "FakeTransports.h"

#include "common/Clock.h"
#include "common/Prompter.h"
#include "support/TestEnvironment.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

const QString VoltQuery = QStringLiteral("VOUT1?");
const QString Volt1 = QStringLiteral("1.000V");
const QString NoData = QStringLiteral("Cannot get Data from device!");

// One engine with both fake transports attached and its timer stopped: the test ticks. The
// serial supply answers VoltQuery with "1.000V" unless a test says otherwise.
struct Rig {
    FakeHost host;
    FakeSerialIo serial;
    FakeGpibBoard gpib;
    Receiver receiver;
    CommTasker engine;

    explicit Rig(const QString &commType)
    {
        engine.writerTimer().stop();
        engine.setHost(&host);
        engine.setSerialIo(&serial);
        engine.setGpibBoard(&gpib);
        engine.CommType = commType;
        serial.answers[VoltQuery] = Volt1 + QLatin1Char('\n');
    }

    bool query(const QString &line, QObject *target = nullptr, bool ack = false)
    {
        return engine.ExecQueryTask(line, 5, target ? target : &receiver,
                                    QStringLiteral("Text"), CallLet, ack);
    }
    void cmd(const QString &line, bool ack = false)
    {
        engine.ExecCmdTask(line, 0, nullptr, QString(), CallMethod, ack);
    }
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i)
            engine.DoWriterTimer(100);
    }
    // GPIB: finish the write in flight and answer it.
    void gpibAnswer(const QString &text)
    {
        gpib.completeWrite();
        gpib.answer(text);
    }
    void onTimeout() { engine.SetupTimeoutTask(&receiver, QStringLiteral("OperationTimeout")); }
};

class WaiterScript : public IdleWaiter
{
public:
    std::function<bool(CommTasker &)> run;
    bool waitUntilIdle(CommTasker &engine) override { return run(engine); }
};

CommTasker *stoppedEngine()
{
    auto *engine = new CommTasker;
    engine->writerTimer().stop();
    return engine;
}

} // namespace

class TestCommTasker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void ringLimitsAndWrapAround();
    void responseLines();
    void answersAreDelivered();
    void busyTimeoutResetsEverything();
    void cancelledQueries();
    void emptyPlainAndClosedNeverStall();
    void waitingAckHoldsRings();
    void clearingDropsNewTasks();
    void cycleTimeReport();
    void gpibWriteRetryAndOrder();
    void serialCablePulled();
    void quadQueryFormatsReadings();
};

void TestCommTasker::ringLimitsAndWrapAround()
{
    QCOMPARE(CommTasker::ValidTaskArraySize(200, 3, 198), 5);
    QCOMPARE(CommTasker::ValidTaskArraySize(200, 7, 7), 0);
    QCOMPARE(CommTasker::ValidTaskArraySize(200, 150, 20), 130);

    Rig rig(QStringLiteral("RS232"));
    for (int i = 0; i < 99; ++i)
        QVERIFY(rig.query(VoltQuery));
    QVERIFY(!rig.query(VoltQuery));
    QCOMPARE(rig.engine.QueryCount, 99);
    for (int i = 0; i < 120; ++i)
        rig.cmd(QStringLiteral("OUT1"));
    QCOMPARE(rig.engine.CmdCount, 99);

    // One tick finishes one task of each ring; then there is room for one more query.
    rig.tick();
    QCOMPARE(rig.engine.QueryCount, 98);
    QCOMPARE(rig.engine.CmdCount, 98);
    QVERIFY(rig.query(VoltQuery));
    QVERIFY(!rig.query(VoltQuery));

    // Run well past slot 199: every answer arrives, in order, and the indexes wrap.
    Rig wrap(QStringLiteral("RS232"));
    QStringList expected;
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 60; ++i) {
            const QString line = QStringLiteral("Q%1?").arg(expected.size());
            expected << QStringLiteral("%1V").arg(expected.size());
            wrap.serial.answers[line] = expected.last() + QLatin1Char('\n');
            QVERIFY(wrap.query(line));
        }
        wrap.tick(60);
        QCOMPARE(wrap.engine.QueryCount, 0);
    }
    QCOMPARE(wrap.receiver.texts, expected);
    QCOMPARE(wrap.engine.queryHead(), expected.size() % CommTasker::RingSize);
    QCOMPARE(wrap.engine.queryTail(), wrap.engine.queryHead());
}

// Received text is cut into lines; a query is paired with the newest line; lines holding
// "bit" are status chatter and never paired; a blank answer is reported.
void TestCommTasker::responseLines()
{
    std::unique_ptr<CommTasker> engine(stoppedEngine());
    engine->RspTask(QStringLiteral("old\nnew\n"));
    QCOMPARE(engine->RspCount, 2);
    QCOMPARE(engine->RspPop(), QStringLiteral("new"));
    QCOMPARE(engine->RspCount, 0);
    QCOMPARE(engine->RspPop(), QString());

    engine->RspTask(QStringLiteral("12.5V\r\n3.2"));
    QCOMPARE(engine->RspCount, 1);
    QCOMPARE(engine->RspLine, QStringLiteral("3.2"));
    engine->RspTask(QStringLiteral("1A"));
    QCOMPARE(engine->RspCount, 1);
    engine->RspTask(QStringLiteral("\n\r\n\n"));
    QCOMPARE(engine->RspCount, 2);
    QCOMPARE(engine->RspPop(), QStringLiteral("3.21A"));
    // Terminators alone push nothing; a single terminator is not a line.
    engine->RspTask(QStringLiteral("\r\n\r\r\n"));
    engine->RspPush(QStringLiteral("\n"));
    engine->RspPush(QString());
    QCOMPARE(engine->RspCount, 0);
    engine->RspTask(QStringLiteral("status BIT 5\n1.5A\nBit\nxbitx\n"));
    QCOMPARE(engine->RspCount, 1);
    QCOMPARE(engine->RspPop(), QStringLiteral("1.5A"));
    // The stack holds at most 200 lines; further lines are dropped, the stack stays sound.
    for (int i = 0; i < 250; ++i)
        engine->RspPush(QString::number(i));
    QCOMPARE(engine->RspCount, CommTasker::RingSize);
    QCOMPARE(engine->RspPop(), QStringLiteral("199"));

    // GPIB: two answers arrive before the consume step pairs them.
    Rig rig(QStringLiteral("GPIB"));
    QVERIFY(rig.query(VoltQuery));
    rig.tick();
    QCOMPARE(rig.gpib.writes, QStringList{VoltQuery});
    rig.gpib.completeWrite();
    QCOMPARE(rig.gpib.reads, 1);
    QCOMPARE(rig.engine.OpMode, 2);
    rig.engine.RspTask(QStringLiteral("1.000V\n"));
    rig.gpib.answer(QStringLiteral("2.000V\n"));
    rig.tick();
    QCOMPARE(rig.receiver.texts, QStringList{QStringLiteral("2.000V")});
    QCOMPARE(rig.engine.RspCount, 0);
    QVERIFY(rig.engine.isIdle());
    // The bus ends a message: an answer without line feed is complete.
    QVERIFY(rig.query(VoltQuery));
    rig.tick();
    rig.gpibAnswer(QStringLiteral("3.000V"));
    rig.tick();
    QCOMPARE(rig.receiver.text(), QStringLiteral("3.000V"));
    QVERIFY(rig.engine.RspLine.isEmpty());

    // Serial: "bit" chatter delivers nothing and stalls nothing; a blank answer is reported.
    ScriptedPrompter prompter;
    ScopedPrompter scoped(prompter);
    Rig serial(QStringLiteral("RS232"));
    serial.serial.answers[VoltQuery] = QStringLiteral("overflow bit set\n");
    serial.serial.answers[QStringLiteral("IOUT1?")] = QStringLiteral("0.5A\n");
    serial.serial.answers[QStringLiteral("IOUT2?")] = QStringLiteral(" \r\n");
    for (const char *q : {"VOUT1?", "IOUT1?", "IOUT2?", "IOUT3?"})
        QVERIFY(serial.query(QLatin1String(q)));
    serial.tick(4);
    QCOMPARE(serial.receiver.texts, QStringList{QStringLiteral("0.5A")});
    QCOMPARE(prompter.messageTexts(), QStringList({NoData, NoData}));
    QVERIFY(serial.engine.isIdle());
}

void TestCommTasker::answersAreDelivered()
{
    Rig rig(QStringLiteral("RS232"));
    rig.serial.answers[QStringLiteral("*IDN?")] = QStringLiteral("MAKER,XPP-3202,1,2\n");
    // Kind 1 calls a method with the answer.
    QVERIFY(rig.engine.ExecQueryTask(QStringLiteral("*IDN?"), 5, &rig.receiver,
                                     QStringLiteral("DevSetupMachineType"), CallMethod));
    // Kind 4 assigns a property; "Text" reaches QLineEdit's "text" and raises its change.
    QLineEdit field;
    QSignalSpy changed(&field, &QLineEdit::textChanged);
    QVERIFY(rig.query(VoltQuery, &field));
    // Unknown members deliver nothing and never grow dynamic properties.
    QVERIFY(rig.engine.ExecQueryTask(VoltQuery, 5, &field, QStringLiteral("Nothing"), CallLet));
    QVERIFY(rig.engine.ExecQueryTask(VoltQuery, 5, &rig.receiver, QStringLiteral("Nothing"),
                                     CallMethod));
    rig.tick(4);
    QCOMPARE(rig.receiver.calls, QStringList{QStringLiteral("MAKER,XPP-3202,1,2")});
    QCOMPARE(field.text(), Volt1);
    QCOMPARE(changed.size(), 1);
    QVERIFY(field.dynamicPropertyNames().isEmpty());
    QVERIFY(rig.receiver.dynamicPropertyNames().isEmpty());
    QVERIFY(rig.engine.isIdle());

    // A command task with no response type is written and never delivered.
    rig.engine.ExecCmdTask(QStringLiteral("VSET1:1.5"), 0, &field, QStringLiteral("Text"),
                           CallLet);
    rig.tick();
    QCOMPARE(rig.serial.written.last(), QStringLiteral("VSET1:1.5"));
    QCOMPARE(field.text(), Volt1);
}

void TestCommTasker::busyTimeoutResetsEverything()
{
    FakeClock clock;
    ScopedClock scopedClock(clock);
    Rig rig(QStringLiteral("GPIB"));
    QSignalSpy timedOut(&rig.engine, &CommTasker::timedOut);
    rig.onTimeout();

    QVERIFY(rig.query(VoltQuery));
    rig.cmd(QStringLiteral("OUT1"));
    // The command goes out first and its write never completes; the query waits behind it.
    rig.tick();
    QCOMPARE(rig.gpib.writes, QStringList{QStringLiteral("OUT1")});
    QCOMPARE(rig.engine.OpMode, 1);
    for (int i = 0; i < 199; ++i) {
        clock.advanceMs(100);
        rig.tick();
    }
    QCOMPARE(rig.receiver.timeouts, 0);
    QVERIFY(rig.engine.MaxElapsed >= 19.8);

    clock.advanceMs(200);
    rig.tick();
    QCOMPARE(rig.receiver.timeouts, 1);
    QCOMPARE(timedOut.size(), 1);
    QCOMPARE(rig.gpib.writes.size(), 1);
    QCOMPARE(rig.engine.QueryCount + rig.engine.CmdCount, 0);
    QVERIFY(!rig.engine.QueryBusy && !rig.engine.CmdBusy);
    QCOMPARE(rig.engine.OpMode, 0);
    QCOMPARE(rig.engine.LastTick, -1.0);
    QCOMPARE(rig.engine.MaxElapsed, 0.0);
    QCOMPARE(rig.gpib.resets, 1);

    // LastTick restarts at the next tick; the handler was removed by the reset.
    clock.advanceMs(100);
    rig.tick();
    QCOMPARE(rig.engine.LastTick, clock.secondsSinceMidnight());
    QVERIFY(rig.query(VoltQuery));
    rig.tick();
    clock.advanceMs(25000);
    rig.tick();
    QCOMPARE(rig.receiver.timeouts, 1);
    QCOMPARE(timedOut.size(), 2);

    // Across midnight the busy time is still measured correctly.
    FakeClock late(QDateTime(QDate(2026, 3, 1), QTime(23, 59, 50)));
    ScopedClock scopedLate(late);
    Rig night(QStringLiteral("GPIB"));
    night.onTimeout();
    QVERIFY(night.query(VoltQuery));
    night.tick();
    QVERIFY(night.engine.QueryBusy);
    late.advanceMs(15000);  // 00:00:05
    night.tick();
    QCOMPARE(night.receiver.timeouts, 0);
    late.advanceMs(6000);
    night.tick();
    QCOMPARE(night.receiver.timeouts, 1);
}

void TestCommTasker::cancelledQueries()
{
    ScriptedPrompter prompter;
    ScopedPrompter scoped(prompter);
    Rig rig(QStringLiteral("RS232"));
    rig.serial.answers[QStringLiteral("STATUS?")] = QStringLiteral("00101\n");
    QVERIFY(rig.query(VoltQuery));
    QVERIFY(rig.query(VoltQuery));
    rig.engine.ResetQueryTasks();
    QVERIFY(rig.query(QStringLiteral("STATUS?")));

    // Each cancelled query finishes at its tick without touching the line.
    rig.tick();
    QCOMPARE(rig.engine.QueryCount, 2);
    QVERIFY(rig.serial.queried.isEmpty());
    rig.tick(2);
    QCOMPARE(rig.serial.queried, QStringList{QStringLiteral("STATUS?")});
    QCOMPARE(rig.receiver.texts, QStringList{QStringLiteral("00101")});

    // Cancelled while its answer is awaited: the answer is read but not delivered, and no
    // "no data" message appears for it.
    rig.serial.duringQuery = [&] { rig.engine.ResetQueryTasks(); };
    QVERIFY(rig.query(VoltQuery));
    rig.tick();
    QCOMPARE(rig.receiver.texts.size(), 1);
    QCOMPARE(rig.engine.RspCount, 0);
    QVERIFY(rig.engine.isIdle());
    QVERIFY(prompter.messages.isEmpty());

    // GPIB: the first query waits for its answer when the mode changes ...
    Rig gpib(QStringLiteral("GPIB"));
    QVERIFY(gpib.query(VoltQuery));
    QVERIFY(gpib.query(QStringLiteral("IOUT1?")));
    gpib.tick();
    gpib.gpib.completeWrite();
    gpib.engine.ResetQueryTasks();
    gpib.tick();
    QCOMPARE(gpib.engine.QueryCount, 2);
    gpib.gpib.answer(QStringLiteral("1.000V\n"));
    gpib.tick();
    QVERIFY(gpib.receiver.texts.isEmpty());
    QCOMPARE(gpib.engine.RspCount, 0);
    QCOMPARE(gpib.engine.QueryCount, 1);
    // ... the second was never written: it finishes without a write.
    gpib.tick();
    QCOMPARE(gpib.engine.QueryCount, 0);
    QCOMPARE(gpib.gpib.writes, QStringList{VoltQuery});
    QVERIFY(gpib.engine.isIdle());
}

// Empty query lines (a dialect without that query), closed targets and the menu link never
// stall the rings.
void TestCommTasker::emptyPlainAndClosedNeverStall()
{
    ScriptedPrompter prompter;
    ScopedPrompter scoped(prompter);
    for (const QString &link : {QStringLiteral("RS232"), QStringLiteral("GPIB")}) {
        const bool isGpib = link == QLatin1String("GPIB");
        Rig rig(link);
        QVERIFY(rig.query(QString()));
        QVERIFY(rig.query(VoltQuery));
        rig.tick();
        QCOMPARE(rig.engine.QueryCount, 1);
        QVERIFY(rig.serial.queried.isEmpty() && rig.serial.written.isEmpty());
        QVERIFY(rig.gpib.writes.isEmpty());
        QVERIFY(!rig.engine.QueryBusy);
        rig.tick();
        if (isGpib) {
            QCOMPARE(rig.gpib.writes, QStringList{VoltQuery});
            rig.gpibAnswer(QStringLiteral("1.000V\n"));
            rig.tick();
        }
        QCOMPARE(rig.receiver.texts, QStringList{Volt1});

        // The window closes while its answer is on its way.
        auto field = std::make_unique<QLineEdit>();
        QLineEdit survivor;
        QVERIFY(rig.query(VoltQuery, field.get()));
        QVERIFY(rig.query(VoltQuery, &survivor));
        if (isGpib) {
            rig.tick();
            field.reset();
            rig.gpibAnswer(QStringLiteral("1.000V\n"));
            rig.tick(2);
            rig.gpibAnswer(QStringLiteral("1.000V\n"));
            rig.tick();
        } else {
            field.reset();
            rig.tick(2);
        }
        QCOMPARE(survivor.text(), Volt1);
        QVERIFY(rig.engine.isIdle());
    }
    QVERIFY(prompter.messages.isEmpty());

    // Serial: a query task without "?" is written once and finished, not repeated forever.
    Rig rig(QStringLiteral("RS232"));
    QVERIFY(rig.query(QStringLiteral("OUT1")));
    QVERIFY(rig.query(VoltQuery));
    rig.serial.answers[VoltQuery] = QStringLiteral("2.000V\n");
    rig.tick(3);
    QCOMPARE(rig.serial.written, QStringList{QStringLiteral("OUT1")});
    QCOMPARE(rig.receiver.texts, QStringList{QStringLiteral("2.000V")});
    QVERIFY(rig.engine.isIdle());

    // The menu link takes commands only and sends nothing.
    Rig menu(QStringLiteral("Menu"));
    menu.cmd(QStringLiteral("OUT1"));
    QVERIFY(menu.query(VoltQuery));
    menu.tick(3);
    QCOMPARE(menu.engine.CmdCount, 0);
    QCOMPARE(menu.engine.QueryCount, 1);
    QVERIFY(menu.serial.written.isEmpty() && menu.gpib.writes.isEmpty());
    QVERIFY(!menu.engine.QueryBusy && !menu.engine.CmdBusy);
}

void TestCommTasker::waitingAckHoldsRings()
{
    Rig rig(QStringLiteral("RS232"));
    QVERIFY(rig.query(VoltQuery, nullptr, true));
    QVERIFY(rig.query(VoltQuery));
    rig.cmd(QStringLiteral("OUT1"), true);
    rig.tick();  // command first (never held for acknowledgement), then the ack query
    QCOMPARE(rig.serial.written, QStringList{QStringLiteral("OUT1")});
    QVERIFY(rig.engine.WaitingAck);
    rig.tick(5);
    QCOMPARE(rig.serial.queried.size(), 1);
    QCOMPARE(rig.engine.QueryCount, 1);
    rig.engine.TaskAck();
    rig.tick();
    QCOMPARE(rig.serial.queried.size(), 2);
    QVERIFY(!rig.engine.WaitingAck);

    // ResetAll releases a held engine as well.
    QVERIFY(rig.query(VoltQuery, nullptr, true));
    rig.tick();
    QVERIFY(rig.engine.WaitingAck);
    rig.engine.ResetAll();
    QVERIFY(!rig.engine.WaitingAck);

    // A cancelled task never delivers, so it cannot hold the engine for an acknowledgement.
    Rig gpib(QStringLiteral("GPIB"));
    QVERIFY(gpib.query(VoltQuery, nullptr, true));
    gpib.tick();
    gpib.gpib.completeWrite();
    gpib.engine.ResetQueryTasks();
    gpib.gpib.answer(QStringLiteral("1.000V\n"));
    gpib.tick();
    QVERIFY(!gpib.engine.WaitingAck);
    QVERIFY(gpib.engine.isIdle());
}

void TestCommTasker::clearingDropsNewTasks()
{
    Rig rig(QStringLiteral("RS232"));
    WaiterScript waiter;
    rig.engine.setIdleWaiter(&waiter);
    QVERIFY(rig.query(VoltQuery));
    QVERIFY(rig.query(VoltQuery));

    // The waiter ticks until idle; meanwhile nothing new is accepted.
    bool acceptedWhileClearing = true;
    waiter.run = [&](CommTasker &engine) {
        acceptedWhileClearing = rig.query(VoltQuery);
        rig.cmd(QStringLiteral("OUT0"));
        for (int i = 0; i < 10 && !engine.isIdle(); ++i)
            engine.DoWriterTimer(100);
        return engine.isIdle();
    };
    QVERIFY(rig.engine.ClearAllTasks());
    QVERIFY(!acceptedWhileClearing);
    QCOMPARE(rig.receiver.texts.size(), 2);
    QVERIFY(rig.serial.written.isEmpty());
    QVERIFY(!rig.engine.Clearing);
    QVERIFY(rig.query(VoltQuery));

    // Cancelled by the user: the rings stay as they are.
    waiter.run = [](CommTasker &) { return false; };
    QVERIFY(!rig.engine.ClearAllTasks());
    QCOMPARE(rig.engine.QueryCount, 1);
    QVERIFY(!rig.engine.Clearing);

    // Without a waiter only an idle engine clears; it never waits.
    rig.engine.setIdleWaiter(nullptr);
    QVERIFY(!rig.engine.ClearAllTasks());
    QCOMPARE(rig.engine.QueryCount, 1);
    rig.tick();
    QVERIFY(rig.engine.ClearAllTasks());
}

void TestCommTasker::cycleTimeReport()
{
    Rig rig(QStringLiteral("RS232"));
    rig.engine.QueriesPerCycle = 3;
    rig.engine.ReadTimesMs = 250;
    rig.host.queryTimerEnabled = true;

    // Three answered queries in three ticks: the cycle ends in 200 ms, no report.
    for (int i = 0; i < 3; ++i)
        QVERIFY(rig.query(VoltQuery));
    rig.tick(3);
    QVERIFY(rig.host.reports.isEmpty());
    QCOMPARE(rig.engine.CycleCount, 0);
    QCOMPARE(rig.engine.CycleMs, 0);

    // A cycle that stalls past the limit is reported once, then measured afresh.
    QVERIFY(rig.query(VoltQuery));
    rig.tick(3);
    QCOMPARE(rig.host.reports.size(), 1);
    QCOMPARE(rig.host.reports[0].text, QStringLiteral("Read Times Failed!"));
    QCOMPARE(rig.host.reports[0].ms, 2000);
    QCOMPARE(rig.engine.CycleMs, 0);
    rig.tick(2);
    QCOMPARE(rig.host.reports.size(), 1);

    // No limit, or polling stopped: never reported, counters held at zero.
    rig.engine.ReadTimesMs = 0;
    rig.tick(10);
    QCOMPARE(rig.engine.CycleMs, 0);
    rig.engine.ReadTimesMs = 250;
    rig.host.queryTimerEnabled = false;
    QVERIFY(rig.query(VoltQuery));
    rig.tick(10);
    QCOMPARE(rig.host.reports.size(), 1);
    QCOMPARE(rig.engine.CycleCount, 0);
    QCOMPARE(rig.engine.CycleMs, 0);
}

// A failed GPIB write is retried after two seconds; one line is in flight at a time, and a
// command without answer starts no read.
void TestCommTasker::gpibWriteRetryAndOrder()
{
    FakeClock clock;
    ScopedClock scopedClock(clock);
    Rig rig(QStringLiteral("GPIB"));
    rig.gpib.failWrites = true;
    QVERIFY(rig.query(VoltQuery));
    rig.tick();
    QVERIFY(rig.engine.QueryWriteErrorTime > 0);
    QCOMPARE(rig.engine.OpMode, 0);
    rig.gpib.failWrites = false;
    clock.advanceMs(1900);
    rig.tick();
    QVERIFY(rig.gpib.writes.isEmpty());
    clock.advanceMs(200);
    rig.tick();
    QCOMPARE(rig.gpib.writes, QStringList{VoltQuery});
    QCOMPARE(rig.engine.QueryWriteErrorTime, 0.0);
    rig.gpibAnswer(QStringLiteral("1.000V\n"));
    rig.tick();
    QCOMPARE(rig.receiver.text(), Volt1);

    Rig order(QStringLiteral("GPIB"));
    order.cmd(QStringLiteral("OUT1"));
    order.engine.ExecCmdTask(QStringLiteral("*IDN?"), 5, &order.receiver,
                             QStringLiteral("DevSetupMachineType"), CallMethod);
    QVERIFY(order.query(VoltQuery));
    order.tick();
    // The first command is finished at once; the next waits for the bus.
    QCOMPARE(order.gpib.writes, QStringList{QStringLiteral("OUT1")});
    QCOMPARE(order.engine.CmdCount, 1);
    order.gpib.completeWrite();
    QCOMPARE(order.gpib.reads, 0);
    // A stray answer with no read in progress is not taken for the next query's answer.
    order.gpib.answer(QStringLiteral("stale\n"));
    QCOMPARE(order.engine.RspCount, 0);
    order.tick();
    QCOMPARE(order.gpib.writes.last(), QStringLiteral("*IDN?"));
    QVERIFY(order.engine.CmdBusy);
    order.tick();
    QCOMPARE(order.gpib.writes.size(), 2);
    order.gpibAnswer(QStringLiteral("MAKER,XPP-3202,1,2\n"));
    QCOMPARE(order.gpib.reads, 1);
    order.tick();
    QCOMPARE(order.receiver.calls, QStringList{QStringLiteral("MAKER,XPP-3202,1,2")});
    QCOMPARE(order.gpib.writes.last(), VoltQuery);
}

// The serial cable pulled between ticks or in the middle of a query: the time-out handler runs
// once, queued queries never reach the dead port. (Both real transports: tests/transport.)
void TestCommTasker::serialCablePulled()
{
    ScriptedPrompter prompter;
    ScopedPrompter scoped(prompter);
    Rig idle(QStringLiteral("RS232"));
    QSignalSpy timedOut(&idle.engine, &CommTasker::timedOut);
    idle.onTimeout();
    idle.receiver.onTimeout = [&] {
        idle.serial.pullCable();
        idle.tick(3);
    };
    QVERIFY(idle.query(VoltQuery));
    idle.serial.pullCable();
    // A second failure reported while the handler runs is the same time-out.
    QCOMPARE(idle.receiver.timeouts, 1);
    QCOMPARE(timedOut.size(), 1);
    QVERIFY(idle.serial.queried.isEmpty());
    QCOMPARE(idle.engine.QueryCount, 0);

    Rig serial(QStringLiteral("RS232"));
    serial.serial.answers.clear();
    serial.onTimeout();
    serial.serial.duringQuery = [&] { serial.serial.pullCable(); };
    QVERIFY(serial.query(VoltQuery));
    QVERIFY(serial.query(VoltQuery));
    serial.tick();
    QCOMPARE(serial.receiver.timeouts, 1);
    QCOMPARE(serial.engine.QueryCount, 0);
    QVERIFY(serial.engine.isIdle());
    QVERIFY(serial.receiver.texts.isEmpty());
    QVERIFY(prompter.messages.isEmpty());
}

void TestCommTasker::quadQueryFormatsReadings()
{
    Rig rig(QStringLiteral("RS232"));
    QLineEdit field;
    rig.serial.answers[VoltQuery] = QStringLiteral("12.3456V\n");
    rig.serial.answers[QStringLiteral("IOUT1?")] = QStringLiteral("1.5V\n");
    rig.serial.answers[QStringLiteral("IOUT2?")] = QStringLiteral("0.25A\r\n");
    QVERIFY(rig.engine.ExecQueryTaskQuad(VoltQuery, 5, &field, QStringLiteral("Text"), CallLet));
    QCOMPARE(field.text(), QStringLiteral("12.346"));
    // The wrong unit letter, or a status word, is not a reading.
    QVERIFY(rig.engine.ExecQueryTaskQuad(QStringLiteral("IOUT1?"), 5, &field, QString(), 0));
    QCOMPARE(field.text(), QStringLiteral("12.346"));
    QVERIFY(rig.engine.ExecQueryTaskQuad(QStringLiteral("IOUT2?"), 5, &field, QString(), 0));
    QCOMPARE(field.text(), QStringLiteral("0.250"));
    QCOMPARE(rig.engine.OpMode, 0);

    // Never a second exchange on the wire while a queued query is being read.
    rig.serial.answers[QStringLiteral("VOUT2?")] = QStringLiteral("5.000V\n");
    rig.serial.duringQuery = [&] {
        rig.serial.duringQuery = nullptr;
        QVERIFY(rig.engine.ExecQueryTaskQuad(VoltQuery, 5, &field, QString(), 0));
    };
    QVERIFY(rig.query(QStringLiteral("VOUT2?")));
    rig.tick();
    QCOMPARE(rig.serial.queried.last(), QStringLiteral("VOUT2?"));
    QCOMPARE(rig.serial.queried.count(VoltQuery), 1);

    // The panel closes while its reading is on the way.
    auto closing = std::make_unique<QLineEdit>();
    rig.serial.duringQuery = [&] { closing.reset(); };
    QVERIFY(rig.engine.ExecQueryTaskQuad(VoltQuery, 5, closing.get(), QString(), 0));
    QVERIFY(!closing);
}

QTEST_MAIN(TestCommTasker)
#include "tst_commtasker.moc"
