#include "panels/FrontPanel.h"

#include "supply/Supply.h"

FrontPanel::FrontPanel(PanelHost &host, Supply &supply, QWidget *parent)
    : QWidget(parent), m_host(host), m_supply(supply)
{
}

FrontPanel::~FrontPanel() = default;

int FrontPanel::channelCount() const
{
    return m_supply.channelCount();
}

