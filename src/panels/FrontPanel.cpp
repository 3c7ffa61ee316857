#include "panels/FrontPanel.h"

FrontPanel::FrontPanel(PanelHost &host, QWidget *parent) : QWidget(parent), m_host(host) {}

FrontPanel::~FrontPanel() = default;

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
