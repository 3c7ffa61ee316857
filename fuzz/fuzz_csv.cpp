// The CSV export: whatever the readings and times hold (commas of a decimal-comma locale,
// quotes, line breaks, any UTF-8), a reader that follows RFC 4180 gets back the header and
// every field as stored, one record per sample.

#include "FuzzSupport.h"

#include "datalog/CsvExport.h"
#include "datalog/SampleBuffer.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QBuffer>

namespace {

// A strict RFC 4180 reader: records end in CR LF; a quoted field doubles its quotes.
QList<QList<QByteArray>> readCsv(const QByteArray &text)
{
    QList<QList<QByteArray>> records;
    QList<QByteArray> record;
    QByteArray field;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (text[i] == '"') {
            ++i;
            for (;;) {
                Fuzz::check(i < n, "a quoted field is closed");
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        field.append('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.append(text[i++]);
            }
        } else {
            while (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                Fuzz::check(text[i] != '"', "a quote only in a quoted field");
                field.append(text[i++]);
            }
        }
        record.append(field);
        field.clear();
        Fuzz::check(i < n, "every record ends in CR LF");
        if (text[i] == ',') {
            ++i;
            continue;
        }
        Fuzz::check(text.mid(i, 2) == "\r\n", "records end in CR LF");
        i += 2;
        records.append(record);
        record.clear();
    }
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::ensureApplication();
    FuzzedDataProvider in(data, size);
    const int channels = in.ConsumeIntegralInRange(1, 4);
    SampleBuffer buffer;
    buffer.setChannelCount(channels);
    auto text = [&in] {
        const std::string s = in.ConsumeRandomLengthString(24);
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    };
    for (qint64 seq = 0; in.remaining_bytes() > 0 && seq < 64; ++seq) {
        SampleRow row;
        row.seqNo = seq;
        row.recTime = text();
        for (ChannelReading &c : row.channels) {
            c.voltage = text();
            c.current = text();
        }
        buffer.append(row);
    }

    QByteArray out;
    QBuffer device(&out);
    device.open(QIODevice::WriteOnly);
    Fuzz::check(CsvExport::write(buffer, channels, device), "the export is written");

    const QList<QList<QByteArray>> records = readCsv(out);
    Fuzz::check(records.size() == buffer.size() + 1, "a header and a record per sample");
    const int pairs = CsvExport::pairs(channels);
    Fuzz::check(records.first().join(',') == CsvExport::header(channels).toUtf8(), "the header");
    for (int i = 0; i < buffer.size(); ++i) {
        const QList<QByteArray> &r = records.at(i + 1);
        Fuzz::check(r.size() == 2 + 2 * pairs, "every record has every column",
                    QString::fromUtf8(r.join('|')));
        Fuzz::check(r.at(0) == QByteArray::number(buffer.seqNo(i)), "the sample number");
        Fuzz::check(r.at(1) == buffer.cellBytes(i, 0), "the time as stored");
        for (int c = 0; c < pairs; ++c) {
            Fuzz::check(r.at(2 + 2 * c) == buffer.cellBytes(i, 1 + 3 * c), "a voltage as stored");
            Fuzz::check(r.at(3 + 2 * c) == buffer.cellBytes(i, 2 + 3 * c), "a current as stored");
        }
    }
    return 0;
}
