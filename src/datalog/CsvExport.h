#pragma once

#include <QString>

class QIODevice;
class SampleBuffer;

// The recording as CSV (RFC 4180): a header by channel count, then per sample its number,
// time and readings as stored; lines end in CR LF, and a field holding a comma, a quote or a
// line break is quoted, so a reading with a decimal comma keeps its column.
namespace CsvExport {

// "No.,Time,Ch1 V,Ch1 A" and the further pairs: one for two channels, two for three, three
// for one or four channels.
QString header(int channels);
// The number of reading pairs written for `channels`.
int pairs(int channels);
// Writes every row of `buffer`; false when the device fails.
bool write(const SampleBuffer &buffer, int channels, QIODevice &out);

// The extra columns a user may ask for: after the readings, per channel shown its power
// (V × I), and the energy and charge from the first sample to this one, integrated with a
// gap of more than three sample periods left unbridged. A sample missing a reading leaves
// its power empty. Numbers take the decimal separator of the row's readings.
struct EnergyColumns {
    double periodSeconds = 1;
};
// ",Ch1 W,Ch1 Wh,Ch1 Ah" and the same for each further channel shown (1..4).
QString energyHeader(int channels);
bool write(const SampleBuffer &buffer, int channels, QIODevice &out, const EnergyColumns &energy);

} // namespace CsvExport
