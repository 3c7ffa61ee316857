#pragma once

#include "datalog/EnergyIntegrator.h"

#include <QObject>

#include <array>
#include <vector>

class SampleBuffer;

// Energy and charge of every channel of a sample buffer, for the whole recording and for any
// span of its rows, without reading the whole buffer again for each question. It catches up
// with the rows added since it was last asked, and keeps the running integration every
// Stride rows, so a span costs at most two short stretches of rows however long the
// recording is. Starts over when the buffer is replaced or the sample period changes.
class EnergyLedger : public QObject
{
    Q_OBJECT
public:
    static constexpr int Stride = 1024;

    explicit EnergyLedger(const SampleBuffer &buffer, QObject *parent = nullptr);

    // Seconds between samples: a gap of more than three of them is not bridged.
    void setPeriod(double seconds);
    double period() const { return m_period; }

    // Rows 0..size-1 of `channel` (0..3).
    EnergyTotals totals(int channel);
    // Rows first..last (inclusive, either order, clamped): the energy and charge of the
    // stretches between them; the power extremes are not kept per span.
    EnergyTotals span(int channel, int first, int last);

private:
    using Channels = std::array<EnergyIntegrator, 4>;
    void restart();
    void catchUp();
    void feed(Channels &integrators, int row) const;
    // The integration of rows 0..row.
    EnergyTotals upTo(int channel, int row) const;

    const SampleBuffer &m_buffer;
    double m_period = 1;
    int m_done = 0;                    // rows integrated into m_running
    Channels m_running;
    std::vector<Channels> m_marks;     // m_marks[k]: rows 0..k*Stride-1 integrated
};
