#include "connection/InitialValuesWatch.h"

#include "common/Clock.h"
#include "link/CommTasker.h"

#include <cmath>

InitialValuesWatch::InitialValuesWatch(CommTasker &engine, QObject *parent) : QObject(parent), m_engine(engine)
{
    CheckTimer.setInterval(CheckIntervalMs);
    connect(&CheckTimer, &QTimer::timeout, this, &InitialValuesWatch::CheckTimer_Timer);
}

void InitialValuesWatch::start()
{
    m_total = m_engine.QueryCount;
    m_startSeconds = Clock::current().monotonicSeconds();
    m_running = true;
    CheckTimer.start();
}

void InitialValuesWatch::stop()
{
    m_running = false;
    CheckTimer.stop();
}

void InitialValuesWatch::finishWith(bool cancelled)
{
    if (!m_running)
        return;
    stop();
    if (!cancelled)
        emit progress(m_total, m_total, 0);
    emit finished(cancelled);
}

void InitialValuesWatch::CheckTimer_Timer()
{
    if (!CheckTimer.isActive())
        return;
    m_engine.DoWriterTimer(CheckIntervalMs);
    const int pending = m_engine.QueryCount;
    if (pending > 0) {
        emit progress(qBound(0, m_total - pending, m_total), m_total, remainingSeconds(pending));
        return;
    }
    finishWith(false);
}

// Pending queries times the average time one query has taken so far (a writer tick before
// the first answer), plus one.
int InitialValuesWatch::remainingSeconds(int pending) const
{
    const int done = m_total - pending;
    double perQuery = CommTasker::WriterIntervalMs / 1000.0;
    if (done > 0) {
        const double elapsed = Clock::current().monotonicSeconds() - m_startSeconds;
        perQuery = elapsed / done;
    }
    return int(std::floor(pending * perQuery)) + 1;
}
