#include "panels/FrontPanel.h"

#include "panels/PanelHost.h"

FrontPanel::FrontPanel(PanelHost &host, QWidget *parent) : QWidget(parent), m_host(host) {}

FrontPanel::~FrontPanel() = default;

void FrontPanel::QueryInitialValues()
{
    // Nothing to ask: the busy dialog closes at its first tick and the main window goes on.
    host().startQueryInitialDialog();
}

int channelCountOfLayout(int layout)
{
    switch (layout) {
    case 1: return 3;
    case 2: return 1;
    case 3: return 2;
    case 4: return 4;
    default: return 0;
    }
}
