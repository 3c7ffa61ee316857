#include "link/Commands.h"

#include <array>

namespace Commands {

namespace {

QString num(int n)
{
    return QString::number(n);
}

} // namespace

CommandSet::CommandSet(Dialect dialect) : m_dialect(dialect)
{
    if (dialect == DialectShort) {
        for (int i = 0; i < 4; ++i) {
            const QString ch = num(i + 1) + QLatin1Char('?');
            PerChannel &c = m_channel[i];
            c.measVolt = QStringLiteral("VOUT") + ch;
            c.measCurr = QStringLiteral("IOUT") + ch;
            c.setVolt = QStringLiteral("VSET") + ch;
            c.setCurr = QStringLiteral("ISET") + ch;
        }
        // One status word answers output, coupling and status.
        m_outputStatus = m_trackStatus = m_status = QStringLiteral("STATUS?");
        return;
    }
    for (int i = 0; i < 3; ++i) {
        PerChannel &c = m_channel[i];
        if (dialect == DialectPlainScpi) {
            c.measVolt = QStringLiteral(":MEAS:VOLT?");
            c.measCurr = QStringLiteral(":MEAS:CURR?");
            c.ovp = QStringLiteral(":VOLT:PROT?");
            c.ocp = QStringLiteral(":CURR:PROT?");
            c.setVolt = QStringLiteral(":VOLT?");
            c.setCurr = QStringLiteral(":CURR?");
        } else {
            const QString prefix = QStringLiteral(":CHAN") + num(i + 1) + QLatin1Char(':');
            c.measVolt = prefix + QStringLiteral("MEAS:VOLT?");
            c.measCurr = prefix + QStringLiteral("MEAS:CURR?");
            c.ovp = prefix + QStringLiteral("PROT:VOLT?");
            c.ocp = prefix + QStringLiteral("PROT:CURR?");
            c.setVolt = prefix + QStringLiteral("VOLT?");
            c.setCurr = prefix + QStringLiteral("CURR?");
        }
    }
    // The two SCPI dialects share their status, auto-run, memory and error queries.
    m_outputStatus = QStringLiteral(":OUTP:STAT?");
    m_trackStatus = QStringLiteral(":OUTP:COUP:TRAC?");
    m_autoState = QStringLiteral(":SYST:AUTO:STAT?");
    m_autoStart = QStringLiteral(":SYST:AUTO:STAR?");
    m_autoEnd = QStringLiteral(":SYST:AUTO:END?");
    m_autoCycle = QStringLiteral(":SYST:AUTO:CYCLE?");
    m_autoDelay = QStringLiteral(":SYST:AUTO:DEL?");
    m_memory = QStringLiteral(":SYST:MEM?");
    m_error = QStringLiteral(":SYST:ERR?");
}

const CommandSet &CommandSet::of(Dialect dialect)
{
    static const CommandSet sets[] = {CommandSet(DialectChannelScpi), CommandSet(DialectPlainScpi),
                                      CommandSet(DialectShort)};
    switch (dialect) {
    case DialectPlainScpi: return sets[1];
    case DialectShort: return sets[2];
    case DialectChannelScpi: break;
    }
    return sets[0];
}

QString CommandSet::text(Query query, int channel) const
{
    const PerChannel *c = channel >= 1 && channel <= 4 ? &m_channel[channel - 1] : nullptr;
    switch (query) {
    case Query::MeasVolt: return c ? c->measVolt : QString();
    case Query::MeasCurr: return c ? c->measCurr : QString();
    case Query::SetVolt: return c ? c->setVolt : QString();
    case Query::SetCurr: return c ? c->setCurr : QString();
    case Query::Ovp: return c ? c->ovp : QString();
    case Query::Ocp: return c ? c->ocp : QString();
    case Query::OutputStatus: return m_outputStatus;
    case Query::TrackStatus: return m_trackStatus;
    case Query::AutoState: return m_autoState;
    case Query::AutoStart: return m_autoStart;
    case Query::AutoEnd: return m_autoEnd;
    case Query::AutoCycle: return m_autoCycle;
    case Query::AutoDelay: return m_autoDelay;
    case Query::Memory: return m_memory;
    case Query::Error: return m_error;
    case Query::Status: return m_status;
    }
    return QString();
}

Dialect dialectFor(const QString &machineType, const QString &familyWord)
{
    if (!familyWord.isEmpty() && machineType.contains(familyWord, Qt::CaseInsensitive))
        return DialectShort;
    if (machineType.contains(QLatin1String("KRX"), Qt::CaseInsensitive))
        return DialectPlainScpi;
    return DialectChannelScpi;
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
