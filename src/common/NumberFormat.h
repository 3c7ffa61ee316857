#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace NumberFormat {

// Formats `value` with a numeric pattern of the kind the instrument panels use:
// "###0.###", "###0.0##", "##0.000", "###0.00#", "0", ".000", ".00", "0.000".
// '0' is a digit that is always shown, '#' one shown only when needed; the part after
// '.' gives the minimum ('0') and maximum ('0' and '#') number of decimals. Rounds half
// away from zero. The decimal separator is the locale's (the system locale by default).
QString format(double value, const QString &pattern, const QLocale &locale = QLocale());

// The same, always with '.' as decimal separator: the form numbers take on the wire.
QString formatForWire(double value, const QString &pattern);

// The number a text starts with, ignoring what follows: "12.345V" is 12.345, "-1.5e2x" is
// -150, "" and "abc" are 0. Leading blanks are skipped. `decimalPoint` is the separator
// accepted ('.' for instrument answers; the locale's for what the user sees).
double leadingNumber(const QString &text, QChar decimalPoint = QLatin1Char('.'));

// True when `text` starts with a number in the sense of leadingNumber().
bool startsWithNumber(const QString &text, QChar decimalPoint = QLatin1Char('.'));

// The number `text` starts with in exponent form with `significant` digits ("1.235E+19"),
// `decimalPoint` as separator both ways: for a readout too narrow for all of its digits.
// Empty when the number is beyond the range of a double.
QString exponentForm(const QString &text, int significant, QChar decimalPoint = QLatin1Char('.'));

// "YYYY/MM/DD HH:MM:SS", the time-stamp form of the record database.
QString timeStamp(const QDateTime &t);
QDateTime parseTimeStamp(const QString &text);

} // namespace NumberFormat
