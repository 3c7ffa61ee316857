// The decoding of the supply's answers that drive the panel: the plain dialect's status word,
// the error queue, on/off and tracking answers, the series/parallel number and the
// four-channel readings. Any text decodes without harm; a status word decodes the same
// whatever blanks surround its characters; numbers decode to themselves.

#include "FuzzSupport.h"

#include "common/NumberFormat.h"
#include "link/Answers.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

QString withBlanks(const QString &word, FuzzedDataProvider &in)
{
    QString out;
    for (QChar c : word) {
        out += QString(in.ConsumeIntegralInRange(0, 2), QLatin1Char(' '));
        out += c;
    }
    return out;
}

void checkStatusWord(FuzzedDataProvider &in)
{
    static const char *const modes[] = {"01", "11", "10", "00"};
    const int mode = in.ConsumeIntegralInRange(0, 3);
    const int output = in.ConsumeIntegralInRange(0, 2);  // 2: a character that is no state
    const QString word = QStringLiteral("00") + QLatin1String(modes[mode]) + QLatin1Char('0')
        + QLatin1Char(output == 2 ? 'x' : char('0' + output)) + QStringLiteral("00");
    const Answers::StatusWord w = Answers::statusWord(withBlanks(word, in));
    const std::optional<Commands::Coupling> coupling = mode == 0 ? Commands::CouplingIndependent
        : mode == 1                                               ? Commands::CouplingTrack
        : mode == 2 ? std::optional(Commands::CouplingParallel)
                    : std::nullopt;
    Fuzz::check(w.coupling == coupling, "the status word's coupling", word);
    Fuzz::check(w.output == (output == 2 ? std::nullopt : std::optional<bool>(output == 1)),
                "the status word's output", word);
}

void checkNumbers(FuzzedDataProvider &in)
{
    const int n = in.ConsumeIntegralInRange(-5, 120);
    const QString suffix = QString::fromStdString(in.ConsumeRandomLengthString(8));
    const QString answer = QString::number(n) + QLatin1Char(' ') + suffix;
    Fuzz::check(Answers::isOn(answer) == (n != 0), "a number is on unless 0", answer);
    const std::optional<int> sets = Answers::seriesParallelNumber(answer);
    Fuzz::check(sets == (n >= 0 && n < 100 ? std::optional(n) : std::nullopt), "the series/parallel number",
                answer);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: checkStatusWord(in); break;
    case 1: checkNumbers(in); break;
    default: break;
    }
    // Whatever the supply sends: no harm, and results inside their ranges.
    const std::string raw = in.ConsumeRemainingBytesAsString();
    const QString answer = QString::fromLatin1(raw.data(), qsizetype(raw.size()));
    Answers::statusWord(answer);
    Answers::isOn(answer);
    Answers::trackingMode(answer);
    if (Answers::isError(answer))
        Fuzz::check(!answer.isEmpty() && !answer.startsWith(QLatin1String("0,")), "an empty queue is no error");
    if (const std::optional<int> sets = Answers::seriesParallelNumber(answer))
        Fuzz::check(*sets >= 0 && *sets < 100, "the series/parallel number's range");
    Fuzz::check(!Answers::readout(answer, QLatin1Char('V'), true).contains(QLatin1Char('.')),
                "a decimal-comma readout has no point");
    for (QChar unit : {QLatin1Char('V'), QLatin1Char('A')}) {
        if (const std::optional<QString> reading = Answers::quadReading(answer, unit)) {
            const double v = NumberFormat::leadingNumber(*reading);
            Fuzz::check(std::abs(v - NumberFormat::leadingNumber(answer.trimmed())) <= 0.0005 + 1e-9 * std::abs(v),
                        "a four-channel reading keeps its value", *reading);
        }
    }
    return 0;
}
