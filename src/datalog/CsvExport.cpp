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

QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool write(const SampleBuffer &buffer, int channels, QIODevice &out)
{
    const int n = pairs(channels);
    QByteArray chunk = (header(channels) + QLatin1String("\r\n")).toUtf8();
    for (int i = 0; i < buffer.size(); ++i) {
        QString line = QString::number(buffer.seqNo(i)) + QLatin1Char(',') + field(buffer.recTime(i));
        for (int c = 0; c < n; ++c)
            line += QLatin1Char(',') + field(buffer.voltage(i, c)) + QLatin1Char(',') + field(buffer.current(i, c));
        line += QLatin1String("\r\n");
        chunk += line.toUtf8();
        if (chunk.size() > (1 << 16)) {
            if (out.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return out.write(chunk) == chunk.size();
}

} // namespace CsvExport
