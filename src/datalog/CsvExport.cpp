#include "datalog/CsvExport.h"

#include "datalog/EnergyIntegrator.h"
#include "datalog/SampleBuffer.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

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
static void appendField(std::string &out, QByteArrayView text)
{
    if (std::none_of(text.begin(), text.end(), [](char c) { return c == ',' || c == '"' || c == '\n' || c == '\r'; })) {
        out.append(text.data(), size_t(text.size()));
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// A computed number with up to six decimals, trailing zeros dropped, and a decimal comma
// when the readings beside it have one. Written from whole millionths: a million rows
// cost a fraction of what a general formatter takes.
static void appendNumber(std::string &out, double value, bool decimalComma)
{
    if (!(std::abs(value) < 9e12))
        return;  // beyond any reading's product: left empty
    const qint64 millionths = std::llround(value * 1e6);
    const quint64 magnitude = quint64(millionths < 0 ? -millionths : millionths);
    char text[32];
    char *end = text;
    if (millionths < 0)
        *end++ = '-';
    end = std::to_chars(end, text + sizeof text, magnitude / 1000000).ptr;
    quint64 fraction = magnitude % 1000000;
    const bool comma = decimalComma && fraction != 0;
    if (fraction != 0) {
        *end++ = decimalComma ? ',' : '.';
        for (quint64 digit = 100000; fraction != 0; digit /= 10) {
            *end++ = char('0' + fraction / digit);
            fraction %= digit;
        }
    }
    if (comma)
        appendField(out, QByteArrayView(text, end - text));
    else
        out.append(text, size_t(end - text));
}

// Each channel's power, energy and charge up to row i.
static void appendEnergy(std::string &chunk, const SampleBuffer &buffer, int i,
                         std::array<EnergyIntegrator, 4> &integrators, int channels)
{
    const double t = PowerSeries::seconds(buffer, i);
    for (int c = 0; c < channels; ++c) {
        const std::optional<double> v = PowerSeries::volts(buffer, i, c);
        const std::optional<double> a = PowerSeries::amps(buffer, i, c);
        EnergyIntegrator &integrator = integrators[size_t(c)];
        integrator.add(t, v, a);
        const bool comma = buffer.cellBytes(i, 1 + 3 * c).contains(',') || buffer.cellBytes(i, 2 + 3 * c).contains(',');
        chunk += ',';
        if (v && a)
            appendNumber(chunk, *v * *a, comma);
        chunk += ',';
        appendNumber(chunk, integrator.totals().wattHours, comma);
        chunk += ',';
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
    // Rows are gathered in one buffer whose room is kept from write to write.
    constexpr size_t ChunkSize = size_t(1) << 18;
    std::string chunk;
    chunk.reserve(ChunkSize + 4096);
    chunk.append((head + QLatin1String("\r\n")).toStdString());
    auto flush = [&chunk, &out] {
        const bool written = out.write(chunk.data(), qint64(chunk.size())) == qint64(chunk.size());
        chunk.clear();
        return written;
    };
    for (int i = 0; i < buffer.size(); ++i) {
        char number[24];
        chunk.append(number, size_t(std::to_chars(number, number + sizeof number, buffer.seqNo(i)).ptr - number));
        chunk += ',';
        appendField(chunk, buffer.cellBytes(i, 0));
        for (int c = 0; c < n; ++c) {
            chunk += ',';
            appendField(chunk, buffer.cellBytes(i, 1 + 3 * c));
            chunk += ',';
            appendField(chunk, buffer.cellBytes(i, 2 + 3 * c));
        }
        if (energy)
            appendEnergy(chunk, buffer, i, integrators, shown);
        chunk += "\r\n";
        if (chunk.size() > ChunkSize && !flush())
            return false;
    }
    return flush();
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
