#pragma once

#include "resources/Catalogue.h"

#include <QString>
#include <optional>

class CommTasker;

// What a front panel may ask of the main window that owns it. MDIForm1 implements it; tests
// use a small fake.
class PanelHost
{
public:
    virtual ~PanelHost() = default;

    // Read-only state of the connection.
    virtual QString MachineType() const = 0;
    virtual QString CommType() const = 0;      // "RS232", "GPIB" or "Menu"
    virtual int MainFormState() const = 0;     // 3 = identified and running
    virtual bool IsQueryInitialValues() const = 0;
    virtual int baudRate() const = 0;          // speed of the open serial link
    virtual int gpibAddress() const = 0;       // primary address of the GPIB link

    virtual CommTasker &engine() = 0;
    // First row of the machine-type table whose MTYPE equals `mtype`.
    virtual std::optional<MachineTypeRow> machineTypeRow(const QString &mtype) const = 0;

    // Opens the initial-query busy dialog and returns at once; the main window carries on
    // when the queued queries are answered or the user cancels.
    virtual void startQueryInitialDialog() = 0;

    // Instrument actions of the main window that a panel's controls trigger.
    virtual void DoOutput(bool on) = 0;
    virtual void DoAutoRun(bool on) = 0;
    virtual void mnuIndep_Click() = 0;
    virtual void mnuParallel_Click() = 0;
    virtual void mnuTrack_Click() = 0;
    virtual void SetMenuOutputModeAllUnchecked() = 0;
    virtual void mnuAutoMode_Click() = 0;
    virtual void mnuSaveMemory_Click() = 0;
    virtual void mnuRecallMemory_Click() = 0;

    // A message in the status bar for `ms` milliseconds.
    virtual void ReportStatus(const QString &text, int ms) = 0;

    // Parallel/series number sent with "SYST:CONF:MSL " (set by the one-channel panel).
    virtual int iSet() const = 0;
    virtual void setISet(int value) = 0;
};
