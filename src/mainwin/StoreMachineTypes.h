#pragma once

#include "connection/MachineTypeSource.h"

class RecordStore;

// The machine-type table `data1` of the record database. When the table cannot be read the
// shipped catalogue stands in, so the menu and identification keep working.
class StoreMachineTypes : public MachineTypeSource
{
public:
    explicit StoreMachineTypes(RecordStore &store) : m_store(store) {}
    QList<MachineTypeRow> rows() const override;

private:
    RecordStore &m_store;
};
