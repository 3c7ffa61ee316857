#pragma once

#include <QString>

// Every command string the program sends to a supply lives here: the query table that the
// polling code reads (filled for the dialect of the identified machine type) and the
// builders of the write commands.
namespace Commands {

// The three command sets the served machine types answer to.
enum Dialect {
    DialectChannelScpi,  // SCPI with a channel prefix (":CHAN1:MEAS:VOLT?")
    DialectPlainScpi,    // SCPI without channel prefix (":MEAS:VOLT?")
    DialectShort         // short commands ("VOUT1?")
};

// Output coupling, coded the same way in every dialect and in the status word.
enum Coupling {
    CouplingIndependent = 0,
    CouplingTrack = 1,
    CouplingParallel = 2
};

// The family word of the short-command machine types (the caption of the machine-type
// menu).
inline constexpr const char *DefaultFamilyWord = "ZEP";

// The line every command and query ends with, and the identification query.
inline constexpr const char *Terminator = "\n";
inline constexpr const char *Identify = "*IDN?";

// The queries the program asks a supply.
enum class Query {
    MeasVolt, MeasCurr, SetVolt, SetCurr, Ovp, Ocp,  // per channel
    OutputStatus, TrackStatus, AutoState, AutoStart, AutoEnd, AutoCycle, AutoDelay, Memory,
    Error, Status
};

// The query texts of one dialect, built once. A query the dialect has not got is empty
// (protection queries stop at channel 3; the short dialect has no error queue, the SCPI ones
// no status word).
class CommandSet
{
public:
    static const CommandSet &of(Dialect dialect);

    Dialect dialect() const { return m_dialect; }
    // The text of `query`, for channel 1..4 where it is per channel.
    QString text(Query query, int channel = 0) const;

private:
    explicit CommandSet(Dialect dialect);
    struct PerChannel {
        QString measVolt, measCurr, setVolt, setCurr, ovp, ocp;
    };
    Dialect m_dialect;
    PerChannel m_channel[4];
    QString m_outputStatus, m_trackStatus, m_autoState, m_autoStart, m_autoEnd, m_autoCycle,
        m_autoDelay, m_memory, m_error, m_status;
};

// The dialect of a machine type: it contains `familyWord` → short; else it contains "KRX" →
// plain SCPI; else channel SCPI. Case is ignored. An empty family word matches nothing.
Dialect dialectFor(const QString &machineType,
                  const QString &familyWord = QLatin1String(DefaultFamilyWord));

// Write commands. n is a channel or memory number, v a number already formatted for the
// wire by the caller. An empty text means the dialect has no such command.
QString output(Dialect d, bool on);
// Coupling mode. `iSet` is the plain-SCPI unit number sent for track and parallel mode.
QString coupling(Dialect d, Coupling mode, int iSet = 0);
QString saveMemory(Dialect d, int n);
QString recallMemory(Dialect d, int n);
QString autoRun(bool on);
QString autoStart(int n);
QString autoEnd(int n);
QString autoCycle(int n);
QString autoDelay(const QString &v);
QString clearProtection();
QString voltageSetPoint(Dialect d, int n, const QString &v);
QString currentSetPoint(Dialect d, int n, const QString &v);
QString overVoltage(Dialect d, int n, const QString &v);
QString overCurrent(Dialect d, int n, bool on);
// Sent once after the serial port is opened.
QString remote();

} // namespace Commands
