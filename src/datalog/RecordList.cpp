#include "datalog/RecordList.h"

#include "datalog/SampleBuffer.h"

namespace RecordList {

namespace {

// A field of a list line: padded to `width`, cut at it unless `cut` is false.
QString field(const QString &text, int width, bool cut = true)
{
    return text.leftJustified(width, QLatin1Char(' '), cut);
}

// A line break would split the entry: it shows as a blank.
QString oneLine(QString line)
{
    for (QChar &c : line) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return line;
}

} // namespace

QString tableLine(const RecordInfo &record)
{
    return oneLine(record.withBench(field(record.recNo, 6, false) + field(record.startTime, 14)
                                    + QLatin1Char(' ') + field(record.comment, 25)));
}

QString graphLine(const RecordInfo &record)
{
    return oneLine(record.withBench(field(record.recNo, 6, false) + field(record.startTime, 22)
                                    + QLatin1Char(' ') + field(record.endTime, 25)));
}

int position(const QString &styleText)
{
    const double v = SampleBuffer::readingValue(styleText);
    return v >= 0 && v < 1000 ? int(v) : -1;
}

} // namespace RecordList
