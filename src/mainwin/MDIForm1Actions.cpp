// The instrument actions of the main window: output, auto run, coupling modes, memories,
// delay, read times and clearing a protection error.
#include "mainwin/MDIForm1.h"

#include "common/Prompter.h"
#include "mainwin/CommTypes.h"
#include "panels/FrontPanel.h"

#include <QAbstractButton>
#include <QAction>

namespace {

// Marks an action as running; a nested call of the same kind (a panel control echoing the
// state the action has just set) returns at once instead of sending the command twice.
class ReentryGuard
{
public:
    explicit ReentryGuard(bool &flag) : m_flag(flag), m_entered(!flag) { m_flag = true; }
    ~ReentryGuard()
    {
        if (m_entered)
            m_flag = false;
    }
    bool nested() const { return !m_entered; }

private:
    bool &m_flag;
    bool m_entered;
};

void setButton(QAbstractButton *button, bool on)
{
    if (button)
        button->setChecked(on);
}

} // namespace

bool MDIForm1::readyForActions() const
{
    return m_mainFormState == 3;
}

void MDIForm1::queueCommand(const QString &command)
{
    if (!command.isEmpty())
        m_engine.ExecCmdTask(command, 0, this, QString(), CallMethod);
}

// ---------------------------------------------------------------- output and polling

void MDIForm1::DoOutput(bool on)
{
    if (!readyForActions())
        return;
    ReentryGuard guard(m_inOutput);
    if (guard.nested())
        return;
    m_items.value("mnuRecord")->setEnabled(on);
    m_buttons.value("Output")->setChecked(on);
    if (m_panel)
        setButton(m_panel->tbnOutput(), on);
    setChecked(QStringLiteral("mnuOutput"), on);
    queueCommand(Commands::output(m_dialect, on));
    CheckOutput();
}

void MDIForm1::ToggleOutput()
{
    DoOutput(!m_items.value("mnuOutput")->isChecked());
}

void MDIForm1::CheckOutput()
{
    if (!readyForActions() || m_isSuspendOutput)
        return;
    if (m_commType == CommTypes::RS232 || m_commType == CommTypes::GPIB) {
        if (m_items.value("mnuOutput")->isChecked()) {
            if (!QueryTimer.isActive())
                QueryTimer.start();
            return;
        }
        QueryTimer.stop();
        m_engine.ResetQueryTasks();
        if (m_panel)
            m_panel->SetOutputOffDisplay();
    } else if (m_commType == CommTypes::Menu) {
        if (m_panel)
            m_panel->SetOutputOffDisplay();
    }
}

// ---------------------------------------------------------------- auto run

void MDIForm1::DoAutoRun(bool on)
{
    if (!readyForActions())
        return;
    ReentryGuard guard(m_inAutoRun);
    if (guard.nested())
        return;
    queueCommand(Commands::autoRun(on));
    if (m_panel) {
        if (on) {
            m_panel->SetAutoRunDisableMode();
        } else {
            m_panel->SetAllEnabled();
            m_panel->SetOutputModeEnabled();
        }
        setButton(m_panel->tbnAutoRun(), on);
    }
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
    if (!range)
        return;
    queueCommand(Commands::autoStart(range->start));
    queueCommand(Commands::autoEnd(range->end));
    queueCommand(Commands::autoCycle(range->cycle));
    if (m_panel)
        m_panel->QuerySECMemory();
}

void MDIForm1::mnuDelay_Click()
{
    if (!readyForActions())
        return;
    const auto delay = m_c.dialogs->delay();
    if (!delay)
        return;
    queueCommand(Commands::autoDelay(*delay));
    if (m_panel)
        m_panel->QueryDelay();
}

// ---------------------------------------------------------------- coupling modes

void MDIForm1::SetMenuOutputModeAllUnchecked()
{
    setChecked(QStringLiteral("mnuIndep"), false);
    setChecked(QStringLiteral("mnuParallel"), false);
    setChecked(QStringLiteral("mnuTrack"), false);
    // Leaving a mode also lifts its locks; the new mode applies its own.
    if (m_panel)
        m_panel->SetAllEnabled();
}

void MDIForm1::modeAction(Commands::Coupling mode, const QString &item)
{
    if (!readyForActions())
        return;
    ReentryGuard guard(m_inMode);
    if (guard.nested())
        return;
    queueCommand(Commands::coupling(m_dialect, mode, m_iSet));
    // Polls queued under the old mode must not be delivered; the initial queries are kept.
    if (!m_isQueryInitialValues)
        m_engine.ResetQueryTasks();
    SetMenuOutputModeAllUnchecked();
    setChecked(item, true);
    if (!m_panel)
        return;
    switch (mode) {
    case Commands::CouplingIndependent:
        setButton(m_panel->optIndep(), true);
        break;
    case Commands::CouplingParallel:
        m_panel->SetParallelDisableMode();
        setButton(m_panel->optParal(), true);
        break;
    case Commands::CouplingTrack:
        m_panel->SetTrackDisableMode();
        setButton(m_panel->optTrack(), true);
        break;
    }
}

void MDIForm1::mnuIndep_Click()
{
    modeAction(Commands::CouplingIndependent, QStringLiteral("mnuIndep"));
}

void MDIForm1::mnuParallel_Click()
{
    modeAction(Commands::CouplingParallel, QStringLiteral("mnuParallel"));
}

void MDIForm1::mnuTrack_Click()
{
    modeAction(Commands::CouplingTrack, QStringLiteral("mnuTrack"));
}

// ---------------------------------------------------------------- memories

void MDIForm1::mnuSaveMemory_Click()
{
    if (!readyForActions())
        return;
    const auto n = m_c.dialogs->saveMemory();
    if (!n)
        return;
    queueCommand(Commands::saveMemory(m_dialect, *n));
    if (m_panel)
        m_panel->QueryMemory();
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
            queueCommand(Commands::recallMemory(m_dialect, memory));
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
    if (m_panel)
        m_panel->QueryMemory();
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
        queueCommand(Commands::clearProtection());
}
