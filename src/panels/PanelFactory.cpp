#include "panels/PanelFactory.h"

#include "panels/FrontPanel.h"

std::unique_ptr<FrontPanel> createFrontPanel(int layout, PanelHost &host)
{
    switch (layout) {
    default:
        (void)host;
        return nullptr;
    }
}
