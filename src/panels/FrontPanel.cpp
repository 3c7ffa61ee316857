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

namespace {

bool inRange(const Supply &s, int i)
{
    return i >= 0 && i < s.channelCount();
}

} // namespace

QString FrontPanel::voltageText(int i) const
{
    return inRange(m_supply, i) ? m_supply.channel(i).voltageReading.text : QString();
}

QString FrontPanel::currentText(int i) const
{
    return inRange(m_supply, i) ? m_supply.channel(i).currentReading.text : QString();
}

double FrontPanel::voltageMaximum(int i) const
{
    return inRange(m_supply, i) ? m_supply.channel(i).voltageLimits.maximum : 0;
}

double FrontPanel::currentMaximum(int i) const
{
    return inRange(m_supply, i) ? m_supply.channel(i).currentLimits.maximum : 0;
}

bool FrontPanel::isOutput() const
{
    return m_supply.isOutput();
}
