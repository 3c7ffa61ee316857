#include "datalog/CsvExport.h"

#include "datalog/EnergyIntegrator.h"
#include "datalog/SampleBuffer.h"

#include <QIODevice>

#include <algorithm>
#include <array>

namespace CsvExport {

int pairs(int channels)
{
    return channels == 2 || channels == 3 ? channels : 4;
}

QString header(int channels)
{
    QString h = QStringLiteral("No.,Time");
    for (int c = 1; c <= pairs(channels); ++c)
        h += QStringLiteral(",Ch%1 V,Ch%1 A").arg(c);
    return h;
}

QString energyHeader(int channels)
{
    QString h;
    for (int c = 1; c <= std::clamp(channels, 1, 4); ++c)
        h += QStringLiteral(",Ch%1 W,Ch%1 Wh,Ch%1 Ah").arg(c);
    return h;
}

// Appends `text` as one field, quoted when it holds a separator, a quote or a line break.
static void appendField(QByteArray &out, QByteArrayView text)
{
    bool plain = true;
    for (char c : text)
        plain = plain && c != ',' && c != '"' && c != '\n' && c != '\r';
    if (plain) {
        out.append(text);
        return;
    }
    out.append('"');
    for (char c : text) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

// A computed number with up to six decimals, trailing zeros dropped, and a decimal comma
// when the readings beside it have one.
static void appendNumber(QByteArray &out, double value, bool decimalComma)
{
    QByteArray text = QByteArray::number(value, 'f', 6);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    if (text == "-0")
        text = "0";
    if (decimalComma)
        text.replace('.', ',');
    appendField(out, text);
}

// Each channel's power, energy and charge up to row i.
static void appendEnergy(QByteArray &chunk, const SampleBuffer &buffer, int i,
                         std::array<EnergyIntegrator, 4> &integrators, int channels)
{
    const double t = PowerSeries::seconds(buffer, i);
    for (int c = 0; c < channels; ++c) {
        const std::optional<double> v = PowerSeries::volts(buffer, i, c);
        const std::optional<double> a = PowerSeries::amps(buffer, i, c);
        EnergyIntegrator &integrator = integrators[size_t(c)];
        integrator.add(t, v, a);
        const bool comma = buffer.cellBytes(i, 1 + 3 * c).contains(',') || buffer.cellBytes(i, 2 + 3 * c).contains(',');
        chunk.append(',');
        if (v && a)
            appendNumber(chunk, *v * *a, comma);
        chunk.append(',');
        appendNumber(chunk, integrator.totals().wattHours, comma);
        chunk.append(',');
        appendNumber(chunk, integrator.totals().ampHours, comma);
    }
}

static bool writeRows(const SampleBuffer &buffer, int channels, QIODevice &out, const EnergyColumns *energy)
{
    const int n = pairs(channels);
    const int shown = std::clamp(channels, 1, 4);
    std::array<EnergyIntegrator, 4> integrators;
    integrators.fill(EnergyIntegrator(energy ? energy->periodSeconds : 1));
    const QString head = energy ? header(channels) + energyHeader(channels) : header(channels);
    QByteArray chunk = (head + QLatin1String("\r\n")).toUtf8();
    for (int i = 0; i < buffer.size(); ++i) {
        chunk.append(QByteArray::number(buffer.seqNo(i)));
        chunk.append(',');
        appendField(chunk, buffer.cellBytes(i, 0));
        for (int c = 0; c < n; ++c) {
            chunk.append(',');
            appendField(chunk, buffer.cellBytes(i, 1 + 3 * c));
            chunk.append(',');
            appendField(chunk, buffer.cellBytes(i, 2 + 3 * c));
        }
        if (energy)
            appendEnergy(chunk, buffer, i, integrators, shown);
        chunk.append("\r\n");
        if (chunk.size() > (1 << 16)) {
            if (out.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return out.write(chunk) == chunk.size();
}

bool write(const SampleBuffer &buffer, int channels, QIODevice &out)
{
    return writeRows(buffer, channels, out, nullptr);
}

bool write(const SampleBuffer &buffer, int channels, QIODevice &out, const EnergyColumns &energy)
{
    return writeRows(buffer, channels, out, &energy);
}

} // namespace CsvExport
