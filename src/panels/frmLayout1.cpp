#include "panels/frmLayout1.h"

#include "panels/PanelStyle.h"
#include "panels/TextBox.h"
#include "resources/Strings.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Commands;

frmLayout1::frmLayout1(PanelHost &host, QWidget *parent) : ChannelPanel(host, 3, parent)
{
    setObjectName(QStringLiteral("frmLayout1"));
    setWindowTitle(QStringLiteral("Front Panel"));

    auto *outer = new QVBoxLayout(this);
    auto *channels = new QHBoxLayout;
    for (int i = 0; i < 3; ++i)
        channels->addWidget(buildChannelFrame(i, Strings::res(281 + i), true));
    outer->addLayout(channels);

    auto *controls = new QHBoxLayout;
    controls->addWidget(buildModeFrame(QStringLiteral("Out Mode"), QStringLiteral("INDEP"),
                                       QStringLiteral("PARALL"), QStringLiteral("TRACK")));
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(buildOutputButton());
    buttons->addWidget(buildAutoRunButton());
    buttons->addWidget(buildClearErrorButton());
    buttons->addStretch();
    controls->addLayout(buttons);
    controls->addWidget(buildAutoModeFrame());
    auto *delayMemory = new QVBoxLayout;
    delayMemory->addWidget(buildDelayFrame());
    delayMemory->addWidget(buildMemoryFrame());
    controls->addLayout(delayMemory);
    controls->addStretch();
    outer->addLayout(controls);
    outer->addWidget(buildCommTypeLine());

    // Measured V1, I1, V2, I2, V3, I3, the status word, then the set points; channel 3's
    // current set point is read only initially and after a mode change.
    m_cycle = {{&CmdMeasVolt1, m_ch[0].txtVoltage}, {&CmdMeasCurr1, m_ch[0].txtCurrent},
               {&CmdMeasVolt2, m_ch[1].txtVoltage}, {&CmdMeasCurr2, m_ch[1].txtCurrent},
               {&CmdMeasVolt3, m_ch[2].txtVoltage}, {&CmdMeasCurr3, m_ch[2].txtCurrent},
               {&CmdStatus, m_txtStatus},
               {&CmdSetVolt1, m_ch[0].txtSetVolt}, {&CmdSetVolt2, m_ch[1].txtSetVolt},
               {&CmdSetVolt3, m_ch[2].txtSetVolt},
               {&CmdSetCurr1, m_ch[0].txtSetCurr}, {&CmdSetCurr2, m_ch[1].txtSetCurr}};

    PanelStyle::apply(*this);
}

void frmLayout1::queueInitialQueries()
{
    QuerySECMemory();
    QueryDelay();
    QueryMemory();
    for (int i = 0; i < 3; ++i)
        queueQuery(ovp(i + 1), m_ch[i].txtOVP);
    queueReceiver(CmdOutputStatus, "SetupOutputOnOff");
    queueReceiver(CmdTrackStatus, "SetupOutputMode");
    queueReceiver(CmdAutoState, "SetupAutoRun");
    for (int i = 0; i < 3; ++i)
        queueQuery(ocp(i + 1), m_ch[i].txtOCP);
    queueSetPointQueries();
    queueMeasurements();
}
