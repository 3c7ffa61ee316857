#pragma once

#include "datalog/RecordingInterfaces.h"
#include "panels/FrontPanel.h"
#include "panels/PanelHost.h"

#include <QPointer>

// The recording's readings taken from the front panel the main window shows, while the main
// window has the supply identified and running (state 3).
class PanelReadings : public ReadingSource
{
public:
    PanelReadings(const QPointer<FrontPanel> &panel, const PanelHost &window) : m_panel(panel), m_window(window) {}

    bool isRunning() const override { return m_panel && m_window.MainFormState() == 3; }
    bool isOutputOn() const override { return m_panel && m_panel->IsOutput; }
    QString machineType() const override { return m_window.MachineType(); }
    QString voltageText(int i) const override { return m_panel ? m_panel->voltageText(i) : QString(); }
    QString currentText(int i) const override { return m_panel ? m_panel->currentText(i) : QString(); }
    double voltageMaximum(int i) const override { return m_panel ? m_panel->voltageMaximum(i) : 0; }
    double currentMaximum(int i) const override { return m_panel ? m_panel->currentMaximum(i) : 0; }

private:
    const QPointer<FrontPanel> &m_panel;
    const PanelHost &m_window;
};
