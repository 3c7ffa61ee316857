#pragma once

#include "link/Commands.h"

#include <QObject>
#include <QTimer>

class ActionDialogs;
class Supply;
class SupplyConnection;

// What the user asks of the connected supply from the menus, the toolbar and the panels'
// dialog buttons: output, auto run and its range, coupling modes, memories, delay, read times
// and clearing a protection error. Each runs only while a supply is identified and running.
class InstrumentActions : public QObject
{
    Q_OBJECT
public:
    static constexpr int RecallDelayMs = 100;

    InstrumentActions(SupplyConnection &connection, ActionDialogs &dialogs, QObject *parent = nullptr);

    void DoOutput(bool on);
    void ToggleOutput();
    void DoAutoRun(bool on);
    void ToggleAutoRun();
    void mnuAutoMode_Click();
    void mnuDelay_Click();
    void setCoupling(Commands::Coupling mode);
    void mnuSaveMemory_Click();
    void mnuRecallMemory_Click();
    void RecallMemory2();
    void ResumeAfterRecall();
    void mnuReadTimes_Click();
    void mnuClearErrorOfProtection_Click();

    // Opens the recall's number dialog once the click that asked for it has been handled.
    QTimer RecallTimer;

private:
    // The connected supply while it is identified and running; null otherwise.
    Supply *readySupply() const;

    SupplyConnection &m_connection;
    ActionDialogs &m_dialogs;
};
