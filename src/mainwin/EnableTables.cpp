#include "mainwin/EnableTables.h"

namespace EnableTables {

const QStringList &toolbarKeys()
{
    static const QStringList keys{
        QStringLiteral("GPIB"),       QStringLiteral("RS232"),        QStringLiteral("OnOffLine"),
        QStringLiteral("SaveMemory"), QStringLiteral("RecallMemory"), QStringLiteral("Delay"),
        QStringLiteral("ReadTimes"),  QStringLiteral("Output"),       QStringLiteral("AutoRun"),
        QStringLiteral("ClearError"), QStringLiteral("About"),
    };
    return keys;
}

namespace {

// One row of the menu table: the items and their state for layouts 0 (reset) .. 4.
// 'E' enabled, '-' disabled, 'u' unchanged.
struct MenuRow {
    QStringList items;
    const char *states;  // five characters
};

const QList<MenuRow> &menuRows()
{
    static const QList<MenuRow> rows{
        {{"mnuGPIB"}, "EEE--"},
        {{"mnuRS232"}, "EEEEE"},
        {{"mnuSaveMemory", "mnuRecallMemory", "mnuDelay"}, "-E---"},
        {{"mnuReadTimes"}, "uEEEE"},
        {{"mnuIndep", "mnuParallel", "mnuTrack", "mnuOutMode"}, "-E---"},
        {{"mnuAutoMode", "mnuAutoRun"}, "-E---"},
        {{"mnuOutput"}, "-EEEE"},
        {{"mnuClearErrorOfProtection"}, "-EE--"},
        {{"mnuControl", "mnuTableData", "mnuWave"}, "-EEEE"},
    };
    return rows;
}

QStringList except(const QStringList &removed)
{
    QStringList keys = toolbarKeys();
    for (const QString &k : removed)
        keys.removeAll(k);
    return keys;
}

} // namespace

QHash<QString, bool> menuEnables(int layout)
{
    QHash<QString, bool> result;
    if (layout < 0 || layout > 4)
        return result;
    for (const MenuRow &row : menuRows()) {
        const char state = row.states[layout];
        if (state == 'u')
            continue;
        for (const QString &item : row.items)
            result.insert(item, state == 'E');
    }
    return result;
}

QStringList toolbarEnabledAtReset(int layout)
{
    switch (layout) {
    case 1:
        return toolbarKeys();
    case 2:
        return {"GPIB", "RS232", "OnOffLine", "About", "Output", "ClearError"};
    case 3:
    case 4:
        return {"RS232", "OnOffLine", "About", "Output"};
    default:
        return {"GPIB", "RS232", "OnOffLine", "About"};
    }
}

QStringList toolbarEnabledAtSetup(int layout)
{
    switch (layout) {
    case 1:
        return toolbarKeys();
    case 2:
        return except({"SaveMemory", "RecallMemory", "Delay", "ReadTimes", "AutoRun"});
    default:
        return toolbarEnabledAtReset(layout);
    }
}

} // namespace EnableTables
