#include "mainwin/StoreMachineTypes.h"

#include "datalog/RecordStore.h"
#include "mainwin/MDIForm1.h"

QList<MachineTypeRow> StoreMachineTypes::rows() const
{
    if (m_store.isOpen()) {
        if (const auto rows = m_store.machineTypes())
            return *rows;
        MDIForm1::Report(QStringLiteral("data1 unreadable, using the shipped machine types: ")
                         + m_store.lastError().description);
    }
    return Catalogue::shipped();
}
