#include "resources/Strings.h"

#include <QHash>

namespace Strings {

namespace {

const QHash<int, QString> &englishTable()
{
    static const QHash<int, QString> table{
        // Main window and identification.
        {101, QStringLiteral("Querying the machine type is timeout!")},
        {103, QStringLiteral("Reset and open it?")},
        {104, QStringLiteral("REOPEN?")},
        {105, QStringLiteral("Getting the machine type...")},
        {107, QStringLiteral("Timeout!")},
        {108, QStringLiteral("Setup")},
        {109, QStringLiteral("Getting the machine type...")},
        {110, QStringLiteral("*")},
        {111, QStringLiteral("Ready")},
        {115, QStringLiteral("Operation Timeout, Causes Reset Now.")},
        {116, QStringLiteral("TIMEOUT!")},
        // Instrument-action dialogs.
        {201, QStringLiteral("Start Memory:")},
        {202, QStringLiteral("End Memory:")},
        {203, QStringLiteral("Cycle:")},
        {211, QStringLiteral("Ports")},
        {212, QStringLiteral("Baud Rate")},
        {213, QStringLiteral("Data Bits: 8 bits")},
        {214, QStringLiteral("Parity Bit: None")},
        {215, QStringLiteral("Stop Bit: 1 bit")},
        {216, QStringLiteral("Config RS232")},
        {221, QStringLiteral("Delay")},
        {222, QStringLiteral("x 100ms")},
        {223, QStringLiteral("Delay")},
        {231, QStringLiteral("Now querying initial values, please wait...")},
        {232, QStringLiteral("Querying...")},
        {241, QStringLiteral("Max time to complete one set of queries")},
        {242, QStringLiteral("sec")},
        {243, QStringLiteral("Read Time")},
        {251, QStringLiteral("Memory")},
        {252, QStringLiteral("Recall Data")},
        {261, QStringLiteral("Memory")},
        {262, QStringLiteral("Save Data")},
        // Panel captions.
        {281, QStringLiteral("CHANNEL 1")},
        {282, QStringLiteral("CHANNEL 2")},
        {283, QStringLiteral("CHANNEL 3")},
        {284, QStringLiteral("CHANNEL 4")},
    };
    return table;
}

} // namespace

QString load(int id)
{
    return englishTable().value(id);
}

} // namespace Strings
