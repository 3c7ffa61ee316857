#include "panels/PanelFactory.h"

#include "panels/FrontPanel.h"
#include "panels/frmLayout1.h"
#include "panels/frmLayout2.h"
#include "panels/frmLayout3.h"
#include "panels/frmLayout4.h"

std::unique_ptr<FrontPanel> createFrontPanel(int layout, PanelHost &host)
{
    switch (layout) {
    case 1: return std::make_unique<frmLayout1>(host);
    case 2: return std::make_unique<frmLayout2>(host);
    case 3: return std::make_unique<frmLayout3>(host);
    case 4: return std::make_unique<frmLayout4>(host);
    default: return nullptr;
    }
}
