#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <optional>

#include "link/GpibBoard.h"
#include "link/SerialIo.h"

// What the engine needs of the main window: timed status messages and whether polling runs.
class EngineHost
{
public:
    virtual ~EngineHost() = default;
    virtual void ReportStatus(const QString &text, int ms) = 0;
    virtual bool isQueryTimerEnabled() const = 0;
    // Trace texts of the engine; the debug window shows them when it is open.
    virtual void trace(const QString &) {}
};


// The single owner of the instrument link. Queries and commands wait in two rings of 200
// slots (at most 99 pending each) and are consumed one step per writer tick; each query's
// answer is paired with the newest complete line received after it and handed to the
// handler queued with the query. A task names the object its handler belongs to, held
// weakly: an answer whose owner is gone (a closed window, a replaced model) is dropped.
class CommTasker : public QObject
{
    Q_OBJECT
public:
    static constexpr int RingSize = 200;
    static constexpr int MaxPending = 99;
    static constexpr int WriterIntervalMs = 100;
    static constexpr double BusyTimeoutSeconds = 20.0;
    // While clearing, an extra tick at this interval drains the rings at twice the pace.
    static constexpr int ClearingIntervalMs = 100;

    explicit CommTasker(QObject *parent = nullptr);
    ~CommTasker() override;

    // Wiring (not owned). Either transport may be absent.
    void setHost(EngineHost *host) { m_host = host; }
    void setSerialIo(SerialIo *io);
    void setGpibBoard(GpibBoard *board);
    SerialIo *serialIo() const { return m_serial; }
    GpibBoard *gpibBoard() const { return m_gpib; }

    // The writer timer (100 ms, running from construction unless stopped). Tests stop it
    // and call DoWriterTimer themselves.
    QTimer &writerTimer() { return m_writerTimer; }

    // What receives a query's answer: the line as received, without its terminator.
    using AnswerHandler = std::function<void(const QString &answer)>;

    // Queueing. A query returns true when queued. `owner` is the object `onAnswer` belongs
    // to; once it is destroyed the answer is dropped. Response type 0 expects no answer.
    bool ExecQueryTask(const QString &xOutString, int xRspType, QObject *owner,
                       AnswerHandler onAnswer, bool xIsNeedingAck = false);
    // A reading of the four-channel supply: its answer is reduced to the reading ("##0.000")
    // before `onReading` gets it, and left out when it holds none. Always reports true.
    bool ExecQueryTaskQuad(const QString &xOutString, QObject *owner, AnswerHandler onReading);
    // A command: written, never answered.
    void ExecCmdTask(const QString &xOutString, int xRspType = 0);

    void ConsumeTask();
    bool ConsumeCmdTask();    // true when a task was finished in this call
    bool ConsumeQueryTask();  // true when a task was finished in this call

    void RspTask(const QString &received);
    void RspPush(const QString &line);
    QString RspPop();
    void ResetRspArray() { RspCount = 0; }

    void TaskAck() { WaitingAck = false; }
    void ResetTasks();
    void ResetQueryTasks();
    // Empties the rings once the link is idle, without waiting here: meanwhile nothing new
    // is queued and the queued tasks keep being written and answered. Then `done(true)`
    // runs; `done(false)` when cancelClearing() is called or the link is reset meanwhile
    // (after the reset's caller has returned), or when another clearing is under way.
    // Nothing runs once `owner` is gone.
    void ClearAllTasks(QObject *owner, std::function<void(bool cleared)> done);
    void cancelClearing();

    // The time-out handler, dropped with its owner.
    void SetupTimeoutTask(QObject *owner, std::function<void()> onTimeout);
    void ResetTimeoutTask();
    void TimeoutTask();
    void ResetAll();

    static int ValidTaskArraySize(int Size, int HeadI, int TailI);

    // One engine tick.
    void DoWriterTimer(int IntervalMsec);

    // True when no line is in flight and both rings are empty.
    bool isIdle() const;

    // Public engine state, as the rest of the program reads and sets it.
    QString CommType;
    int QueriesPerCycle = 7;
    int ReadTimesMs = 0;
    int CycleCount = 0;
    int CycleMs = 0;
    int OpMode = 0;
    bool QueryBusy = false;
    bool CmdBusy = false;
    bool WaitingAck = false;
    bool Clearing = false;
    int WritingKind = 0;
    int QueryCount = 0;
    int CmdCount = 0;
    int RspCount = 0;
    QString RspLine;
    double LastTick = -1;
    double MaxElapsed = 0;
    double QueryWriteErrorTime = 0;

    struct Task {
        QString xOutString;
        int xRspType = 0;
        QPointer<QObject> owner;
        bool hasOwner = false;  // an owner was named (and may since be gone)
        AnswerHandler onAnswer;
        QString response;
        bool hasResponse = false;
        int TaskState = 0;
        bool Cancelled = false;
        bool xIsNeedingAck = false;
        bool quad = false;  // queued by ExecQueryTaskQuad
    };
    const Task &queryTaskAt(int slot) const { return m_queryTasks[slot]; }
    const Task &cmdTaskAt(int slot) const { return m_cmdTasks[slot]; }
    int queryHead() const { return QueryHeadI; }
    int queryTail() const { return QueryTailI; }
    int cmdHead() const { return CmdHeadI; }
    int cmdTail() const { return CmdTailI; }

signals:
    // Emitted after a time-out ran its handler and reset the engine.
    void timedOut();
    // A clearing started by ClearAllTasks begins and ends (cleared: the rings were emptied).
    void clearingStarted();
    void clearingEnded(bool cleared);

private:
    // Implementation details (state machines, transports, delivery) live in the .cpp.
    struct RingView;
    enum class Link { None, Serial, Gpib };

    void onGpibWriteComplete();
    void onGpibDataRead(const QString &data);
    void onLinkError(const QString &text);
    void onSerialQueryFinished(const QString &text);
    void noAnswer();
    bool deliver(Task &task);
    void trace(const QString &text);
    void clearingTick();
    void endClearing(bool cleared);

    RingView queryRing();
    RingView cmdRing();
    Link link() const;
    bool enqueue(const RingView &ring, const QString &xOutString, int xRspType, QObject *owner,
                 AnswerHandler onAnswer, bool xIsNeedingAck);
    bool consume(const RingView &ring, bool otherBusy);
    bool stepGpib(const RingView &ring, Task &task);
    bool stepSerial(const RingView &ring, Task &task);
    bool stepUnwired(const RingView &ring, Task &task);
    bool finish(const RingView &ring, Task &task, bool delivered);
    bool abandon(const RingView &ring);

    std::array<Task, RingSize> m_queryTasks;
    std::array<Task, RingSize> m_cmdTasks;
    int QueryHeadI = 0;
    int QueryTailI = 0;
    int CmdHeadI = 0;
    int CmdTailI = 0;
    std::array<QString, RingSize> ResponseLines;
    int ConsumeDepth = 0;
    double m_cmdWriteErrorTime = 0;
    // Bumped whenever the rings are emptied, so code after a delivery or a wait can tell that
    // the task it was working on is gone.
    quint64 m_generation = 0;
    // Start of the current run of unanswered serial queries (monotonic seconds); -1 if none.
    double m_unansweredSince = -1;
    bool m_rspDropping = false;  // inside an over-long received line

    bool m_inTimeout = false;
    QPointer<QObject> m_timeoutOwner;
    std::function<void()> m_onTimeout;

    EngineHost *m_host = nullptr;
    struct ClearingWait {
        QPointer<QObject> owner;
        std::function<void(bool)> done;
        quint64 generation = 0;  // of the rings it waits to empty
        quint64 id = 0;
    };
    std::optional<ClearingWait> m_clearing;
    quint64 m_clearingIds = 0;
    QTimer m_clearingTimer;
    QPointer<SerialIo> m_serial;
    QPointer<GpibBoard> m_gpib;
    QTimer m_writerTimer;
};
