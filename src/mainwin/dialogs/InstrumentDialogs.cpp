#include "mainwin/dialogs/InstrumentDialogs.h"

#include "resources/Strings.h"
#include "settings/SettingKeys.h"

#include <QSpinBox>

dlgAutoMode::dlgAutoMode(QWidget *parent) : InstrumentDialog(parent)
{
    setObjectName(QStringLiteral("dlgAutoMode"));
    setWindowTitle(QStringLiteral("Auto Mode"));
    addField(SettingKeys::StartMemory, Strings::res(201), 0, MaxMemoryNumber, QString(),
             "numStartMemory");
    addField(SettingKeys::EndMemory, Strings::res(202), 0, MaxMemoryNumber, QString(),
             "numEndMemory");
    addField(SettingKeys::Cycle, Strings::res(203), 0, 9999, QString(), "numCycle");
}

dlgDelay::dlgDelay(QWidget *parent) : InstrumentDialog(parent)
{
    setObjectName(QStringLiteral("dlgDelay"));
    setWindowTitle(Strings::res(223));
    addField(SettingKeys::Delay, Strings::res(221), 0, 32767, Strings::res(222), "numDelay");
}

dlgReadTimes::dlgReadTimes(QWidget *parent) : InstrumentDialog(parent)
{
    setObjectName(QStringLiteral("dlgReadTimes"));
    setWindowTitle(Strings::res(243));
    addField(SettingKeys::ReadTimes, Strings::res(241), 0, MaxSeconds, Strings::res(242),
             "numReadTimes");
}

dlgRecallData::dlgRecallData(QWidget *parent) : InstrumentDialog(parent)
{
    setObjectName(QStringLiteral("dlgRecallData"));
    setWindowTitle(Strings::res(252));
    addField(SettingKeys::Memory, Strings::res(251), 0, MaxMemoryNumber, QString(), "numMemory");
}

dlgSaveData::dlgSaveData(QWidget *parent) : InstrumentDialog(parent)
{
    setObjectName(QStringLiteral("dlgSaveData"));
    setWindowTitle(Strings::res(262));
    addField(SettingKeys::Memory, Strings::res(261), 0, MaxMemoryNumber, QString(), "numMemory");
}
