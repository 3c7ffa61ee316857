// The instrument actions of the main window: output, auto run, coupling modes, memories,
// delay, read times and clearing a protection error.
#include "mainwin/MDIForm1.h"

#include "common/Prompter.h"
#include "mainwin/CommTypes.h"
#include "supply/Supply.h"

#include <QAction>

bool MDIForm1::readyForActions() const
{
    return m_mainFormState == 3 && m_supply;
}

// ---------------------------------------------------------------- output and polling

void MDIForm1::DoOutput(bool on)
{
    if (readyForActions())
        m_supply->setOutput(on);
}

void MDIForm1::ToggleOutput()
{
    DoOutput(!m_items.value("mnuOutput")->isChecked());
}

void MDIForm1::showOutput(bool on)
{
    m_items.value("mnuRecord")->setEnabled(on);
    m_buttons.value("Output")->setChecked(on);
    setChecked(QStringLiteral("mnuOutput"), on);
    CheckOutput();
}

void MDIForm1::CheckOutput()
{
    if (!readyForActions() || m_isSuspendOutput)
        return;
    if (m_commType == CommTypes::RS232 || m_commType == CommTypes::GPIB) {
        if (m_supply->outputOn()) {
            if (!QueryTimer.isActive())
                QueryTimer.start();
            return;
        }
        QueryTimer.stop();
        m_engine.ResetQueryTasks();
        m_supply->clearReadings();
    } else if (m_commType == CommTypes::Menu) {
        m_supply->clearReadings();
    }
}

// ---------------------------------------------------------------- auto run

void MDIForm1::DoAutoRun(bool on)
{
    if (readyForActions())
        m_supply->setAutoRun(on);
}

void MDIForm1::showAutoRun(bool on)
{
    m_buttons.value("AutoRun")->setChecked(on);
    setChecked(QStringLiteral("mnuAutoRun"), on);
}

void MDIForm1::ToggleAutoRun()
{
    DoAutoRun(!m_items.value("mnuAutoRun")->isChecked());
}

void MDIForm1::mnuAutoMode_Click()
{
    if (!readyForActions())
        return;
    const auto range = m_c.dialogs->autoMode();
    if (range && m_supply)
        m_supply->setAutoRange(range->start, range->end, range->cycle);
}

void MDIForm1::mnuDelay_Click()
{
    if (!readyForActions())
        return;
    const auto delay = m_c.dialogs->delay();
    if (delay && m_supply)
        m_supply->setDelay(*delay);
}

// ---------------------------------------------------------------- coupling modes

void MDIForm1::showCoupling(Commands::Coupling mode)
{
    setChecked(QStringLiteral("mnuIndep"), mode == Commands::CouplingIndependent);
    setChecked(QStringLiteral("mnuParallel"), mode == Commands::CouplingParallel);
    setChecked(QStringLiteral("mnuTrack"), mode == Commands::CouplingTrack);
}

void MDIForm1::mnuIndep_Click()
{
    if (readyForActions())
        m_supply->setCoupling(Commands::CouplingIndependent);
}

void MDIForm1::mnuParallel_Click()
{
    if (readyForActions())
        m_supply->setCoupling(Commands::CouplingParallel);
}

void MDIForm1::mnuTrack_Click()
{
    if (readyForActions())
        m_supply->setCoupling(Commands::CouplingTrack);
}

// ---------------------------------------------------------------- memories

void MDIForm1::mnuSaveMemory_Click()
{
    if (!readyForActions())
        return;
    const auto n = m_c.dialogs->saveMemory();
    if (n && m_supply)
        m_supply->saveMemory(*n);
}

void MDIForm1::mnuRecallMemory_Click()
{
    // The number is asked right after the click: once the menu has closed and a panel's
    // Recall button has done its own part.
    if (readyForActions())
        RecallTimer.start();
}

// A recall goes in steps, each started by the end of the one before: the memory number (a
// dialog, from the user's click); output off and the engine's clearing, with the busy box up;
// the recall with the initial queries behind it; ResumeAfterRecall. A cancelled box or a
// failed link skips to the last step.
void MDIForm1::RecallMemory2()
{
    if (!readyForActions())
        return;
    const auto n = m_c.dialogs->recallMemory();
    if (!n || !readyForActions())
        return;
    DoOutput(false);
    QueryTimer.stop();
    m_engine.ClearAllTasks(this, [this, memory = *n](bool cleared) {
        if (cleared && readyForActions()) {
            m_supply->recallMemory(memory);
            QueryInitialValues(AfterInitialValues::ResumeAfterRecall);
            return;
        }
        ResumeAfterRecall();
    });
}

void MDIForm1::ResumeAfterRecall()
{
    if (!readyForActions())
        return;  // the link failed meanwhile
    if (m_items.value("mnuOutput")->isChecked())
        QueryTimer.start();
    else
        QueryTimer.stop();
    CheckOutput();
    m_supply->queryMemory();
}

// ---------------------------------------------------------------- read times, protection

void MDIForm1::mnuReadTimes_Click()
{
    if (!readyForActions())
        return;
    const auto seconds = m_c.dialogs->readTimes();
    if (!seconds)
        return;
    // One polling cycle may take at most 32 seconds (the budget is kept in 16 bits).
    m_engine.ReadTimesMs = qBound(0, *seconds, 32) * 1000;
}

void MDIForm1::mnuClearErrorOfProtection_Click()
{
    if (readyForActions())
        m_supply->clearProtection();
}
