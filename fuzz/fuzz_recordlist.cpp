// The saved-record lists, whose texts come from a store that may be damaged or edited by
// hand (locally or on the lab server): every record gives one line, its number shown whole at
// the start, the columns in place for the usual numbers, and its scale positions read as
// small whole numbers or none.

#include "FuzzSupport.h"

#include "datalog/RecordList.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    auto text = [&in](size_t most) {
        const std::string s = in.ConsumeRandomLengthString(most);
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    };
    RecordInfo r;
    r.recNo = in.ConsumeBool() ? QString::number(in.ConsumeIntegral<quint32>()) : text(12);
    r.startTime = text(30);
    r.endTime = text(30);
    r.comment = text(60);
    r.hostName = text(20);
    r.machineType = text(12);
    r.recStyle = text(12);
    r.showStyle = text(12);

    for (const QString &line : {RecordList::tableLine(r), RecordList::graphLine(r)}) {
        Fuzz::check(!line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')), "one line per record",
                    line);
        // The number is never cut, so the line names the record it stands for.
        const QString shown = r.recNo.contains(QLatin1Char('\n')) || r.recNo.contains(QLatin1Char('\r'))
            ? QString(r.recNo).replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '))
            : r.recNo;
        Fuzz::check(line.startsWith(shown), "the whole number starts the line", line);
        if (r.recNo.size() <= 6)
            Fuzz::check(line.mid(6).startsWith(QString(r.startTime.left(14)).replace(QLatin1Char('\n'), QLatin1Char(' '))
                                                   .replace(QLatin1Char('\r'), QLatin1Char(' '))),
                        "the start time in its column", line);
        if (!r.bench().isEmpty())
            Fuzz::check(line.size() >= 6 + 14 + 1 + 25 + 1, "the bench after the fixed columns", line);
    }
    for (const QString &style : {r.recStyle, r.showStyle}) {
        const int p = RecordList::position(style);
        Fuzz::check(p >= -1 && p < 1000, "a scale position is small or none", style);
    }
    return 0;
}
