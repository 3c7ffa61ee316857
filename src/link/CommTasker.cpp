#include "link/CommTasker.h"

#include "common/Clock.h"
#include "common/Prompter.h"
#include "link/Answers.h"
#include "link/GpibBoard.h"
#include "link/SerialIo.h"

#include <QScopedValueRollback>
#include <algorithm>
#include <utility>

// One ring as the shared consume code sees it.
struct CommTasker::RingView {
    std::array<Task, RingSize> &tasks;
    int &head;
    int &tail;
    int &count;
    bool &busy;
    double &writeErrorTime;
    int kind;  // the WritingKind of this ring: 0 queries, 1 commands

    bool isQuery() const { return kind == 0; }
    bool isEmpty() const { return head == tail; }
    Task &current() const { return tasks[size_t(tail)]; }
};

namespace {

constexpr double WriteRetrySeconds = 2.0;
// Longest line taken as an answer; anything longer is noise from a confused link.
constexpr int MaxLineChars = 4096;
const QString NoDataMessage = QStringLiteral("Cannot get Data from device!");

double now()
{
    return Clock::current().monotonicSeconds();
}

// Marks a consume step in progress for as long as it lives.
class DepthGuard
{
public:
    explicit DepthGuard(int &depth) : m_depth(depth) { ++m_depth; }
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard &) = delete;
    DepthGuard &operator=(const DepthGuard &) = delete;

private:
    int &m_depth;
};

} // namespace

CommTasker::CommTasker(QObject *parent) : QObject(parent)
{
    m_writerTimer.setInterval(WriterIntervalMs);
    connect(&m_writerTimer, &QTimer::timeout, this,
            [this] { DoWriterTimer(m_writerTimer.interval()); });
    m_writerTimer.start();
    m_clearingTimer.setInterval(ClearingIntervalMs);
    connect(&m_clearingTimer, &QTimer::timeout, this, &CommTasker::clearingTick);
}

CommTasker::~CommTasker() = default;

void CommTasker::setSerialIo(SerialIo *io)
{
    if (m_serial) {
        m_serial->cancelQuery();
        disconnect(m_serial, nullptr, this, nullptr);
    }
    // A query in flight on the old line is sent again on the new one.
    const RingView ring = WritingKind == 1 ? cmdRing() : queryRing();
    if (m_serial && OpMode == 2 && ring.busy && !ring.isEmpty() && ring.current().TaskState == 2) {
        ring.current().TaskState = 0;
        abandon(ring);
    }
    m_serial = io;
    if (io) {
        connect(io, &SerialIo::queryFinished, this, &CommTasker::onSerialQueryFinished);
        connect(io, &SerialIo::linkFailed, this, &CommTasker::onLinkError);
        connect(io, &SerialIo::traceLine, this, &CommTasker::trace);
    }
}

void CommTasker::setGpibBoard(GpibBoard *board)
{
    if (m_gpib)
        disconnect(m_gpib, nullptr, this, nullptr);
    m_gpib = board;
    if (board) {
        connect(board, &GpibBoard::writeComplete, this, &CommTasker::onGpibWriteComplete);
        connect(board, &GpibBoard::dataRead, this, &CommTasker::onGpibDataRead);
        connect(board, &GpibBoard::error, this, &CommTasker::onLinkError);
    }
}

CommTasker::RingView CommTasker::queryRing()
{
    return {m_queryTasks, QueryHeadI, QueryTailI, QueryCount, QueryBusy, QueryWriteErrorTime, 0};
}

CommTasker::RingView CommTasker::cmdRing()
{
    return {m_cmdTasks, CmdHeadI, CmdTailI, CmdCount, CmdBusy, m_cmdWriteErrorTime, 1};
}

CommTasker::Link CommTasker::link() const
{
    if (CommType == QLatin1String("GPIB"))
        return m_gpib ? Link::Gpib : Link::None;
    if (CommType == QLatin1String("RS232"))
        return m_serial ? Link::Serial : Link::None;
    return Link::None;
}

// ---- Queueing ----

bool CommTasker::enqueue(const RingView &ring, const QString &xOutString, int xRspType,
                         QObject *owner, AnswerHandler onAnswer, bool xIsNeedingAck)
{
    if (Clearing)
        return false;
    if (ring.count >= MaxPending) {
        trace((ring.isQuery() ? QStringLiteral("Q overflowed, just dropped:")
                              : QStringLiteral("C overflowed, just dropped it:"))
              + xOutString);
        return false;
    }
    Task &t = ring.tasks[size_t(ring.head)];
    t.xOutString = xOutString;
    t.xRspType = xRspType;
    t.owner = owner;
    t.hasOwner = owner != nullptr;
    t.onAnswer = std::move(onAnswer);
    t.response.clear();
    t.hasResponse = false;
    t.TaskState = 0;
    t.Cancelled = false;
    t.xIsNeedingAck = xIsNeedingAck;
    t.quad = false;
    ring.head = (ring.head + 1) % RingSize;
    ring.count = ValidTaskArraySize(RingSize, ring.head, ring.tail);
    return true;
}

bool CommTasker::ExecQueryTask(const QString &xOutString, int xRspType, QObject *owner,
                               AnswerHandler onAnswer, bool xIsNeedingAck)
{
    return enqueue(queryRing(), xOutString, xRspType, owner, std::move(onAnswer), xIsNeedingAck);
}

void CommTasker::ExecCmdTask(const QString &xOutString, int xRspType)
{
    // Commands never hold the engine for an acknowledgement.
    enqueue(cmdRing(), xOutString, xRspType, nullptr, {}, false);
}

bool CommTasker::ExecQueryTaskQuad(const QString &xOutString, QObject *owner,
                                   AnswerHandler onReading)
{
    // Queued like any query, so it never runs inside another step; its answer is reduced to
    // the reading (see deliver). The caller is told true whatever happened.
    const RingView ring = queryRing();
    if (enqueue(ring, xOutString, 5, owner, std::move(onReading), false))
        ring.tasks[size_t((ring.head + RingSize - 1) % RingSize)].quad = true;
    return true;
}

int CommTasker::ValidTaskArraySize(int Size, int HeadI, int TailI)
{
    return HeadI >= TailI ? HeadI - TailI : Size - TailI + HeadI;
}

// ---- Consumption ----

void CommTasker::ConsumeTask()
{
    ConsumeCmdTask();
    ConsumeQueryTask();
}

bool CommTasker::ConsumeCmdTask()
{
    return consume(cmdRing(), QueryBusy);
}

bool CommTasker::ConsumeQueryTask()
{
    return consume(queryRing(), CmdBusy);
}

bool CommTasker::consume(const RingView &ring, bool otherBusy)
{
    if (WaitingAck || otherBusy || ConsumeDepth != 0)
        return false;
    DepthGuard guard(ConsumeDepth);
    if (ring.isEmpty())
        return false;
    Task &task = ring.current();
    switch (link()) {
    case Link::Gpib: return stepGpib(ring, task);
    case Link::Serial: return stepSerial(ring, task);
    case Link::None: return stepUnwired(ring, task);
    }
    return false;
}

bool CommTasker::stepGpib(const RingView &ring, Task &task)
{
    const quint64 generation = m_generation;
    bool delivered = false;
    for (;;) {
        switch (task.TaskState) {
        case 0:
            // Nothing to write for a cancelled task or an empty table entry.
            task.TaskState = (task.Cancelled || task.xOutString.isEmpty()) ? 4 : 1;
            break;
        case 1: {
            if (task.Cancelled) {
                task.TaskState = 4;
                break;
            }
            if (OpMode > 0)
                return false;
            if (ring.writeErrorTime > 0
                && now() - ring.writeErrorTime < WriteRetrySeconds)
                return false;
            ring.busy = true;
            WritingKind = ring.kind;
            ring.writeErrorTime = 0;
            // State and mode first: the board may report completion before write() returns.
            OpMode = 1;
            task.TaskState = 2;
            if (!m_gpib->write(task.xOutString)) {
                if (generation != m_generation)
                    return false;
                OpMode = 0;
                task.TaskState = 1;
                ring.writeErrorTime = std::max(now(), 1e-3);
                trace(ring.isQuery() ? QStringLiteral("QueryWaitWrite Error")
                                     : QStringLiteral("CmdWaitWriteErrorWait"));
                return false;
            }
            if (generation != m_generation)
                return false;
            break;
        }
        case 2:
            if (task.xRspType == 0) {
                task.TaskState = 4;
                break;
            }
            if (RspCount == 0)
                return false;
            task.response = RspPop();
            task.hasResponse = true;
            task.TaskState = 3;
            break;
        case 3:
            task.TaskState = 4;
            if (task.Cancelled) {
                trace(ring.isQuery() ? QStringLiteral("query paired but cancelled")
                                     : QStringLiteral("cmd paired but cancelled"));
                break;
            }
            delivered = deliver(task);
            if (generation != m_generation)
                return false;
            break;
        default:
            return finish(ring, task, delivered);
        }
    }
}

bool CommTasker::stepSerial(const RingView &ring, Task &task)
{
    if (task.TaskState == 2)
        return false;  // the answer comes through onSerialQueryFinished
    if (task.Cancelled || task.xOutString.isEmpty())
        return finish(ring, task, false);
    if (OpMode > 0)
        return false;

    if (!task.xOutString.contains(QLatin1Char('?'))) {
        // A line without "?" gets no answer from the supply: write it and be done, whichever
        // ring it came from.
        OpMode = 1;
        m_serial->serialWrite(task.xOutString);
        OpMode = 0;
        return finish(ring, task, false);
    }

    ring.busy = true;
    WritingKind = ring.kind;
    OpMode = 2;
    task.TaskState = 2;
    m_serial->startQuery(task.xOutString);
    return false;
}

void CommTasker::onSerialQueryFinished(const QString &text)
{
    const RingView ring = WritingKind == 1 ? cmdRing() : queryRing();
    if (OpMode != 2 || !ring.busy || ring.isEmpty() || ring.current().TaskState != 2) {
        trace(QStringLiteral("answer without a query in flight dropped: ") + text);
        return;
    }
    Task &task = ring.current();
    OpMode = 0;
    if (task.xRspType == 0) {
        finish(ring, task, false);
        return;
    }
    if (text.trimmed().isEmpty()) {
        finish(ring, task, false);
        if (!task.Cancelled)
            noAnswer();
        return;
    }
    m_unansweredSince = -1;
    RspTask(text);
    bool delivered = false;
    if (RspCount > 0) {
        task.response = RspPop();
        task.hasResponse = true;
        if (task.Cancelled) {
            trace(QStringLiteral("query paired but cancelled"));
        } else {
            const quint64 generation = m_generation;
            delivered = deliver(task);
            if (generation != m_generation) {
                abandon(ring);  // the receiver emptied the rings
                return;
            }
        }
    }
    finish(ring, task, delivered);
}

void CommTasker::noAnswer()
{
    // One message for a run of unanswered queries; if they go on for the busy time-out, the
    // link is treated as failed, as a pulled cable is.
    const double t = now();
    if (m_unansweredSince < 0) {
        m_unansweredSince = t;
        Prompter::current().notify(NoDataMessage);
        return;
    }
    if (t - m_unansweredSince > BusyTimeoutSeconds)
        TimeoutTask();
}

bool CommTasker::stepUnwired(const RingView &ring, Task &task)
{
    // Without a supply ("Menu") commands are taken and go nowhere; queries wait.
    if (ring.isQuery() || CommType == QLatin1String("GPIB") || CommType == QLatin1String("RS232"))
        return false;
    return finish(ring, task, false);
}

bool CommTasker::finish(const RingView &ring, Task &task, bool delivered)
{
    if (ring.isQuery() && task.Cancelled)
        ResetRspArray();
    ring.busy = false;
    // Only a caller that received its answer can acknowledge it.
    WaitingAck = task.xIsNeedingAck && delivered;
    if (ring.isQuery() && CycleCount < QueriesPerCycle)
        ++CycleCount;
    ring.tail = (ring.tail + 1) % RingSize;
    ring.count = ValidTaskArraySize(RingSize, ring.head, ring.tail);
    return true;
}

bool CommTasker::abandon(const RingView &ring)
{
    // The rings were emptied while the serial exchange let events run; the exchange is
    // over, so nothing is in flight any more.
    ring.busy = false;
    OpMode = 0;
    return false;
}

bool CommTasker::deliver(Task &task)
{
    if (task.hasOwner && !task.owner) {
        trace(QStringLiteral("target gone, answer dropped: ") + task.response);
        return false;
    }
    if (!task.onAnswer)
        return false;
    // The handler may empty the rings (a reset) and so overwrite this task: it runs from a
    // copy.
    const AnswerHandler handler = task.onAnswer;
    if (!task.quad) {
        handler(task.response);
        return true;
    }
    // A reading of the four-channel supply ("12.345V") arrives formatted as "##0.000";
    // anything else is left out.
    const QLatin1Char unit(task.xOutString.startsWith(QLatin1Char('V'), Qt::CaseInsensitive)
                               ? 'V'
                               : 'A');
    const std::optional<QString> reading = Answers::quadReading(task.response, unit);
    if (!reading)
        return false;
    handler(*reading);
    return true;
}

// ---- Response assembly ----

void CommTasker::RspTask(const QString &received)
{
    const QStringView text(received);
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype end = from;
        while (end < text.size() && text[end] != QLatin1Char('\n') && text[end] != QLatin1Char('\r'))
            ++end;
        // Characters up to the terminator (or the end of this chunk) continue the line.
        if (!m_rspDropping) {
            if (RspLine.size() + (end - from) > MaxLineChars) {
                trace(QStringLiteral("a line longer than %1 characters was dropped").arg(MaxLineChars));
                RspLine.clear();
                m_rspDropping = true;
            } else {
                RspLine += text.mid(from, end - from);
            }
        }
        if (end == text.size())
            return;
        // A terminator: the line is complete. Lines mentioning "bit" are status chatter,
        // never an answer.
        if (!m_rspDropping && !RspLine.isEmpty()
            && !RspLine.contains(QLatin1String("bit"), Qt::CaseInsensitive))
            RspPush(RspLine);
        RspLine.clear();
        m_rspDropping = false;
        from = end + 1;
    }
}

void CommTasker::RspPush(const QString &line)
{
    if (line.isEmpty() || line == QLatin1String("\n") || line == QLatin1String("\r"))
        return;
    if (RspCount >= RingSize) {
        trace(QStringLiteral("Rsp overflow"));
        return;
    }
    ResponseLines[size_t(RspCount)] = line;
    ++RspCount;
}

QString CommTasker::RspPop()
{
    if (RspCount <= 0)
        return QString();
    const QString line = ResponseLines[size_t(RspCount - 1)];
    RspCount = 0;
    return line;
}

// ---- Transport events ----

void CommTasker::onGpibWriteComplete()
{
    if (OpMode != 1) {
        trace(QStringLiteral("write-complete without a write in progress"));
        return;
    }
    OpMode = 0;
    const RingView ring = WritingKind == 1 ? cmdRing() : queryRing();
    if (ring.isEmpty() || !ring.busy)
        return;
    const Task &task = ring.current();
    if (task.TaskState == 2 && task.xRspType != 0 && m_gpib) {
        OpMode = 2;
        m_gpib->read();
    }
}

void CommTasker::onGpibDataRead(const QString &data)
{
    if (OpMode != 2) {
        trace(QStringLiteral("answer without a read in progress dropped: ") + data);
        return;
    }
    OpMode = 0;
    RspTask(data);
    // The bus marks the end of a message, so a last line without terminator is complete.
    if (!RspLine.isEmpty())
        RspTask(QStringLiteral("\n"));
}

void CommTasker::onLinkError(const QString &text)
{
    trace(QStringLiteral("link error: ") + text);
    TimeoutTask();
}

// ---- Resets and time-out ----

void CommTasker::ResetTasks()
{
    QueryHeadI = QueryTailI = CmdHeadI = CmdTailI = 0;
    QueryCount = CmdCount = 0;
    RspCount = 0;
    RspLine.clear();
    m_rspDropping = false;
    WritingKind = 0;
    ++m_generation;
}

void CommTasker::ResetQueryTasks()
{
    for (Task &t : m_queryTasks)
        t.Cancelled = true;
}

void CommTasker::ClearAllTasks(QObject *owner, std::function<void(bool cleared)> done)
{
    if (m_clearing) {
        done(false);
        return;
    }
    Clearing = true;
    m_clearing = ClearingWait{owner, std::move(done), m_generation, ++m_clearingIds};
    m_clearingTimer.start();
    emit clearingStarted();
}

void CommTasker::cancelClearing()
{
    endClearing(false);
}

void CommTasker::clearingTick()
{
    DoWriterTimer(ClearingIntervalMs);
    if (!m_clearing || !m_clearingTimer.isActive())
        return;  // reset during the tick: its end is on its way
    // A reset while waiting (the link failed) is no idle link to act on.
    if (m_clearing->generation != m_generation) {
        endClearing(false);
    } else if (isIdle()) {
        ResetTasks();
        endClearing(true);
    }
}

void CommTasker::endClearing(bool cleared)
{
    m_clearingTimer.stop();
    Clearing = false;
    std::optional<ClearingWait> wait = std::exchange(m_clearing, std::nullopt);
    if (!wait)
        return;
    emit clearingEnded(cleared);
    if (wait->owner)
        wait->done(cleared);
}

void CommTasker::SetupTimeoutTask(QObject *owner, std::function<void()> onTimeout)
{
    m_timeoutOwner = owner;
    m_onTimeout = std::move(onTimeout);
}

void CommTasker::ResetTimeoutTask()
{
    m_timeoutOwner = nullptr;
    m_onTimeout = nullptr;
}

void CommTasker::TimeoutTask()
{
    QueryBusy = false;
    CmdBusy = false;
    // A failure reported while the handler runs is the same failure: the outer call resets
    // the engine and reports it once.
    if (m_inTimeout)
        return;
    const QScopedValueRollback<bool> inTimeout(m_inTimeout, true);
    // The reset below removes the handler anyway; taking it now keeps a second failure
    // reported while the handler runs from calling it twice.
    const QPointer<QObject> owner = m_timeoutOwner;
    const std::function<void()> handler = m_onTimeout;
    ResetTimeoutTask();
    if (owner && handler) {
        // The handler usually shows a message; hold the rings meanwhile so queued lines
        // are not sent to a link that just failed.
        DepthGuard hold(ConsumeDepth);
        handler();
    }
    ResetAll();
    emit timedOut();
}

void CommTasker::ResetAll()
{
    ResetTasks();
    if (m_gpib)
        m_gpib->reset();
    if (m_serial)
        m_serial->cancelQuery();
    m_unansweredSince = -1;
    ResetTimeoutTask();
    OpMode = 0;
    QueryBusy = false;
    CmdBusy = false;
    WaitingAck = false;
    Clearing = false;
    // A clearing under way ends, unsuccessfully, once the caller of the reset has returned:
    // what follows it then finds the whole reset done.
    if (m_clearing) {
        m_clearingTimer.stop();
        QTimer::singleShot(0, this, [this, id = m_clearing->id] {
            if (m_clearing && m_clearing->id == id)
                endClearing(false);
        });
    }
    LastTick = -1;
    MaxElapsed = 0;
    CycleCount = 0;
    CycleMs = 0;
    QueryWriteErrorTime = 0;
    m_cmdWriteErrorTime = 0;
}

bool CommTasker::isIdle() const
{
    return !QueryBusy && !CmdBusy && OpMode == 0 && QueryCount <= 0 && CmdCount <= 0;
}

// ---- Tick ----

void CommTasker::DoWriterTimer(int IntervalMsec)
{
    // One clock reading per tick: a consume step that waits (serial) ends idle anyway.
    const double t = now();
    if (LastTick < 0)
        LastTick = t;
    ConsumeTask();

    // A line on the wire counts as busy too: a GPIB write that never completes would
    // otherwise hold every later task without ever timing out.
    if (QueryBusy || CmdBusy || OpMode > 0) {
        const double elapsed = t - LastTick;
        MaxElapsed = std::max(MaxElapsed, elapsed);
        if (elapsed > BusyTimeoutSeconds)
            TimeoutTask();
    } else {
        LastTick = t;
    }

    if (!m_host || !m_host->isQueryTimerEnabled()) {
        CycleCount = 0;
        CycleMs = 0;
        return;
    }
    if (CycleCount < QueriesPerCycle) {
        CycleMs += IntervalMsec;
    } else {
        CycleCount = 0;
        CycleMs = 0;
    }
    if (ReadTimesMs > 0 && CycleMs > ReadTimesMs) {
        m_host->ReportStatus(QStringLiteral("Read Times Failed!"), 2000);
        CycleMs = 0;
    }
    if (ReadTimesMs == 0)
        CycleMs = 0;
}

void CommTasker::trace(const QString &text)
{
    if (m_host)
        m_host->trace(text);
}
