#include "datalog/CsvExport.h"

#include "datalog/SampleBuffer.h"

#include <QIODevice>

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

bool write(const SampleBuffer &buffer, int channels, QIODevice &out)
{
    const int n = pairs(channels);
    QByteArray chunk = (header(channels) + QLatin1String("\r\n")).toUtf8();
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
        chunk.append("\r\n");
        if (chunk.size() > (1 << 16)) {
            if (out.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return out.write(chunk) == chunk.size();
}

} // namespace CsvExport
