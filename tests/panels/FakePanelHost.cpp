#include "FakePanelHost.h"

#include "common/Wait.h"
#include "panels/FrontPanel.h"
#include "resources/Catalogue.h"

#include <QAbstractButton>
#include <QElapsedTimer>

FakePanelHost::FakePanelHost(CommTasker &engine) : m_engine(engine)
{
    queryTimer.setInterval(166);
    QObject::connect(&queryTimer, &QTimer::timeout, [this] {
        if (m_panel)
            m_panel->DoQuery();
    });
}

FakePanelHost::~FakePanelHost() = default;

std::optional<MachineTypeRow> FakePanelHost::machineTypeRow(const QString &mtype) const
{
    for (const MachineTypeRow &row : Catalogue::shipped())
        if (row.mtype == mtype)
            return row;
    return std::nullopt;
}

bool FakePanelHost::runQueryInitialDialog()
{
    queryingInitialValues = true;
    QElapsedTimer t;
    t.start();
    while (!m_engine.isIdle() && t.elapsed() < 20000)
        Wait::ms(20);
    queryingInitialValues = false;
    return !m_engine.isIdle();
}

void FakePanelHost::queue(const QString &command)
{
    m_engine.ExecCmdTask(command, 0, nullptr, QString(), CallMethod, false);
}

void FakePanelHost::DoOutput(bool on)
{
    queue(Commands::output(Commands::DialectChannelScpi, on));
    mnuOutput = on;
    if (m_panel && m_panel->tbnOutput())
        m_panel->tbnOutput()->setChecked(on);
    CheckOutput();
}

void FakePanelHost::CheckOutput()
{
    if (mainFormState != 3)
        return;
    if (mnuOutput) {
        queryTimer.start();
    } else {
        queryTimer.stop();
        // Polls are dropped, but not the initial queries still waiting behind the output
        // state's answer.
        if (!queryingInitialValues)
            m_engine.ResetQueryTasks();
        if (m_panel)
            m_panel->SetOutputOffDisplay();
    }
}

void FakePanelHost::DoAutoRun(bool on)
{
    queue(Commands::autoRun(on));
    if (m_panel) {
        if (on) {
            m_panel->SetAutoRunDisableMode();
        } else {
            m_panel->SetAllEnabled();
            m_panel->SetOutputModeEnabled();
        }
        if (m_panel->tbnAutoRun())
            m_panel->tbnAutoRun()->setChecked(on);
    }
    mnuAutoRun = on;
}

void FakePanelHost::modeAction(Commands::Coupling coupling)
{
    if (mainFormState != 3)
        return;
    queue(Commands::coupling(Commands::DialectChannelScpi, coupling, m_iSet));
    if (!queryingInitialValues)
        m_engine.ResetQueryTasks();
    SetMenuOutputModeAllUnchecked();
    mode = coupling;
    if (!m_panel)
        return;
    switch (coupling) {
    case Commands::CouplingIndependent:
        m_panel->optIndep()->setChecked(true);
        break;
    case Commands::CouplingParallel:
        m_panel->SetParallelDisableMode();
        m_panel->optParal()->setChecked(true);
        break;
    case Commands::CouplingTrack:
        m_panel->SetTrackDisableMode();
        m_panel->optTrack()->setChecked(true);
        break;
    }
}
