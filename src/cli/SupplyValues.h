#pragma once

#include "supply/Supply.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

// The names zepctl reads and writes of a supply: chN.voltage, chN.current, chN.ovp (volts),
// chN.ocp (on/off), output (on/off) and mode (independent, track or series, parallel).
namespace SupplyValues {

struct Assignment {
    QString name;
    int index = -1;  // channel index for chN.* names
    enum class Kind { SetPoint, Ocp, Output, Mode } kind = Kind::Output;
    Supply::SetPoint setPoint = Supply::SetPoint::Voltage;
    double number = 0;
    bool on = false;
    Commands::Coupling mode = Commands::CouplingIndependent;
};

// Every name the supply has, in order.
QStringList names(const Supply &supply);

// "NAME=VALUE" checked against the supply; a value above a limit is refused with the limit
// named, as the front panel does. The error text on refusal.
std::variant<Assignment, QString> parse(const Supply &supply, const QString &text);

// Sends one checked assignment.
void apply(Supply &supply, const Assignment &a);
// Sends checked assignments: the mode first (it decides which set points the supply takes),
// the output last (the set points are in before it switches on).
void applyInOrder(Supply &supply, QList<Assignment> assignments);

// The value of `name` as the supply last reported it; nothing for an unknown name.
std::optional<QString> value(const Supply &supply, const QString &name);

} // namespace SupplyValues
