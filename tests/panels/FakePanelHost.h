#pragma once

#include "link/GpibBoard.h"
#include "link/SerialIo.h"
#include "link/CommTasker.h"
#include "link/Commands.h"
#include "panels/PanelHost.h"

#include <QPointer>
#include <QTimer>

class FrontPanel;

// A main window reduced to what a front panel calls: the connection state, the engine, the
// machine-type rows, the query-initial wait, the output/auto-run/coupling actions (sending
// the same commands and applying the same panel calls as the real window) and the 166 ms
// polling timer that runs while the output is on.
class FakePanelHost : public PanelHost
{
public:
    explicit FakePanelHost(CommTasker &engine);
    ~FakePanelHost() override;

    void setPanel(FrontPanel *panel) { m_panel = panel; }

    QString MachineType() const override { return machineType; }
    QString CommType() const override { return commType; }
    int MainFormState() const override { return mainFormState; }
    bool IsQueryInitialValues() const override { return queryingInitialValues; }
    int baudRate() const override { return baud; }
    int gpibAddress() const override { return address; }
    CommTasker &engine() override { return m_engine; }
    std::optional<MachineTypeRow> machineTypeRow(const QString &mtype) const override;

    // Runs the engine until the queued initial queries are answered (at most 20 s).
    bool runQueryInitialDialog() override;

    void DoOutput(bool on) override;
    void DoAutoRun(bool on) override;
    void mnuIndep_Click() override { modeAction(Commands::CouplingIndependent); }
    void mnuParallel_Click() override { modeAction(Commands::CouplingParallel); }
    void mnuTrack_Click() override { modeAction(Commands::CouplingTrack); }
    // The main window only unchecks its mode items here; the panel is left as it is.
    void SetMenuOutputModeAllUnchecked() override {}
    void mnuAutoMode_Click() override { ++autoModeClicks; }
    void mnuSaveMemory_Click() override { ++saveClicks; }
    void mnuRecallMemory_Click() override { ++recallClicks; }
    int iSet() const override { return m_iSet; }
    void setISet(int value) override { m_iSet = value; }

    // Polling follows the output, as the main window's output check does.
    void CheckOutput();

    QString machineType = QStringLiteral("XPP-3202");
    QString commType = QStringLiteral("RS232");
    int mainFormState = 3;
    bool queryingInitialValues = false;
    int baud = 9600;
    int address = 0;

    bool mnuOutput = false;
    bool mnuAutoRun = false;
    Commands::Coupling mode = Commands::CouplingIndependent;
    int autoModeClicks = 0;
    int saveClicks = 0;
    int recallClicks = 0;
    QTimer queryTimer;

private:
    void modeAction(Commands::Coupling coupling);
    void queue(const QString &command);

    CommTasker &m_engine;
    QPointer<FrontPanel> m_panel;
    int m_iSet = 0;
};
