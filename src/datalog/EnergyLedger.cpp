#include "datalog/EnergyLedger.h"

#include "datalog/SampleBuffer.h"

#include <algorithm>

EnergyLedger::EnergyLedger(const SampleBuffer &buffer, QObject *parent) : QObject(parent), m_buffer(buffer)
{
    connect(&buffer, &QAbstractItemModel::modelReset, this, &EnergyLedger::restart);
    restart();
}

void EnergyLedger::setPeriod(double seconds)
{
    if (seconds == m_period)
        return;
    m_period = seconds;
    restart();
}

void EnergyLedger::restart()
{
    m_done = 0;
    m_running.fill(EnergyIntegrator(m_period));
    m_marks.assign(1, m_running);
}

void EnergyLedger::feed(Channels &integrators, int row) const
{
    const double t = PowerSeries::seconds(m_buffer, row);
    for (int c = 0; c < m_buffer.channelCount(); ++c)
        integrators[size_t(c)].add(t, PowerSeries::volts(m_buffer, row, c), PowerSeries::amps(m_buffer, row, c));
}

void EnergyLedger::catchUp()
{
    // A buffer that shrank without a reset cannot be followed: start over.
    if (m_done > m_buffer.size())
        restart();
    for (; m_done < m_buffer.size(); ++m_done) {
        feed(m_running, m_done);
        if ((m_done + 1) % Stride == 0)
            m_marks.push_back(m_running);
    }
}

EnergyTotals EnergyLedger::totals(int channel)
{
    if (channel < 0 || channel >= int(m_running.size()))
        return {};
    catchUp();
    return m_running[size_t(channel)].totals();
}

EnergyTotals EnergyLedger::upTo(int channel, int row) const
{
    const int mark = (row + 1) / Stride;
    Channels integrators = m_marks[size_t(mark)];
    for (int r = mark * Stride; r <= row; ++r)
        feed(integrators, r);
    return integrators[size_t(channel)].totals();
}

EnergyTotals EnergyLedger::span(int channel, int first, int last)
{
    if (channel < 0 || channel >= int(m_running.size()) || m_buffer.size() == 0)
        return {};
    catchUp();
    if (first > last)
        std::swap(first, last);
    first = std::clamp(first, 0, m_buffer.size() - 1);
    last = std::clamp(last, 0, m_buffer.size() - 1);
    // Integration is additive over the stretches between rows: the span's share is the
    // total up to `last` less the total up to `first`.
    const EnergyTotals end = upTo(channel, last);
    const EnergyTotals start = upTo(channel, first);
    EnergyTotals out;
    out.wattHours = end.wattHours - start.wattHours;
    out.ampHours = end.ampHours - start.ampHours;
    return out;
}
