#pragma once

#include <QDateTime>
#include <optional>

// The program's notion of "now". Everything that measures elapsed time (engine time-outs,
// identification deadlines, recording ticks) asks the installed clock, so tests can swap in
// a FakeClock and step across midnight or 20-second time-outs without waiting.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Milliseconds on a steady clock that never jumps (time-zone or wall-clock changes):
    // what elapsed times and time-outs are measured with.
    virtual qint64 monotonicMs() const = 0;
    double monotonicSeconds() const { return monotonicMs() / 1000.0; }

    // Seconds since local midnight, with millisecond resolution.
    double secondsSinceMidnight() const;

    // Seconds elapsed from `earlier` to `later`, both taken with secondsSinceMidnight();
    // a midnight crossing in between counts as the short way forward.
    static double elapsedSeconds(double earlier, double later);

    static Clock &current();
    // Installs `clock` (not owned); nullptr puts the system clock back.
    static void install(Clock *clock);
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 monotonicMs() const override;
};

class FakeClock : public Clock
{
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(12, 0)))
        : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    // The steady clock goes on from the system's at its first reading, so installing this
    // clock while a wait started on the system's is under way does not make it look overdue
    // (or run backwards), however long the machine has been up.
    qint64 monotonicMs() const override
    {
        if (!m_monotonicBaseMs)
            m_monotonicBaseMs = SystemClock().monotonicMs();
        return *m_monotonicBaseMs + m_advancedMs;
    }
    // Sets the wall time only: the steady clock does not jump with it.
    void setNow(const QDateTime &t) { m_now = t; }
    void advanceMs(qint64 ms)
    {
        m_now = m_now.addMSecs(ms);
        m_advancedMs += ms;
    }

private:
    QDateTime m_now;
    mutable std::optional<qint64> m_monotonicBaseMs;
    qint64 m_advancedMs = 0;
};

// Installs a clock for the lifetime of the guard (tests).
class ScopedClock
{
public:
    explicit ScopedClock(Clock &clock) { Clock::install(&clock); }
    ~ScopedClock() { Clock::install(nullptr); }
    ScopedClock(const ScopedClock &) = delete;
    ScopedClock &operator=(const ScopedClock &) = delete;
};
