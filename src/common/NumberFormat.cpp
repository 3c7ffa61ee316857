#include "common/NumberFormat.h"

#include <algorithm>
#include <cmath>

namespace NumberFormat {

namespace {

constexpr int MaxDecimals = 9;

struct Pattern {
    int minIntegerDigits = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
};

Pattern parsePattern(const QString &pattern)
{
    Pattern p;
    const qsizetype dot = pattern.indexOf(QLatin1Char('.'));
    const QString intPart = dot < 0 ? pattern : pattern.left(dot);
    const QString decPart = dot < 0 ? QString() : pattern.mid(dot + 1);
    p.minIntegerDigits = int(intPart.count(QLatin1Char('0')));
    for (QChar c : decPart) {
        if (c == QLatin1Char('0')) {
            ++p.maxDecimals;
            p.minDecimals = p.maxDecimals;
        } else if (c == QLatin1Char('#')) {
            ++p.maxDecimals;
        }
    }
    // Patterns also come from the machine-type table; a double has no digits past these.
    p.maxDecimals = std::min(p.maxDecimals, MaxDecimals);
    p.minDecimals = std::min(p.minDecimals, MaxDecimals);
    return p;
}

// Digits of |value| rounded half away from zero to `decimals` places, '.' as separator.
QString roundedDigits(double magnitude, int decimals)
{
    // Nudge by a relative epsilon so that 0.0005 (stored as 0.000499999...) rounds up,
    // as the instrument software users know does.
    // Near the largest double the nudge would overflow; such a value needs none.
    const double nudged = magnitude + magnitude * 1e-12;
    return QString::number(std::isfinite(nudged) ? nudged : magnitude, 'f', decimals);
}

} // namespace

QString formatForWire(double value, const QString &pattern)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    const Pattern p = parsePattern(pattern);
    QString digits = roundedDigits(std::fabs(value), p.maxDecimals);

    QString intPart = digits;
    QString decPart;
    if (const qsizetype dot = digits.indexOf(QLatin1Char('.')); dot >= 0) {
        intPart = digits.left(dot);
        decPart = digits.mid(dot + 1);
    }
    while (decPart.size() > p.minDecimals && decPart.endsWith(QLatin1Char('0')))
        decPart.chop(1);
    if (intPart == QLatin1String("0") && p.minIntegerDigits == 0)
        intPart.clear();
    while (intPart.size() < p.minIntegerDigits)
        intPart.prepend(QLatin1Char('0'));

    const bool zero = intPart.count(QLatin1Char('0')) == intPart.size()
        && decPart.count(QLatin1Char('0')) == decPart.size();
    QString out = intPart;
    if (!decPart.isEmpty())
        out += QLatin1Char('.') + decPart;
    if (out.isEmpty())
        out = QStringLiteral("0");
    if (value < 0 && !zero)
        out.prepend(QLatin1Char('-'));
    return out;
}

QString format(double value, const QString &pattern, const QLocale &locale)
{
    QString out = formatForWire(value, pattern);
    const QString point = locale.decimalPoint();
    if (point != QLatin1String("."))
        out.replace(QLatin1Char('.'), point);
    return out;
}

namespace {

// ASCII digits only: a digit of another script is no number to the conversion that follows.
bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Length of the leading number in `text` starting at `from`, 0 when there is none.
qsizetype numberLength(const QString &text, qsizetype from, QChar decimalPoint)
{
    qsizetype i = from;
    const qsizetype n = text.size();
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == decimalPoint) {
        ++i;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    return i - from;
}

qsizetype skipBlanks(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    return i;
}

} // namespace

double leadingNumber(const QString &text, QChar decimalPoint)
{
    const qsizetype start = skipBlanks(text);
    const qsizetype len = numberLength(text, start, decimalPoint);
    if (len == 0)
        return 0.0;
    QString number = text.mid(start, len);
    if (decimalPoint != QLatin1Char('.'))
        number.replace(decimalPoint, QLatin1Char('.'));
    bool ok = false;
    const double v = number.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

QString exponentForm(const QString &text, int significant, QChar decimalPoint)
{
    const qsizetype start = skipBlanks(text);
    const QStringView number = QStringView(text).mid(start, numberLength(text, start, decimalPoint));
    const double v = leadingNumber(text, decimalPoint);
    // A number past the range of a double reads as 0: there is no exponent form to show.
    if (v == 0) {
        for (const QChar c : number) {
            if (c == QLatin1Char('e') || c == QLatin1Char('E'))
                break;
            if (c >= QLatin1Char('1') && c <= QLatin1Char('9'))
                return QString();
        }
    }
    QString e = QString::number(v, 'E', std::max(significant, 1) - 1);
    if (decimalPoint != QLatin1Char('.'))
        e.replace(QLatin1Char('.'), decimalPoint);
    return e;
}

bool startsWithNumber(const QString &text, QChar decimalPoint)
{
    return numberLength(text, skipBlanks(text), decimalPoint) > 0;
}

QString timeStamp(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QDateTime parseTimeStamp(const QString &text)
{
    return QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

} // namespace NumberFormat
