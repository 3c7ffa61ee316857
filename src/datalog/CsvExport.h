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

} // namespace CsvExport
