#include "resources/Catalogue.h"

namespace Catalogue {

const QList<MachineTypeRow> &shipped()
{
    static const QList<MachineTypeRow> rows{
        {"XPP-3201", true, 1, false, 32, 1, 33, 0.01, 0.001, 0.01, ".00", ".000", ".00"},
        {"XPP-3202", true, 1, true, 32, 2, 33, 0.01, 0.001, 0.01, ".00", ".000", ".00"},
        {"XPP-3202#1", false, 1, false, 32, 2, 33, 0.01, 0.001, 0.01, ".00", ".000", ".00"},
        {"XPP-3202#2", false, 1, false, 32, 2, 33, 0.01, 0.001, 0.01, ".00", ".000", ".00"},
        {"XPP-3202#3", false, 1, false, 7, 5, 7.5, 0.01, 0.01, 0.01, ".00", ".00", ".00"},
        {"XPP-1501", true, 2, false, 15, 10, 16.5, 0.01, 0.01, 0.01, ".00", ".00", ".00"},
        {"SPP-KRX20", true, 2, false, 20, 5, 22, 0.01, 0.001, 0.01, ".00", ".000", ".00"},
        {"SPP-KRX72", true, 2, false, 72, 1.5, 79, 0.01, 0.001, 0.1, ".00", ".000", ".0"},
        {"ZEP-2303", true, 3, false, 30, 3, 0, 0.01, 0.001, 0, ".00", ".000", ".00"},
        {"ZEP-2306", true, 3, false, 30, 6, 0, 0.01, 0.001, 0, ".00", ".000", ".00"},
        {"ZEP-4303", true, 4, false, 30, 3, 0, 0.01, 0.001, 0, ".00", ".000", ".00"},
    };
    return rows;
}

} // namespace Catalogue
