#include "common/Clock.h"
#include "common/Prompter.h"
#include "link/CommTasker.h"
#include "link/GpibBoard.h"
#include "link/SerialIo.h"
#include "support/TestEnvironment.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>
#include <QHash>
#include <QTest>
#include <functional>
#include <memory>
#include <utility>

namespace {

// A serial line whose supply answers from a table when the test says (answerPending).
// `duringQuery` runs while a query waits for its answer, where timers and user actions of the
// real program may run.
class FakeSerialIo : public SerialIo
{
public:
    QStringList written, queried;  // lines given to serialWrite and to startQuery
    QHash<QString, QString> answers;
    std::function<void()> duringQuery;

    void serialWrite(const QString &line) override { written << line; }
    void startQuery(const QString &line) override
    {
        QVERIFY2(m_pending.isNull(), "a second query started while one was in flight");
        queried << (m_pending = line);
    }
    void cancelQuery() override { m_pending.clear(); }
    // Finishes the query in flight, if any and not cancelled meanwhile, with the table's answer.
    void answerPending()
    {
        if (inFlight() && duringQuery)
            duringQuery();
        if (inFlight())
            emit queryFinished(answers.value(std::exchange(m_pending, QString())));
    }
    bool inFlight() const { return !m_pending.isNull(); }
    void pullCable() { emit linkFailed(QStringLiteral("device removed")); }

private:
    QString m_pending;
};

// A GPIB board that records what it was asked to do; the test finishes writes and reads.
class FakeGpibBoard : public GpibBoard
{
public:
    QStringList writes;
    int reads = 0, resets = 0;
    bool failWrites = false;

    bool configure() override { return true; }
    bool write(const QString &message) override
    {
        if (!failWrites)
            writes << message;
        return !failWrites;
    }
    void read() override { ++reads; }
    void reset() override { ++resets; }
    void completeWrite() { emit writeComplete(); }
    void answer(const QString &text) { emit dataRead(text); }
};

class FakeHost : public EngineHost
{
public:
    QStringList reports;  // "text/ms"
    bool queryTimerEnabled = false;

    void ReportStatus(const QString &text, int ms) override { reports << QStringLiteral("%1/%2").arg(text).arg(ms); }
    bool isQueryTimerEnabled() const override { return queryTimerEnabled; }
};

const QString VoltQuery = QStringLiteral("VOUT1?");
const QString Volt1 = QStringLiteral("1.000V");
const QString NoData = QStringLiteral("Cannot get Data from device!");

// One engine with both fake transports attached and its timer stopped: the test ticks. The
// serial supply answers VoltQuery with "1.000V" unless a test says otherwise. Answers go to
// `texts` (owned by `receiver`) or into a line edit; with `timeoutHandler` the engine's
// time-out handler counts `timeouts` and runs `onTimeout`.
struct Rig {
    FakeHost host;
    FakeSerialIo serial;
    FakeGpibBoard gpib;
    QObject receiver;
    QStringList texts;
    int timeouts = 0;
    std::function<void()> onTimeout;
    CommTasker engine;
    QSignalSpy timedOut{&engine, &CommTasker::timedOut};

    explicit Rig(const char *commType, bool timeoutHandler = false)
    {
        engine.writerTimer().stop();
        engine.setHost(&host);
        engine.setSerialIo(&serial);
        engine.setGpibBoard(&gpib);
        engine.CommType = QLatin1String(commType);
        serial.answers[VoltQuery] = Volt1 + QLatin1Char('\n');
        if (timeoutHandler)
            engine.SetupTimeoutTask(&receiver, [this] {
                ++timeouts;
                if (onTimeout)
                    onTimeout();
            });
    }
    bool query(const QString &line, QLineEdit *field = nullptr, bool ack = false)
    {
        if (field)
            return engine.ExecQueryTask(line, 5, field, [field](const QString &a) { field->setText(a); }, ack);
        return engine.ExecQueryTask(line, 5, &receiver, [this](const QString &a) { texts << a; }, ack);
    }
    bool quad(const QString &line, QLineEdit *field)
    {
        return engine.ExecQueryTaskQuad(line, field, [field](const QString &a) { field->setText(a); });
    }
    void cmd(const QString &line) { engine.ExecCmdTask(line, 0); }
    // One writer tick; a serial query it starts is answered before the next.
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i) {
            engine.DoWriterTimer(100);
            serial.answerPending();
        }
    }
    // GPIB: finish the write in flight and answer it.
    void gpibAnswer(const QString &text)
    {
        gpib.completeWrite();
        gpib.answer(text);
    }
    bool idleAndEmpty() const { return engine.isIdle() && engine.RspCount == 0; }
};

} // namespace

class TestCommTasker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    // At most 99 tasks wait in each ring; one tick finishes one of each. Far past slot 199
    // every answer arrives, in order, and the indexes wrap.
    void ringLimitsAndWrapAround()
    {
        Rig rig("RS232");
        for (int i = 0; i < 120; ++i) {
            rig.query(VoltQuery);
            rig.cmd(QStringLiteral("OUT1"));
        }
        QCOMPARE(QList<int>({rig.engine.QueryCount, rig.engine.CmdCount}), QList<int>({99, 99}));
        rig.tick();
        QCOMPARE(rig.engine.QueryCount + rig.engine.CmdCount, 196);
        QVERIFY(rig.query(VoltQuery));
        QVERIFY(!rig.query(VoltQuery));

        Rig wrap("RS232");
        QStringList expected;
        for (int round = 0; round < 5; ++round) {
            for (int i = 0; i < 60; ++i) {
                const QString line = QStringLiteral("Q%1?").arg(expected.size());
                expected << QStringLiteral("%1V").arg(expected.size());
                wrap.serial.answers[line] = expected.last() + QLatin1Char('\n');
                QVERIFY(wrap.query(line));
            }
            wrap.tick(60);
        }
        QCOMPARE(wrap.texts, expected);
        QCOMPARE(QList<int>({wrap.engine.queryHead(), wrap.engine.queryTail()}),
                 QList<int>(2, expected.size() % CommTasker::RingSize));
    }

    // Received text is cut into lines, also across chunks; a query is paired with the newest
    // line; lines holding "bit" are status chatter; at most 200 lines are kept; a blank
    // answer is reported.
    void responseLines()
    {
        Rig rig("GPIB");
        CommTasker &engine = rig.engine;
        const auto pushed = [&](std::initializer_list<QString> chunks) {
            for (const QString &chunk : chunks)
                engine.RspTask(chunk);
            return QStringLiteral("%1 %2").arg(engine.RspCount).arg(engine.RspPop());
        };
        QCOMPARE(pushed({QStringLiteral("12.5V\r\n3.2"), QStringLiteral("1A\n\r\n\n")}), QStringLiteral("2 3.21A"));
        QCOMPARE(pushed({QStringLiteral("status BIT 5\n1.5A\nBit\nxbitx\n")}), QStringLiteral("1 1.5A"));
        for (int i = 0; i < 250; ++i)
            engine.RspPush(QString::number(i));
        QCOMPARE(pushed({}), QStringLiteral("%1 199").arg(CommTasker::RingSize));
        QCOMPARE(pushed({QString(5000, u'x') + QStringLiteral("\n1.0V\n")}), QStringLiteral("1 1.0V"));  // noise

        // GPIB: two answers arrive before the consume step; the bus ends a message, so an
        // answer without line feed is complete.
        QVERIFY(rig.query(VoltQuery));
        rig.tick();
        engine.RspTask(QStringLiteral("1.000V\n"));
        rig.gpibAnswer(QStringLiteral("2.000V"));
        rig.tick();
        QCOMPARE(rig.texts, QStringList{QStringLiteral("2.000V")});
        QVERIFY(rig.idleAndEmpty() && engine.RspLine.isEmpty());

        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        Rig serial("RS232");
        serial.serial.answers.insert({{VoltQuery, QStringLiteral("overflow bit set\n")},
                                      {QStringLiteral("IOUT1?"), QStringLiteral("0.5A\n")},
                                      {QStringLiteral("IOUT2?"), QStringLiteral(" \r\n")}});
        for (const char *q : {"VOUT1?", "IOUT1?", "IOUT2?", "IOUT3?"})
            QVERIFY(serial.query(QLatin1String(q)));
        serial.tick(4);
        QCOMPARE(serial.texts, QStringList{QStringLiteral("0.5A")});
        QCOMPARE(prompter.messageTexts(), QStringList({NoData}));  // one for the silent run
        QVERIFY(serial.engine.isIdle());
    }

    // A task busy for 20 s, here across midnight: the handler runs once, everything is reset,
    // LastTick restarts at the next tick, and the reset removed the handler.
    void busyTimeoutResetsEverything()
    {
        FakeClock clock(QDateTime(QDate(2026, 3, 1), QTime(23, 59, 50)));
        ScopedClock scopedClock(clock);
        Rig rig("GPIB", true);
        QVERIFY(rig.query(VoltQuery));
        rig.cmd(QStringLiteral("OUT1"));
        rig.tick();  // the command goes out first and its write never completes
        for (int i = 0; i < 199; ++i) {
            clock.advanceMs(100);
            rig.tick();
        }
        QCOMPARE(rig.timeouts, 0);
        clock.advanceMs(200);
        rig.tick();
        QCOMPARE(QList<int>({rig.timeouts, int(rig.timedOut.size()), rig.gpib.resets}), QList<int>({1, 1, 1}));
        QCOMPARE(rig.gpib.writes, QStringList{QStringLiteral("OUT1")});
        QCOMPARE(rig.engine.QueryCount + rig.engine.CmdCount + rig.engine.OpMode, 0);
        QVERIFY(!rig.engine.QueryBusy && !rig.engine.CmdBusy && rig.engine.LastTick == -1.0);

        clock.advanceMs(100);
        rig.tick();
        QCOMPARE(rig.engine.LastTick, clock.monotonicSeconds());
        QVERIFY(rig.query(VoltQuery));
        rig.tick();
        clock.advanceMs(25000);
        rig.tick();
        QCOMPARE(QList<int>({rig.timeouts, int(rig.timedOut.size())}), QList<int>({1, 2}));
    }

    // A supply that stops answering: one message for the silent stretch, shown with the
    // engine already idle; an answer ends the stretch. (Commands still going out and the
    // reset after 20 s of silence: tst_hostileline.)
    void silentSupply()
    {
        struct Watch : ScriptedPrompter {
            CommTasker *engine = nullptr;
            QList<bool> engineIdle;
            void notify(const QString &text, const QString &title, Severity s) override
            {
                engineIdle << (!engine->QueryBusy && engine->OpMode == 0);
                ScriptedPrompter::notify(text, title, s);
            }
        } prompter;
        ScopedPrompter scoped(prompter);
        Rig rig("RS232");
        prompter.engine = &rig.engine;
        for (const QString &answer : {QString(), QString(), Volt1 + QLatin1Char('\n'), QString()}) {
            rig.serial.answers[VoltQuery] = answer;
            rig.query(VoltQuery);
            rig.tick();
        }
        QCOMPARE(prompter.messageTexts(), QStringList({NoData, NoData}));
        QCOMPARE(prompter.engineIdle, QList<bool>({true, true}));
        QCOMPARE(rig.texts, QStringList{Volt1});
    }

    // Tasks that deliver nothing never stall the rings. Queries cancelled before their tick
    // finish without touching the line; one cancelled while its answer is awaited reads it,
    // delivers nothing, reports no missing data and cannot hold the engine for an
    // acknowledgement. So do empty query lines (a dialect without that query), a query
    // without "?" and a target closed while its answer is on its way; the menu link sends
    // nothing.
    void tasksWithoutAnswerNeverStall()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        Rig rig("RS232");
        rig.serial.answers[QStringLiteral("STATUS?")] = QStringLiteral("00101\n");
        QVERIFY(rig.query(VoltQuery) && rig.query(VoltQuery));
        rig.engine.ResetQueryTasks();
        QVERIFY(rig.query(QStringLiteral("STATUS?")));
        rig.tick(3);
        QCOMPARE(rig.serial.queried, QStringList{QStringLiteral("STATUS?")});
        QCOMPARE(rig.texts, QStringList{QStringLiteral("00101")});
        rig.serial.duringQuery = [&] { rig.engine.ResetQueryTasks(); };
        QVERIFY(rig.query(VoltQuery));
        rig.tick();
        QCOMPARE(rig.texts.size(), 1);
        QVERIFY(rig.idleAndEmpty());

        rig.serial.duringQuery = nullptr;
        auto closing = std::make_unique<QLineEdit>();
        QVERIFY(rig.query(QString()) && rig.query(QStringLiteral("OUT1")));
        QVERIFY(rig.query(VoltQuery, closing.get()) && rig.query(VoltQuery));
        closing.reset();
        rig.tick(4);
        QCOMPARE(rig.serial.written, QStringList{QStringLiteral("OUT1")});
        QCOMPARE(rig.texts, QStringList({QStringLiteral("00101"), Volt1}));
        QVERIFY(rig.engine.isIdle());

        // GPIB: the first query is cancelled while awaiting its answer, the second unwritten.
        Rig gpib("GPIB");
        QVERIFY(gpib.query(VoltQuery, nullptr, true) && gpib.query(QStringLiteral("IOUT1?")));
        gpib.tick();
        gpib.gpib.completeWrite();
        gpib.engine.ResetQueryTasks();
        gpib.tick();
        gpib.gpib.answer(QStringLiteral("1.000V\n"));
        gpib.tick(2);
        QVERIFY(gpib.texts.isEmpty());
        QCOMPARE(gpib.gpib.writes, QStringList{VoltQuery});
        QVERIFY(gpib.idleAndEmpty() && !gpib.engine.WaitingAck);

        auto field = std::make_unique<QLineEdit>();
        QVERIFY(gpib.query(QString()) && gpib.query(VoltQuery, field.get()) && gpib.query(VoltQuery));
        gpib.tick(2);
        field.reset();
        gpib.gpibAnswer(QStringLiteral("1.000V\n"));
        gpib.tick(2);
        gpib.gpibAnswer(QStringLiteral("1.000V\n"));
        gpib.tick();
        QCOMPARE(gpib.texts, QStringList{Volt1});
        QCOMPARE(gpib.gpib.writes, QStringList({VoltQuery, VoltQuery, VoltQuery}));
        QVERIFY(gpib.engine.isIdle() && prompter.messages.isEmpty());

        Rig menu("Menu");
        menu.cmd(QStringLiteral("OUT1"));
        QVERIFY(menu.query(VoltQuery));
        menu.tick(3);
        QCOMPARE(QList<int>({menu.engine.CmdCount, menu.engine.QueryCount}), QList<int>({0, 1}));
        QVERIFY(menu.serial.written.isEmpty() && menu.gpib.writes.isEmpty() && !menu.engine.QueryBusy);
    }

    // A query awaiting acknowledgement holds the query ring (commands still go) until TaskAck
    // or ResetAll. While clearing nothing new is accepted and what was queued is answered
    // before the clearing ends; a cancelled clear leaves the rings as they are; a pulled
    // cable ends it unsuccessfully, after the reset; one clearing at a time.
    void waitingAckAndClearing()
    {
        Rig rig("RS232");
        QVERIFY(rig.query(VoltQuery, nullptr, true) && rig.query(VoltQuery));
        rig.cmd(QStringLiteral("OUT1"));
        rig.tick(6);
        QCOMPARE(rig.serial.written, QStringList{QStringLiteral("OUT1")});
        QVERIFY(rig.serial.queried.size() == 1 && rig.engine.WaitingAck);
        rig.engine.TaskAck();
        rig.tick();
        QCOMPARE(rig.serial.queried.size(), 2);
        QVERIFY(rig.query(VoltQuery, nullptr, true));
        rig.tick();
        QVERIFY(rig.engine.WaitingAck);
        rig.engine.ResetAll();
        QVERIFY(!rig.engine.WaitingAck);

        rig.texts.clear();
        rig.serial.written.clear();
        QTimer supply;  // answers each query a moment after it was sent
        connect(&supply, &QTimer::timeout, &rig.serial, &FakeSerialIo::answerPending);
        supply.start(10);
        QSignalSpy started(&rig.engine, &CommTasker::clearingStarted);
        QSignalSpy ended(&rig.engine, &CommTasker::clearingEnded);
        QList<bool> results;
        const auto clear = [&](QObject *owner) { rig.engine.ClearAllTasks(owner, [&results](bool c) { results << c; }); };
        QVERIFY(rig.query(VoltQuery) && rig.query(VoltQuery));
        clear(&rig.receiver);
        QCOMPARE(started.size(), 1);
        QVERIFY(rig.engine.Clearing && results.isEmpty());  // nothing waited here
        QVERIFY(!rig.query(VoltQuery));
        rig.cmd(QStringLiteral("OUT0"));
        QTRY_COMPARE(results, QList<bool>{true});
        QVERIFY(!rig.engine.Clearing && rig.engine.isIdle());
        QVERIFY(ended.size() == 1 && ended.first().first().toBool());
        QVERIFY(rig.texts.size() == 2 && rig.serial.written.isEmpty());

        // Cancelled at once: the query stays queued, nothing more is written.
        results.clear();
        supply.stop();
        const qsizetype queried = rig.serial.queried.size();
        QVERIFY(rig.query(VoltQuery));
        clear(&rig.receiver);
        clear(&rig.receiver);  // a second one is refused
        QCOMPARE(results, QList<bool>{false});
        rig.engine.cancelClearing();
        QCOMPARE(results, (QList<bool>{false, false}));
        QVERIFY(rig.engine.QueryCount == 1 && !rig.engine.Clearing);
        QVERIFY(rig.serial.queried.size() == queried && !rig.serial.inFlight());

        // The cable is pulled while the query waits for its answer: the engine is reset
        // first, the clearing ends afterwards from the event loop, unsuccessfully.
        results.clear();
        clear(&rig.receiver);
        QTRY_VERIFY(rig.serial.inFlight());
        rig.serial.pullCable();
        QVERIFY(rig.timedOut.size() == 1 && results.isEmpty());
        QTRY_COMPARE(results, QList<bool>{false});
        QVERIFY(!rig.engine.Clearing && rig.engine.isIdle());
        QTest::qWait(3 * CommTasker::ClearingIntervalMs);  // the clearing's ticks have stopped
        QCOMPARE(rig.serial.queried.size(), queried + 1);

        // Its owner gone, a clearing still ends but calls nothing.
        results.clear();
        auto owner = std::make_unique<QObject>();
        clear(owner.get());
        owner.reset();
        QTRY_VERIFY(!rig.engine.Clearing);
        QVERIFY(results.isEmpty());
    }

    // A polling cycle that stalls past the limit is reported once, then measured afresh; with
    // no limit or polling stopped it is never reported.
    void cycleTimeReport()
    {
        Rig rig("RS232");
        rig.engine.QueriesPerCycle = 3;
        rig.engine.ReadTimesMs = 350;  // a query ends between ticks: 3 take 300 ms
        rig.host.queryTimerEnabled = true;
        for (int i = 0; i < 3; ++i)
            QVERIFY(rig.query(VoltQuery));
        rig.tick(3);
        QVERIFY(rig.host.reports.isEmpty());
        QVERIFY(rig.query(VoltQuery));
        rig.tick(5);
        QCOMPARE(rig.host.reports, QStringList{QStringLiteral("Read Times Failed!/2000")});
        rig.engine.ReadTimesMs = 0;
        rig.tick(10);
        rig.engine.ReadTimesMs = 350;
        rig.host.queryTimerEnabled = false;
        QVERIFY(rig.query(VoltQuery));
        rig.tick(10);
        QCOMPARE(rig.host.reports.size(), 1);
    }

    // A failed GPIB write is retried after two seconds; one line is in flight at a time, a
    // command without answer starts no read, and a stray answer is not taken for the next.
    void gpibWriteRetryAndOrder()
    {
        FakeClock clock;
        ScopedClock scopedClock(clock);
        Rig rig("GPIB");
        rig.gpib.failWrites = true;
        QVERIFY(rig.query(VoltQuery));
        rig.tick();
        rig.gpib.failWrites = false;
        clock.advanceMs(1900);
        rig.tick();
        QVERIFY(rig.gpib.writes.isEmpty());
        clock.advanceMs(200);
        rig.tick();
        rig.gpibAnswer(QStringLiteral("1.000V\n"));
        rig.tick();
        QCOMPARE(rig.texts, QStringList{Volt1});

        Rig order("GPIB");
        order.cmd(QStringLiteral("OUT1"));
        order.engine.ExecCmdTask(QStringLiteral("*IDN?"), 5);
        QVERIFY(order.query(VoltQuery));
        order.tick();
        QCOMPARE(order.gpib.writes, QStringList{QStringLiteral("OUT1")});
        order.gpib.completeWrite();
        order.gpib.answer(QStringLiteral("stale\n"));
        QCOMPARE(order.engine.RspCount, 0);
        order.tick(2);
        QCOMPARE(order.gpib.writes, QStringList({"OUT1", "*IDN?"}));
        order.gpibAnswer(QStringLiteral("MAKER,XPP-3202,1,2\n"));
        order.tick();
        QCOMPARE(order.engine.RspCount, 0);  // the command's answer was taken, not left for the query
        QCOMPARE(order.gpib.writes, QStringList({"OUT1", "*IDN?", VoltQuery}));
        QCOMPARE(order.gpib.reads, 1);
    }

    // The serial cable pulled between ticks or in the middle of a query: the time-out handler
    // runs once, queued queries never reach the dead port. (Real transports: tests/transport.)
    void serialCablePulled()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        Rig idle("RS232", true);
        idle.onTimeout = [&] {
            idle.serial.pullCable();  // a second failure while the handler runs: the same one
            idle.tick(3);
        };
        QVERIFY(idle.query(VoltQuery));
        idle.serial.pullCable();
        QCOMPARE(QList<int>({idle.timeouts, int(idle.timedOut.size())}), QList<int>({1, 1}));
        QVERIFY(idle.serial.queried.isEmpty() && idle.engine.QueryCount == 0);

        Rig busy("RS232", true);
        busy.serial.answers.clear();
        busy.serial.duringQuery = [&] { busy.serial.pullCable(); };
        QVERIFY(busy.query(VoltQuery) && busy.query(VoltQuery));
        busy.tick();
        QCOMPARE(busy.timeouts, 1);
        QVERIFY(busy.engine.isIdle() && busy.engine.QueryCount == 0 && busy.texts.isEmpty());
        QVERIFY(prompter.messages.isEmpty());
    }

    // An answer reaches its handler once and a line edit's text with one change; the
    // four-channel reading takes three decimals, only with the right unit letter, and is
    // queued like any query; a panel closing while its answer is on the way is safe.
    void answersAreDelivered()
    {
        Rig rig("RS232");
        rig.serial.answers[QStringLiteral("*IDN?")] = QStringLiteral("MAKER,XPP-3202,1,2\n");
        QLineEdit field;
        QSignalSpy changed(&field, &QLineEdit::textChanged);
        QVERIFY(rig.query(QStringLiteral("*IDN?")) && rig.query(VoltQuery, &field));
        rig.tick(2);
        QCOMPARE(rig.texts, QStringList{QStringLiteral("MAKER,XPP-3202,1,2")});
        QCOMPARE(field.text(), Volt1);
        QVERIFY(changed.size() == 1 && rig.engine.isIdle());

        // One started while another waits goes after it.
        rig.serial.answers.insert({{VoltQuery, QStringLiteral("12.3456V\n")}, {QStringLiteral("IOUT1?"), QStringLiteral("1.5V\n")},
                                   {QStringLiteral("IOUT2?"), QStringLiteral("0.25A\r\n")}, {QStringLiteral("VOUT2?"), QStringLiteral("5.000V\n")}});
        rig.serial.queried.clear();
        rig.serial.duringQuery = [&] {
            rig.serial.duringQuery = nullptr;
            QVERIFY(rig.quad(VoltQuery, &field));
        };
        QVERIFY(rig.query(QStringLiteral("VOUT2?")));
        rig.tick(2);
        QCOMPARE(rig.serial.queried, QStringList({QStringLiteral("VOUT2?"), VoltQuery}));
        QCOMPARE(field.text(), QStringLiteral("12.346"));
        QVERIFY(rig.quad(QStringLiteral("IOUT1?"), &field));
        rig.tick();
        QCOMPARE(field.text(), QStringLiteral("12.346"));
        QVERIFY(rig.quad(QStringLiteral("IOUT2?"), &field));
        rig.tick();
        QCOMPARE(field.text(), QStringLiteral("0.250"));

        auto closing = std::make_unique<QLineEdit>();
        rig.serial.duringQuery = [&] { closing.reset(); };
        QVERIFY(rig.quad(VoltQuery, closing.get()));
        rig.tick();
        QVERIFY(!closing && rig.engine.isIdle());
    }
};

QTEST_MAIN(TestCommTasker)
#include "tst_commtasker.moc"
