#pragma once

#include <QString>

// What a front panel asks of the main window that owns it: the link it shows on its
// interface line, the dialogs behind its memory and auto-run buttons, and the status bar.
// MDIForm1 implements it; tests use a small fake.
class PanelHost
{
public:
    virtual ~PanelHost() = default;

    virtual QString CommType() const = 0;  // "RS232", "GPIB" or "Menu"
    virtual int baudRate() const = 0;      // speed of the open serial link
    virtual int gpibAddress() const = 0;   // primary address of the GPIB link

    virtual void mnuAutoMode_Click() = 0;
    virtual void mnuSaveMemory_Click() = 0;
    virtual void mnuRecallMemory_Click() = 0;

    // A message in the status bar for `ms` milliseconds.
    virtual void ReportStatus(const QString &text, int ms) = 0;
};
