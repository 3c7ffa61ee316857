#include "link/Commands.h"

#include <array>

namespace Commands {

namespace {

// Every dialect starts from an empty table, so no command of the previous dialect survives a
// switch; then frames lines with a line feed and identifies with "*IDN?".
void assignFraming()
{
    for (QString *cmd : {&CmdMeasVolt1, &CmdMeasVolt2, &CmdMeasVolt3, &CmdMeasVolt4,
                         &CmdMeasCurr1, &CmdMeasCurr2, &CmdMeasCurr3, &CmdMeasCurr4,
                         &CmdOutputStatus, &CmdTrackStatus, &CmdAutoState, &CmdAutoStart,
                         &CmdAutoEnd, &CmdAutoCycle, &CmdAutoDelay, &CmdMemory, &CmdOvp1, &CmdOvp2,
                         &CmdOvp3, &CmdOcp1, &CmdOcp2, &CmdOcp3, &CmdSetVolt1, &CmdSetVolt2,
                         &CmdSetVolt3, &CmdSetVolt4, &CmdSetCurr1, &CmdSetCurr2, &CmdSetCurr3,
                         &CmdSetCurr4, &CmdError, &CmdStatus})
        cmd->clear();
    CmdTerminator = QStringLiteral("\n");
    CmdIdn = QStringLiteral("*IDN?");
}

// The two SCPI dialects share their status, auto-run, memory and error queries.
void assignScpiCommon()
{
    CmdOutputStatus = QStringLiteral(":OUTP:STAT?");
    CmdTrackStatus = QStringLiteral(":OUTP:COUP:TRAC?");
    CmdAutoState = QStringLiteral(":SYST:AUTO:STAT?");
    CmdAutoStart = QStringLiteral(":SYST:AUTO:STAR?");
    CmdAutoEnd = QStringLiteral(":SYST:AUTO:END?");
    CmdAutoCycle = QStringLiteral(":SYST:AUTO:CYCLE?");
    CmdAutoDelay = QStringLiteral(":SYST:AUTO:DEL?");
    CmdMemory = QStringLiteral(":SYST:MEM?");
    CmdError = QStringLiteral(":SYST:ERR?");
}

QString channelQuery(int channel, const char *tail)
{
    return QStringLiteral(":CHAN%1:%2").arg(channel).arg(QLatin1String(tail));
}

QString pick(int channel, const std::array<const QString *, 4> &entries)
{
    if (channel < 1 || channel > 4 || !entries[size_t(channel - 1)])
        return QString();
    return *entries[size_t(channel - 1)];
}

QString num(int n)
{
    return QString::number(n);
}

} // namespace

void InitCommandsChannelScpi()
{
    assignFraming();
    QString *measVolt[] = {&CmdMeasVolt1, &CmdMeasVolt2, &CmdMeasVolt3};
    QString *measCurr[] = {&CmdMeasCurr1, &CmdMeasCurr2, &CmdMeasCurr3};
    QString *ovp[] = {&CmdOvp1, &CmdOvp2, &CmdOvp3};
    QString *ocp[] = {&CmdOcp1, &CmdOcp2, &CmdOcp3};
    QString *setVolt[] = {&CmdSetVolt1, &CmdSetVolt2, &CmdSetVolt3};
    QString *setCurr[] = {&CmdSetCurr1, &CmdSetCurr2, &CmdSetCurr3};
    for (int i = 0; i < 3; ++i) {
        const int ch = i + 1;
        *measVolt[i] = channelQuery(ch, "MEAS:VOLT?");
        *measCurr[i] = channelQuery(ch, "MEAS:CURR?");
        *ovp[i] = channelQuery(ch, "PROT:VOLT?");
        *ocp[i] = channelQuery(ch, "PROT:CURR?");
        *setVolt[i] = channelQuery(ch, "VOLT?");
        *setCurr[i] = channelQuery(ch, "CURR?");
    }
    assignScpiCommon();
}

void InitCommandsPlainScpi()
{
    assignFraming();
    CmdMeasVolt1 = CmdMeasVolt2 = CmdMeasVolt3 = QStringLiteral(":MEAS:VOLT?");
    CmdMeasCurr1 = CmdMeasCurr2 = CmdMeasCurr3 = QStringLiteral(":MEAS:CURR?");
    CmdOvp1 = CmdOvp2 = CmdOvp3 = QStringLiteral(":VOLT:PROT?");
    CmdOcp1 = CmdOcp2 = CmdOcp3 = QStringLiteral(":CURR:PROT?");
    CmdSetVolt1 = CmdSetVolt2 = CmdSetVolt3 = QStringLiteral(":VOLT?");
    CmdSetCurr1 = CmdSetCurr2 = CmdSetCurr3 = QStringLiteral(":CURR?");
    assignScpiCommon();
}

void InitCommandsShort()
{
    assignFraming();
    QString *measVolt[] = {&CmdMeasVolt1, &CmdMeasVolt2, &CmdMeasVolt3, &CmdMeasVolt4};
    QString *measCurr[] = {&CmdMeasCurr1, &CmdMeasCurr2, &CmdMeasCurr3, &CmdMeasCurr4};
    QString *setVolt[] = {&CmdSetVolt1, &CmdSetVolt2, &CmdSetVolt3, &CmdSetVolt4};
    QString *setCurr[] = {&CmdSetCurr1, &CmdSetCurr2, &CmdSetCurr3, &CmdSetCurr4};
    for (int i = 0; i < 4; ++i) {
        const QString ch = num(i + 1);
        *measVolt[i] = QStringLiteral("VOUT") + ch + QLatin1Char('?');
        *measCurr[i] = QStringLiteral("IOUT") + ch + QLatin1Char('?');
        *setVolt[i] = QStringLiteral("VSET") + ch + QLatin1Char('?');
        *setCurr[i] = QStringLiteral("ISET") + ch + QLatin1Char('?');
    }
    // One status word answers output, coupling and status.
    CmdOutputStatus = CmdTrackStatus = CmdStatus = QStringLiteral("STATUS?");
}

void InitCommands(Dialect dialect)
{
    switch (dialect) {
    case DialectChannelScpi: InitCommandsChannelScpi(); break;
    case DialectPlainScpi: InitCommandsPlainScpi(); break;
    case DialectShort: InitCommandsShort(); break;
    }
}

Dialect dialectFor(const QString &machineType)
{
    if (!FamilyWord.isEmpty() && machineType.contains(FamilyWord, Qt::CaseInsensitive))
        return DialectShort;
    if (machineType.contains(QLatin1String("KRX"), Qt::CaseInsensitive))
        return DialectPlainScpi;
    return DialectChannelScpi;
}

QString measVolt(int channel)
{
    return pick(channel, {&CmdMeasVolt1, &CmdMeasVolt2, &CmdMeasVolt3, &CmdMeasVolt4});
}

QString measCurr(int channel)
{
    return pick(channel, {&CmdMeasCurr1, &CmdMeasCurr2, &CmdMeasCurr3, &CmdMeasCurr4});
}

QString setVolt(int channel)
{
    return pick(channel, {&CmdSetVolt1, &CmdSetVolt2, &CmdSetVolt3, &CmdSetVolt4});
}

QString setCurr(int channel)
{
    return pick(channel, {&CmdSetCurr1, &CmdSetCurr2, &CmdSetCurr3, &CmdSetCurr4});
}

QString ovp(int channel)
{
    return pick(channel, {&CmdOvp1, &CmdOvp2, &CmdOvp3, nullptr});
}

QString ocp(int channel)
{
    return pick(channel, {&CmdOcp1, &CmdOcp2, &CmdOcp3, nullptr});
}

QString output(Dialect d, bool on)
{
    if (d == DialectShort)
        return on ? QStringLiteral("OUT1") : QStringLiteral("OUT0");
    return on ? QStringLiteral(":OUTP:STAT 1") : QStringLiteral(":OUTP:STAT 0");
}

QString coupling(Dialect d, Coupling mode, int iSet)
{
    switch (d) {
    case DialectShort:
        return QStringLiteral("TRACK") + num(mode);
    case DialectPlainScpi:
        // The plain-SCPI supplies select series or parallel operation by their unit setting.
        return QStringLiteral("SYST:CONF:MSL ") + num(mode == CouplingIndependent ? 0 : iSet);
    case DialectChannelScpi:
        break;
    }
    return QStringLiteral(":OUTP:COUP:TRAC ") + num(mode);
}

QString saveMemory(Dialect d, int n)
{
    return (d == DialectShort ? QStringLiteral("SAV") : QStringLiteral("*SAV ")) + num(n);
}

QString recallMemory(Dialect d, int n)
{
    return (d == DialectShort ? QStringLiteral("RCL") : QStringLiteral("*RCL ")) + num(n);
}

QString autoRun(bool on)
{
    return on ? QStringLiteral(":SYST:AUTO:STAT 1") : QStringLiteral(":SYST:AUTO:STAT 0");
}

QString autoStart(int n)
{
    return QStringLiteral(":SYST:AUTO:STAR ") + num(n);
}

QString autoEnd(int n)
{
    return QStringLiteral(":SYST:AUTO:END ") + num(n);
}

QString autoCycle(int n)
{
    return QStringLiteral(":SYST:AUTO:CYCL ") + num(n);
}

QString autoDelay(const QString &v)
{
    return QStringLiteral(":SYST:AUTO:DEL ") + v;
}

QString clearProtection()
{
    return QStringLiteral(":OUTP:PROT:CLE");
}

QString voltageSetPoint(Dialect d, int n, const QString &v)
{
    switch (d) {
    case DialectShort: return QStringLiteral("VSET") + num(n) + QLatin1Char(':') + v;
    case DialectPlainScpi: return QStringLiteral(":VOLT ") + v;
    case DialectChannelScpi: break;
    }
    return QStringLiteral(":CHAN") + num(n) + QStringLiteral(":VOLT ") + v;
}

QString currentSetPoint(Dialect d, int n, const QString &v)
{
    switch (d) {
    case DialectShort: return QStringLiteral("ISET") + num(n) + QLatin1Char(':') + v;
    case DialectPlainScpi: return QStringLiteral(":CURR ") + v;
    case DialectChannelScpi: break;
    }
    return QStringLiteral(":CHAN") + num(n) + QStringLiteral(":CURR ") + v;
}

QString overVoltage(Dialect d, int n, const QString &v)
{
    switch (d) {
    case DialectShort: return QString();
    case DialectPlainScpi: return QStringLiteral(":VOLT:PROT ") + v;
    case DialectChannelScpi: break;
    }
    return QStringLiteral(":CHAN") + num(n) + QStringLiteral(":PROT:VOLT ") + v;
}

QString overCurrent(Dialect d, int n, bool on)
{
    const QString flag = on ? QStringLiteral("1") : QStringLiteral("0");
    switch (d) {
    case DialectShort: return QString();
    case DialectPlainScpi: return QStringLiteral(":CURR:PROT ") + flag;
    case DialectChannelScpi: break;
    }
    return QStringLiteral(":CHAN") + num(n) + QStringLiteral(":PROT:CURR ") + flag;
}

QString remote()
{
    return QStringLiteral("REMOTE");
}

} // namespace Commands
