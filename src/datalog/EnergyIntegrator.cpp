#include "datalog/EnergyIntegrator.h"

#include "datalog/SampleBuffer.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {
constexpr double SecondsPerHour = 3600;
}

bool EnergyIntegrator::bridges(std::optional<double> lastTime, double seconds) const
{
    if (!lastTime)
        return false;
    const double gap = seconds - *lastTime;
    return gap > 0 && gap <= m_maxGap;
}

void EnergyIntegrator::add(double seconds, std::optional<double> volts, std::optional<double> amps)
{
    if (amps) {
        if (bridges(m_ampTime, seconds))
            m_totals.ampHours += (*m_amps + *amps) / 2 * (seconds - *m_ampTime) / SecondsPerHour;
        m_ampTime = seconds;
        m_amps = amps;
    }
    if (volts && amps) {
        const double watts = *volts * *amps;
        if (bridges(m_wattTime, seconds))
            m_totals.wattHours += (*m_watts + watts) / 2 * (seconds - *m_wattTime) / SecondsPerHour;
        m_wattTime = seconds;
        m_watts = watts;
        if (m_totals.powerSamples == 0 || watts > m_totals.maxWatts)
            m_totals.maxWatts = watts;
        if (m_totals.powerSamples == 0 || watts < m_totals.minWatts)
            m_totals.minWatts = watts;
        ++m_totals.powerSamples;
    }
}

namespace PowerSeries {

std::optional<double> reading(QByteArrayView utf8)
{
    qsizetype i = 0;
    while (i < utf8.size() && (utf8[i] == ' ' || utf8[i] == '\t'))
        ++i;
    if (i < utf8.size() && (utf8[i] == '+' || utf8[i] == '-'))
        ++i;
    if (i < utf8.size() && (utf8[i] == '.' || utf8[i] == ','))
        ++i;
    if (i >= utf8.size() || !std::isdigit(static_cast<unsigned char>(utf8[i])))
        return std::nullopt;
    return SampleBuffer::readingValue(utf8);
}

std::optional<double> volts(const SampleBuffer &buffer, int row, int channel)
{
    return reading(buffer.cellBytes(row, 1 + 3 * channel));
}

std::optional<double> amps(const SampleBuffer &buffer, int row, int channel)
{
    return reading(buffer.cellBytes(row, 2 + 3 * channel));
}

std::optional<double> watts(const SampleBuffer &buffer, int row, int channel)
{
    const std::optional<double> v = volts(buffer, row, channel);
    const std::optional<double> a = v ? amps(buffer, row, channel) : std::nullopt;
    return a ? std::optional<double>(*v * *a) : std::nullopt;
}

double seconds(const SampleBuffer &buffer, int row)
{
    return double(buffer.timeTick(row));
}

EnergyTotals integrate(const SampleBuffer &buffer, int channel, int first, int last, double periodSeconds)
{
    EnergyIntegrator integrator(periodSeconds);
    if (buffer.size() == 0)
        return integrator.totals();
    if (first > last)
        std::swap(first, last);
    first = std::clamp(first, 0, buffer.size() - 1);
    last = std::clamp(last, 0, buffer.size() - 1);
    for (int row = first; row <= last; ++row)
        integrator.add(seconds(buffer, row), volts(buffer, row, channel), amps(buffer, row, channel));
    return integrator.totals();
}

} // namespace PowerSeries
