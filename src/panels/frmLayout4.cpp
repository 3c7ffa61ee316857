#include "panels/frmLayout4.h"

#include "common/NumberFormat.h"
#include "link/CommTasker.h"
#include "panels/NumEdit.h"
#include "panels/PanelHost.h"
#include "panels/PanelStyle.h"
#include "panels/TextBox.h"

using namespace Commands;

frmLayout4::frmLayout4(PanelHost &host, QWidget *parent) : ChannelPanel(host, 4, parent)
{
    setObjectName(QStringLiteral("frmLayout4"));
    setWindowTitle(QStringLiteral("Front Panel"));
    buildShortDialectFace(4);
    const Channel &c1 = m_ch[0], &c2 = m_ch[1], &c3 = m_ch[2], &c4 = m_ch[3];
    m_cycle = {{&CmdMeasVolt1, c1.txtVoltage}, {&CmdMeasCurr1, c1.txtCurrent},
               {&CmdMeasVolt2, c2.txtVoltage}, {&CmdMeasCurr2, c2.txtCurrent},
               {&CmdSetVolt1, c1.txtSetVolt},  {&CmdSetVolt2, c2.txtSetVolt},
               {&CmdSetCurr1, c1.txtSetCurr},  {&CmdSetCurr2, c2.txtSetCurr},
               {&CmdStatus, m_txtStatus},
               {&CmdMeasVolt3, c3.txtVoltage}, {&CmdMeasCurr3, c3.txtCurrent},
               {&CmdMeasVolt4, c4.txtVoltage}, {&CmdMeasCurr4, c4.txtCurrent},
               {&CmdSetVolt3, c3.txtSetVolt},  {&CmdSetVolt4, c4.txtSetVolt},
               {&CmdSetCurr3, c3.txtSetCurr},  {&CmdSetCurr4, c4.txtSetCurr}};
    PanelStyle::apply(*this);
}

QString frmLayout4::wireValue(double value) const
{
    return NumberFormat::formatForWire(value, QStringLiteral("###0.0##"));
}

void frmLayout4::adjustLimits()
{
    // Channels 3 and 4 of the four-channel supply have fixed ranges (10 V / 3 A, 5 V / 1 A),
    // whatever the model row says; the editors allow one step of 0.001 above them.
    m_ch[2].numVoltage->setMaximum(10.001);
    m_ch[2].numCurrent->setMaximum(3.001);
    m_ch[3].numVoltage->setMaximum(5.001);
    m_ch[3].numCurrent->setMaximum(1.001);
}

void frmLayout4::queueInitialQueries()
{
    queueSetPointQueries();
    queueMeasurements();
    queueQuery(CmdStatus, m_txtStatus);
}

bool frmLayout4::queueCycleQuery(const QString &query, QObject *target)
{
    // The status word is no reading: it goes through the ordinary query so that it is
    // decoded; every other step is a reading reduced by the four-channel query.
    if (target == m_txtStatus)
        return queueQuery(query, target);
    return host().engine().ExecQueryTaskQuad(query, 5, target, QStringLiteral("Text"), CallLet,
                                              false);
}

void frmLayout4::QuerySetValues()
{
    // Channels 1 and 2 (the coupled pair) first, then 3 and 4.
    queueSetPointQueries(0, 2);
    queueSetPointQueries(2, 4);
}

void frmLayout4::runModeAction(Coupling mode)
{
    if (mode == m_mode)
        return;  // the mode in force: nothing to send
    // The status word read when connecting tells the supply's mode: the panel adopts it and
    // leaves the output as it is.
    const bool adopting = host().IsQueryInitialValues();
    // Readings queued under the old mode are dropped.
    if (mode != CouplingIndependent && !adopting)
        host().engine().ResetQueryTasks();
    ChannelPanel::runModeAction(mode);
    // The supply changes its coupling with the output off.
    if (!adopting)
        host().DoOutput(false);
    m_mode = mode;
}

void frmLayout4::afterRecallClicked()
{
    host().DoOutput(false);
}
