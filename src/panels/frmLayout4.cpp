#include "panels/frmLayout4.h"

#include "panels/PanelStyle.h"

frmLayout4::frmLayout4(PanelHost &host, Supply &supply, QWidget *parent)
    : ChannelPanel(host, supply, parent)
{
    setObjectName(QStringLiteral("frmLayout4"));
    setWindowTitle(QStringLiteral("Front Panel"));
    buildShortDialectFace(4);
    PanelStyle::apply(*this);
}
