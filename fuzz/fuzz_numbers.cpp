// The number texts: the leading number of an answer or a typed value, the panels' number
// patterns (which also come from the machine-type table, so any text may be one), the
// table's reading values and the store's time stamps.

#include "FuzzSupport.h"

#include "common/NumberFormat.h"
#include "datalog/SampleBuffer.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>

namespace {

const char *const Patterns[] = {"###0.###", "###0.0##", "##0.000", "###0.00#", "0", ".000", ".00", "0.000"};

int maxDecimals(const QString &pattern)
{
    const qsizetype dot = pattern.indexOf(QLatin1Char('.'));
    return dot < 0 ? 0 : int(pattern.size() - dot - 1);
}

void checkPattern(FuzzedDataProvider &in)
{
    const QString pattern = QLatin1String(Patterns[in.ConsumeIntegralInRange<size_t>(0, std::size(Patterns) - 1)]);
    const double value = in.ConsumeFloatingPointInRange(-1e9, 1e9);
    const QString wire = NumberFormat::formatForWire(value, pattern);
    const double back = NumberFormat::leadingNumber(wire);
    const double step = std::pow(10.0, -maxDecimals(pattern));
    Fuzz::check(std::abs(back - value) <= step / 2 + 1e-9 * std::abs(value), "a formatted number keeps its value",
                pattern + QLatin1Char(' ') + QString::number(value, 'g', 17) + QLatin1String(" -> ") + wire);
    Fuzz::check(NumberFormat::format(value, pattern, QLocale(QLocale::German)) == QString(wire).replace(
                    QLatin1Char('.'), QLatin1Char(',')),
                "a decimal-comma locale changes only the separator", wire);
}

void checkTimeStamp(FuzzedDataProvider &in)
{
    const QDate date(in.ConsumeIntegralInRange(1000, 9999), in.ConsumeIntegralInRange(1, 12),
                     in.ConsumeIntegralInRange(1, 28));
    const QTime time(in.ConsumeIntegralInRange(0, 23), in.ConsumeIntegralInRange(0, 59),
                     in.ConsumeIntegralInRange(0, 59));
    const QDateTime t(date, time);
    if (!t.isValid())  // a time skipped by a daylight-saving change
        return;
    Fuzz::check(NumberFormat::parseTimeStamp(NumberFormat::timeStamp(t)) == t, "a time stamp reads back",
                NumberFormat::timeStamp(t));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: checkPattern(in); break;
    case 1: checkTimeStamp(in); break;
    default: break;
    }

    // Any pattern with any value, NaN and infinities among them.
    const QString pattern = QString::fromStdString(in.ConsumeRandomLengthString(64));
    const double value = in.ConsumeFloatingPoint<double>();
    const QString wire = NumberFormat::formatForWire(value, pattern);
    Fuzz::check(!wire.isEmpty() && wire.size() < 400, "a formatted number is a sensible length", wire);
    Fuzz::check(NumberFormat::startsWithNumber(wire), "a formatted number is a number", wire);

    // Any text: a finite leading number, 0 when the text starts with none.
    const std::string raw = in.ConsumeRemainingBytesAsString();
    const QString text = QString::fromUtf8(raw.data(), qsizetype(raw.size()));
    for (QChar point : {QLatin1Char('.'), QLatin1Char(',')}) {
        const double v = NumberFormat::leadingNumber(text, point);
        Fuzz::check(std::isfinite(v), "the leading number is finite", text);
        if (!NumberFormat::startsWithNumber(text, point))
            Fuzz::check(v == 0, "no number reads as 0", text);
    }
    NumberFormat::parseTimeStamp(text);
    // The table's reading value and the leading number agree on what a supply sends.
    const double reading = SampleBuffer::readingValue(text);
    Fuzz::check(std::isfinite(reading), "a reading value is finite", text);
    if (text.size() < 24 && !text.contains(QLatin1Char(','))
        && text.trimmed() == text && !text.startsWith(QLatin1Char('+')))
        Fuzz::check(reading == NumberFormat::leadingNumber(text), "a reading reads as its leading number",
                    text + QLatin1String(": ") + QString::number(reading) + QLatin1String(" vs ")
                        + QString::number(NumberFormat::leadingNumber(text)));
    return 0;
}
