#pragma once

#include "resources/Catalogue.h"

#include <QList>
#include <QString>
#include <optional>

// Where the main window reads the machine-type table from, rows in table order. The record
// store provides the real table; the shipped catalogue serves until it is open and in tests.
class MachineTypeSource
{
public:
    virtual ~MachineTypeSource() = default;
    virtual QList<MachineTypeRow> rows() const = 0;

    // First row whose name equals `mtype` exactly.
    std::optional<MachineTypeRow> find(const QString &mtype) const;
};

class CatalogueMachineTypes : public MachineTypeSource
{
public:
    QList<MachineTypeRow> rows() const override { return Catalogue::shipped(); }
};

namespace MachineTypeRules {

// The machine type in an identification answer: the first 9 characters of the second
// comma-separated field, untrimmed. Empty (and `ok` false) when the answer has no comma.
QString ParseMachineType(const QString &answer, bool *ok = nullptr);

// A row is listed in the family's menu when it is offered and the third character of its
// name equals the family word's third character, ignoring case.
bool listedInFamily(const MachineTypeRow &row, const QString &familyWord);

} // namespace MachineTypeRules
