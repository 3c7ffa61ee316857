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

// The family word of the short-command machine types; the main window copies the caption of
// its machine-type menu into it at start-up.
inline QString FamilyWord = QStringLiteral("ZEP");

// The query table. A dialect's init procedure assigns only the entries that dialect has;
// the others keep what they held before (empty at start-up).
inline QString CmdIdn;
inline QString CmdMeasVolt1, CmdMeasVolt2, CmdMeasVolt3, CmdMeasVolt4;
inline QString CmdMeasCurr1, CmdMeasCurr2, CmdMeasCurr3, CmdMeasCurr4;
inline QString CmdOutputStatus;
inline QString CmdTrackStatus;
inline QString CmdAutoState;
inline QString CmdAutoStart, CmdAutoEnd, CmdAutoCycle;
inline QString CmdAutoDelay;
inline QString CmdMemory;
inline QString CmdOvp1, CmdOvp2, CmdOvp3;
inline QString CmdOcp1, CmdOcp2, CmdOcp3;
inline QString CmdSetVolt1, CmdSetVolt2, CmdSetVolt3, CmdSetVolt4;
inline QString CmdSetCurr1, CmdSetCurr2, CmdSetCurr3, CmdSetCurr4;
inline QString CmdError;
inline QString CmdStatus;
inline QString CmdTerminator;

void InitCommandsChannelScpi();
void InitCommandsPlainScpi();
void InitCommandsShort();
// Runs the init procedure of `dialect`.
void InitCommands(Dialect dialect);

// The dialect of a machine type: it contains FamilyWord → short; else it contains "KRX" →
// plain SCPI; else channel SCPI. Case is ignored. An empty FamilyWord matches nothing.
Dialect dialectFor(const QString &machineType);

// Per-channel entries of the query table, channel 1..4; an empty text for a channel the
// table has no entry for (protection queries stop at channel 3).
QString measVolt(int channel);
QString measCurr(int channel);
QString setVolt(int channel);
QString setCurr(int channel);
QString ovp(int channel);
QString ocp(int channel);

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
