#pragma once

#include "datalog/RecordingInterfaces.h"
#include "supply/Supply.h"

#include <QPointer>

// The recording's readings taken from the connected supply the main window holds; none
// while no supply is connected.
class SupplyReadings : public ReadingSource
{
public:
    explicit SupplyReadings(const QPointer<Supply> &supply) : m_supply(supply) {}

    bool isRunning() const override { return m_supply && m_supply->isRunning(); }
    bool isOutputOn() const override { return m_supply && m_supply->isOutput(); }
    QString machineType() const override { return m_supply ? m_supply->machineType() : QString(); }
    QString voltageText(int i) const override { return inRange(i) ? channel(i).voltageReading.text : QString(); }
    QString currentText(int i) const override { return inRange(i) ? channel(i).currentReading.text : QString(); }
    double voltageMaximum(int i) const override { return inRange(i) ? channel(i).voltageLimits.maximum : 0; }
    double currentMaximum(int i) const override { return inRange(i) ? channel(i).currentLimits.maximum : 0; }

private:
    bool inRange(int i) const { return m_supply && i >= 0 && i < m_supply->channelCount(); }
    const Supply::Channel &channel(int i) const { return m_supply->channel(i); }

    const QPointer<Supply> &m_supply;
};
