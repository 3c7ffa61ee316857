#include "panels/PanelFactory.h"

#include "panels/FrontPanel.h"
#include "panels/frmLayout1.h"

std::unique_ptr<FrontPanel> createFrontPanel(int layout, PanelHost &host)
{
    switch (layout) {
    case 1: return std::make_unique<frmLayout1>(host);
    default: return nullptr;
    }
}
