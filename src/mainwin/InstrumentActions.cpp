#include "mainwin/InstrumentActions.h"

#include "mainwin/Collaborators.h"
#include "connection/SupplyConnection.h"
#include "supply/Supply.h"

InstrumentActions::InstrumentActions(SupplyConnection &connection, ActionDialogs &dialogs,
                                     QObject *parent)
    : QObject(parent), m_connection(connection), m_dialogs(dialogs)
{
    RecallTimer.setInterval(RecallDelayMs);
    connect(&RecallTimer, &QTimer::timeout, this, [this] {
        RecallTimer.stop();
        RecallMemory2();
    });
    connect(&connection, &SupplyConnection::wasReset, &RecallTimer, &QTimer::stop);
}

Supply *InstrumentActions::readySupply() const
{
    return m_connection.ready() ? m_connection.supply() : nullptr;
}

// ---------------------------------------------------------------- output and auto run

void InstrumentActions::DoOutput(bool on)
{
    if (Supply *supply = readySupply())
        supply->setOutput(on);
}

void InstrumentActions::ToggleOutput()
{
    if (Supply *supply = readySupply())
        supply->setOutput(!supply->outputOn());
}

void InstrumentActions::DoAutoRun(bool on)
{
    if (Supply *supply = readySupply())
        supply->setAutoRun(on);
}

void InstrumentActions::ToggleAutoRun()
{
    if (Supply *supply = readySupply())
        supply->setAutoRun(!supply->autoRun());
}

void InstrumentActions::mnuAutoMode_Click()
{
    if (!m_connection.ready())
        return;
    const auto range = m_dialogs.autoMode();
    if (range && m_connection.ready())
        m_connection.supply()->setAutoRange(range->start, range->end, range->cycle);
}

void InstrumentActions::mnuDelay_Click()
{
    if (!m_connection.ready())
        return;
    const auto delay = m_dialogs.delay();
    if (delay && m_connection.ready())
        m_connection.supply()->setDelay(*delay);
}

void InstrumentActions::setCoupling(Commands::Coupling mode)
{
    if (Supply *supply = readySupply())
        supply->setCoupling(mode);
}

// ---------------------------------------------------------------- memories

void InstrumentActions::mnuSaveMemory_Click()
{
    if (!m_connection.ready())
        return;
    const auto n = m_dialogs.saveMemory();
    if (n && m_connection.ready())
        m_connection.supply()->saveMemory(*n);
}

void InstrumentActions::mnuRecallMemory_Click()
{
    // The number is asked right after the click: once the menu has closed and a panel's
    // Recall button has done its own part.
    if (m_connection.ready())
        RecallTimer.start();
}

// A recall goes in steps, each started by the end of the one before: the memory number (a
// dialog, from the user's click); output off and the engine's clearing, with the busy box up;
// the recall with the initial queries behind it; ResumeAfterRecall. A cancelled box or a
// failed link skips to the last step.
void InstrumentActions::RecallMemory2()
{
    if (!m_connection.ready())
        return;
    const auto n = m_dialogs.recallMemory();
    if (!n || !m_connection.ready())
        return;
    DoOutput(false);
    m_connection.QueryTimer.stop();
    m_connection.engine().ClearAllTasks(this, [this, memory = *n](bool cleared) {
        if (cleared && m_connection.ready()) {
            m_connection.supply()->recallMemory(memory);
            m_connection.QueryInitialValues([this](bool) { ResumeAfterRecall(); });
            return;
        }
        ResumeAfterRecall();
    });
}

void InstrumentActions::ResumeAfterRecall()
{
    if (!m_connection.ready())
        return;  // the link failed meanwhile
    if (m_connection.supply()->outputOn())
        m_connection.QueryTimer.start();
    else
        m_connection.QueryTimer.stop();
    m_connection.CheckOutput();
    m_connection.supply()->queryMemory();
}

// ---------------------------------------------------------------- read times, protection

void InstrumentActions::mnuReadTimes_Click()
{
    if (!m_connection.ready())
        return;
    const auto seconds = m_dialogs.readTimes();
    if (!seconds)
        return;
    // One polling cycle may take at most 32 seconds (the budget is kept in 16 bits).
    m_connection.engine().ReadTimesMs = qBound(0, *seconds, 32) * 1000;
}

void InstrumentActions::mnuClearErrorOfProtection_Click()
{
    if (Supply *supply = readySupply())
        supply->clearProtection();
}
