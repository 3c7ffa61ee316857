#include "panels/frmLayout3.h"

#include "panels/PanelStyle.h"
#include "panels/TextBox.h"

frmLayout3::frmLayout3(PanelHost &host, Supply &supply, QWidget *parent)
    : ChannelPanel(host, supply, parent)
{
    setObjectName(QStringLiteral("frmLayout3"));
    setWindowTitle(QStringLiteral("Front Panel"));
    buildShortDialectFace(2);
    PanelStyle::apply(*this);
}
