#pragma once

#include "datalog/EnergyIntegrator.h"

#include <QObject>
#include <QStringList>

#include <array>

class EnergyLedger;
class QCPAxis;
class QCPGraph;
class QCheckBox;
class QCustomPlot;
class QGridLayout;
class SampleBuffer;

// The graph window's power and energy: a power trace (V × I, watts) per channel on an axis of
// its own at the right, each switched on by its check box ("Ch1 W".."Ch4 W", off at first),
// drawn in its channel's colour, dotted; the statistics lines of the channels switched on;
// and the energy and charge between two rows for the cursor measurement. The traces follow
// the buffer each time the plot is drawn, so the window's own drawing needs no change.
class GraphPower : public QObject
{
    Q_OBJECT
public:
    static constexpr int Channels = 4;

    // `voltageTraces`: the voltage trace of each channel, whose colour the power trace takes.
    GraphPower(QCustomPlot *plot, const SampleBuffer &buffer, const std::array<QCPGraph *, Channels> &voltageTraces,
               QObject *parent = nullptr);

    // The check boxes, one a row from `row` on in column 0 of `grid`, the rows below stretching.
    void addControls(QGridLayout *grid, int row);
    QCheckBox *box(int channel) const { return m_boxes[size_t(channel)]; }
    QCPGraph *trace(int channel) const { return m_traces[size_t(channel)]; }  // 0..3
    QCPAxis *axis() const { return m_axis; }
    EnergyLedger &ledger() const { return *m_ledger; }

    // Brings the traces up to date with `channels` shown and `secondsPerPoint` per row; run
    // before each frame.
    void sync(int channels, int secondsPerPoint);

    // "CH1 Pmax:24W Pmin:0W" and "CH1 Energy:24Wh 2Ah" for each channel switched on.
    QStringList statistics(int channels, int secondsPerPoint);
    // "24Wh 2Ah": what `channel` delivered between rows `first` and `last`.
    QString spanText(int channel, int first, int last);
    static QString energyText(const EnergyTotals &totals);

signals:
    // A power trace was switched on or off.
    void switched();

private:
    void follow(int channels, int secondsPerPoint);
    bool shown(int channel) const;
    void rebuild();
    void append(int first, int last);
    void fitAxis();

    QCustomPlot *m_plot;
    const SampleBuffer &m_buffer;
    std::array<QCPGraph *, Channels> m_voltage;
    EnergyLedger *m_ledger;
    QCPAxis *m_axis;
    std::array<QCPGraph *, Channels> m_traces{};
    std::array<QCheckBox *, Channels> m_boxes{};
    int m_channels = 1;
    int m_slice = 1;
    int m_drawn = 0;            // rows on the traces
    bool m_stale = true;        // the traces must be drawn anew
    double m_top = 0;           // largest power drawn
};
