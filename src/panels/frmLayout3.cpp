#include "panels/frmLayout3.h"

#include "panels/PanelStyle.h"
#include "panels/TextBox.h"

using namespace Commands;

frmLayout3::frmLayout3(PanelHost &host, QWidget *parent) : ChannelPanel(host, 2, parent)
{
    setObjectName(QStringLiteral("frmLayout3"));
    setWindowTitle(QStringLiteral("Front Panel"));
    buildShortDialectFace(2);
    m_cycle = {{&CmdMeasVolt1, m_ch[0].txtVoltage}, {&CmdMeasCurr1, m_ch[0].txtCurrent},
               {&CmdMeasVolt2, m_ch[1].txtVoltage}, {&CmdMeasCurr2, m_ch[1].txtCurrent}};
    PanelStyle::apply(*this);
}

void frmLayout3::queueInitialQueries()
{
    queueSetPointQueries();
    queueMeasurements();
    // The status word last: it tells the mode and whether the output is on.
    queueQuery(CmdStatus, m_txtStatus);
}
