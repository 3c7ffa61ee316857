#include "datalog/GraphPower.h"

#include "datalog/EnergyLedger.h"
#include "datalog/SampleBuffer.h"

#include <QCheckBox>
#include <QGridLayout>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// About five significant digits, never in exponent form, trailing zeros dropped:
// 24.0067 is "24.007", 0.142602 "0.1426", 123456.7 "123457".
QString number(double value)
{
    const double magnitude = std::abs(value);
    const int digits = magnitude > 0 ? int(std::floor(std::log10(magnitude))) : 0;
    QString text = QString::number(value, 'f', std::clamp(4 - digits, 0, 6));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

} // namespace

GraphPower::GraphPower(QCustomPlot *plot, const SampleBuffer &buffer,
                       const std::array<QCPGraph *, Channels> &voltageTraces, QObject *parent)
    : QObject(parent), m_plot(plot), m_buffer(buffer), m_voltage(voltageTraces),
      m_ledger(new EnergyLedger(buffer, this))
{
    m_axis = plot->axisRect()->addAxis(QCPAxis::atRight);
    m_axis->setLabel(QStringLiteral("Power [W]"));
    m_axis->setTickLabels(true);
    m_axis->setRange(0, 1);
    m_axis->setVisible(false);
    for (int c = 0; c < Channels; ++c) {
        QCPGraph *g = plot->addGraph(plot->xAxis, m_axis);
        g->setName(QStringLiteral("Ch%1 W").arg(c + 1));
        g->setAdaptiveSampling(true);
        g->setVisible(false);
        m_traces[size_t(c)] = g;
        auto *box = new QCheckBox(QStringLiteral("Ch%1 W").arg(c + 1));
        box->setObjectName(QStringLiteral("cbPower_%1").arg(c));
        box->setToolTip(
            QStringLiteral("Power of channel %1 (voltage × current), on the axis \"Power [W]\"").arg(c + 1));
        connect(box, &QCheckBox::toggled, this, [this] {
            m_stale = true;
            emit switched();
        });
        m_boxes[size_t(c)] = box;
    }
    connect(&buffer, &QAbstractItemModel::modelReset, this, [this] { m_stale = true; });
    // Zoomed and panned with the other value axes; a double click fits it again, as it
    // brings back their chosen ranges.
    QCPAxisRect *rect = plot->axisRect();
    QList<QCPAxis *> values = rect->rangeZoomAxes(Qt::Vertical);
    rect->setRangeZoomAxes(rect->rangeZoomAxes(Qt::Horizontal), values << m_axis);
    values = rect->rangeDragAxes(Qt::Vertical);
    rect->setRangeDragAxes(rect->rangeDragAxes(Qt::Horizontal), values << m_axis);
    connect(plot, &QCustomPlot::mouseDoubleClick, this, [this] {
        fitAxis();
        m_plot->replot(QCustomPlot::rpQueuedReplot);
    });
}

void GraphPower::addControls(QGridLayout *grid, int row)
{
    grid->setRowStretch(row, 0);
    for (int c = 0; c < Channels; ++c)
        grid->addWidget(m_boxes[size_t(c)], row + c, 0);
    grid->setRowStretch(row + Channels, 1);
}

bool GraphPower::shown(int channel) const
{
    return channel < m_channels && m_boxes[size_t(channel)]->isChecked();
}

void GraphPower::follow(int channels, int secondsPerPoint)
{
    m_ledger->setPeriod(secondsPerPoint);
    if (channels != m_channels || secondsPerPoint != m_slice || m_drawn > m_buffer.size()) {
        m_channels = channels;
        m_slice = secondsPerPoint;
        m_stale = true;
    }
}

void GraphPower::sync(int channels, int secondsPerPoint)
{
    follow(channels, secondsPerPoint);
    if (m_stale)
        rebuild();
    else if (m_drawn < m_buffer.size())
        append(m_drawn, m_buffer.size() - 1);
    bool any = false;
    for (int c = 0; c < Channels; ++c) {
        m_boxes[size_t(c)]->setEnabled(c < m_channels);
        m_traces[size_t(c)]->setVisible(shown(c));
        any = any || shown(c);
        QPen pen(m_voltage[size_t(c)]->pen().color(), 2, Qt::DotLine);
        m_traces[size_t(c)]->setPen(pen);
    }
    m_axis->setVisible(any);
}

void GraphPower::rebuild()
{
    m_stale = false;
    m_top = 0;
    for (QCPGraph *g : m_traces)
        g->data()->clear();
    m_drawn = 0;
    if (m_buffer.size() > 0)
        append(0, m_buffer.size() - 1);
    fitAxis();
}

void GraphPower::append(int first, int last)
{
    const double top = m_top;
    for (int c = 0; c < Channels; ++c) {
        if (!shown(c))
            continue;
        QList<QCPGraphData> points;
        points.reserve(last - first + 1);
        for (int row = first; row <= last; ++row) {
            const std::optional<double> w = PowerSeries::watts(m_buffer, row, c);
            // A sample missing a reading leaves a gap in the line.
            points.append(QCPGraphData(double(row) * m_slice, w ? *w : std::numeric_limits<double>::quiet_NaN()));
            if (w)
                m_top = std::max(m_top, *w);
        }
        m_traces[size_t(c)]->data()->add(points, true);
    }
    m_drawn = last + 1;
    if (m_top > top)
        fitAxis();
}

void GraphPower::fitAxis()
{
    m_axis->setRange(0, m_top > 0 ? m_top * 1.1 : 1);
}

QStringList GraphPower::statistics(int channels, int secondsPerPoint)
{
    follow(channels, secondsPerPoint);
    QStringList lines;
    for (int c = 0; c < m_channels; ++c) {
        if (!shown(c))
            continue;
        const EnergyTotals t = m_ledger->totals(c);
        const bool any = t.powerSamples > 0;
        lines << QStringLiteral("CH%1 Pmax:%2W Pmin:%3W")
                     .arg(c + 1)
                     .arg(any ? number(t.maxWatts) : QString(), any ? number(t.minWatts) : QString());
        lines << QStringLiteral("CH%1 Energy:%2").arg(c + 1).arg(energyText(t));
    }
    return lines;
}

QString GraphPower::energyText(const EnergyTotals &totals)
{
    return number(totals.wattHours) + QStringLiteral("Wh ") + number(totals.ampHours) + QStringLiteral("Ah");
}

QString GraphPower::spanText(int channel, int first, int last)
{
    return energyText(m_ledger->span(channel, first, last));
}
