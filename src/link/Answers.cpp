#include "link/Answers.h"

#include "common/NumberFormat.h"

namespace Answers {

QString text(const QString &answer)
{
    return answer.trimmed();
}

bool isOn(const QString &answer)
{
    const QString t = text(answer);
    if (NumberFormat::startsWithNumber(t))
        return NumberFormat::leadingNumber(t) != 0;
    return t.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0;
}

Commands::Coupling trackingMode(const QString &answer)
{
    const QString t = text(answer);
    if (t == QLatin1String("0"))
        return Commands::CouplingIndependent;
    if (t == QLatin1String("2"))
        return Commands::CouplingParallel;
    return Commands::CouplingTrack;
}

StatusWord statusWord(const QString &answer)
{
    QString s = answer;
    s.remove(QLatin1Char(' '));
    StatusWord word;
    const QStringView mode = QStringView(s).mid(2, 2);
    if (mode == QLatin1String("01"))
        word.coupling = Commands::CouplingIndependent;
    else if (mode == QLatin1String("11"))
        word.coupling = Commands::CouplingTrack;
    else if (mode == QLatin1String("10"))
        word.coupling = Commands::CouplingParallel;
    const QStringView out = QStringView(s).mid(5, 1);
    if (out == QLatin1String("0"))
        word.output = false;
    else if (out == QLatin1String("1"))
        word.output = true;
    return word;
}

bool isError(const QString &answer)
{
    return !answer.isEmpty() && !answer.startsWith(QLatin1String("0,"));
}

QString quoted(const QString &answer, int maxChars)
{
    static const char hex[] = "0123456789ABCDEF";
    const QString t = text(answer);
    QString out;
    qsizetype fitsWithMark = 0;  // length of the whole escapes that leave room for "..."
    for (const QChar c : t) {
        const char16_t u = c.unicode();
        if (u == u'\\') {
            out += QLatin1String("\\\\");
        } else if (u >= 0x20 && u < 0x7F) {
            out += c;
        } else if (u < 0x100) {
            out += QLatin1String("\\x");
            out += QLatin1Char(hex[u >> 4]);
            out += QLatin1Char(hex[u & 0xF]);
        } else {
            out += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        }
        if (out.size() > maxChars) {
            out.truncate(fitsWithMark);
            return out + QLatin1String("...");
        }
        if (out.size() <= maxChars - 3)
            fitsWithMark = out.size();
    }
    return out;
}

std::optional<int> seriesParallelNumber(const QString &answer)
{
    const QString t = text(answer);
    if (!NumberFormat::startsWithNumber(t))
        return std::nullopt;
    // Range-checked before the conversion: "3e9" is a number, but no int.
    const double v = NumberFormat::leadingNumber(t);
    if (!(v >= 0 && v < 100))
        return std::nullopt;
    return int(v);
}

QString readout(const QString &answer, QChar unit, bool decimalComma)
{
    QString s = text(answer);
    if (s.endsWith(unit))
        s.chop(1);
    if (decimalComma)
        s.replace(QLatin1Char('.'), QLatin1Char(','));
    return s;
}

std::optional<QString> quadReading(const QString &answer, QChar unit)
{
    const QString t = text(answer);
    if (t.size() <= 3 || t.size() >= 10 || !t.contains(unit, Qt::CaseInsensitive))
        return std::nullopt;
    return NumberFormat::formatForWire(NumberFormat::leadingNumber(t), QStringLiteral("##0.000"));
}

} // namespace Answers
