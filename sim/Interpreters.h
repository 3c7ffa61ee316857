#pragma once

#include <QString>
#include <optional>

namespace sim {

class VirtualSupply;

// Command interpreters of the two command families. Each takes one trimmed line and acts on
// the supply; the result is the answer line, if the line has one.

// The short dialect ("VOUT1?", "VSET1:5", "OUT1", "TRACK2", "SAV3", "STATUS?"); also takes
// the auto-run and protection-clear commands the program writes in SCPI form. It has no
// error queue: what it does not understand is ignored.
std::optional<QString> interpretShort(VirtualSupply &supply, const QString &line);

// SCPI with or without the channel prefix, as the supply's dialect says. What it does not
// understand, or a value out of range, queues an error.
std::optional<QString> interpretScpi(VirtualSupply &supply, const QString &line);

// The SCPI commands every dialect shares (auto run, protection clear); errors are not queued.
// True when `line` was one of them.
bool interpretSharedScpi(VirtualSupply &supply, const QString &line);

// Answer formats: "12.345V" (three decimals and the unit letter) and "12.345".
QString withUnit(double value, QChar unit);
QString plainNumber(double value);

} // namespace sim
