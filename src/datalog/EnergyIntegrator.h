#pragma once

#include <QByteArrayView>

#include <optional>

class SampleBuffer;

// What one channel delivered over a run of samples: energy and charge, integrated over the
// sample times by trapezoids, and the largest and smallest power seen.
struct EnergyTotals {
    double wattHours = 0;
    double ampHours = 0;
    double maxWatts = 0;  // valid when powerSamples > 0
    double minWatts = 0;
    int powerSamples = 0;  // samples with both readings
};

// Integrates one channel's samples as they come, in time order. A stretch between two
// samples counts only when both ends hold the reading it needs and the samples are at most
// three sample periods apart: a longer gap (the recording stopped, samples missing) is not
// bridged, so no energy is made up for time nobody measured.
class EnergyIntegrator
{
public:
    explicit EnergyIntegrator(double periodSeconds = 1) : m_maxGap(3 * periodSeconds) {}

    // The sample at `seconds` from the start; a missing reading is nullopt.
    void add(double seconds, std::optional<double> volts, std::optional<double> amps);
    const EnergyTotals &totals() const { return m_totals; }

private:
    bool bridges(std::optional<double> lastTime, double seconds) const;

    double m_maxGap;
    EnergyTotals m_totals;
    // The latest sample with a current, and with a power.
    std::optional<double> m_ampTime, m_amps;
    std::optional<double> m_wattTime, m_watts;
};

// Readings of a SampleBuffer as the integration takes them.
namespace PowerSeries {

// A stored reading as a number; nullopt when the text is empty or does not start with one
// ("12.5V" and "12,5" are 12.5, "", "---" and "OL" are missing).
std::optional<double> reading(QByteArrayView utf8);
std::optional<double> volts(const SampleBuffer &buffer, int row, int channel);
std::optional<double> amps(const SampleBuffer &buffer, int row, int channel);
// V × I of a sample; nullopt when either reading is missing.
std::optional<double> watts(const SampleBuffer &buffer, int row, int channel);
// The sample's time: seconds from the start of the recording.
double seconds(const SampleBuffer &buffer, int row);
// Rows first..last (inclusive, in either order, clamped to the buffer) of `channel`.
EnergyTotals integrate(const SampleBuffer &buffer, int channel, int first, int last, double periodSeconds);

} // namespace PowerSeries
