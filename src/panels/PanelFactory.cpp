#include "panels/PanelFactory.h"

#include "supply/Supply.h"

#include "panels/FrontPanel.h"
#include "panels/frmLayout1.h"
#include "panels/frmLayout2.h"
#include "panels/frmLayout3.h"
#include "panels/frmLayout4.h"

std::unique_ptr<FrontPanel> createFrontPanel(PanelHost &host, Supply &supply)
{
    switch (supply.layout()) {
    case 1: return std::make_unique<frmLayout1>(host, supply);
    case 2: return std::make_unique<frmLayout2>(host, supply);
    case 3: return std::make_unique<frmLayout3>(host, supply);
    case 4: return std::make_unique<frmLayout4>(host, supply);
    default: return nullptr;
    }
}
