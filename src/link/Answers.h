#pragma once

#include "link/Commands.h"

#include <QString>
#include <optional>

// What the supply's answers mean: the decoding the panels apply to the text the engine
// delivers. Pure functions of the text, so any answer, garbled or not, gives a result.
namespace Answers {

// An answer with the blanks and line ends around it removed.
QString text(const QString &answer);

// An on/off answer: a number is on when it is not 0; otherwise only "ON" (any case) is on.
bool isOn(const QString &answer);

// The tracking answer of the two SCPI dialects: "0" independent, "2" parallel, anything else
// track.
Commands::Coupling trackingMode(const QString &answer);

// The status word of the plain dialect ("STATUS?"), blanks ignored: characters 3–4 give the
// coupling ("01" independent, "11" track, "10" parallel) and character 6 the output ("0" off,
// "1" on). A part that is missing or holds anything else is left unset.
struct StatusWord {
    std::optional<Commands::Coupling> coupling;
    std::optional<bool> output;
};
StatusWord statusWord(const QString &answer);

// True when an error-queue answer reports an error: not empty and not "0,..." (the empty
// queue).
bool isError(const QString &answer);

// An answer as a message quotes it: blanks and line ends around it removed, every byte that
// is not printable ASCII written as "\xNN" (a backslash as "\\"), and at most
// `maxChars` characters, cut with "..." so it stays on one line.
QString quoted(const QString &answer, int maxChars = 80);

// The series/parallel number of "SYST:CONF:MSL?": the whole number the answer starts with;
// nullopt when it starts with no number or one outside 0..99.
std::optional<int> seriesParallelNumber(const QString &answer);

// A reading as a readout shows it: the unit letter `unit` at its end dropped, and the decimal
// point made a comma when `decimalComma`.
QString readout(const QString &answer, QChar unit, bool decimalComma);

// A reading of the four-channel supply ("12.345V") as "##0.000", when it is one: between 4
// and 9 characters long and holding `unit` (either case). nullopt otherwise.
std::optional<QString> quadReading(const QString &answer, QChar unit);

} // namespace Answers
