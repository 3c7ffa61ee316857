#pragma once

#include "datalog/RecordingInterfaces.h"

// A graph window's host with no main window behind it; it keeps the scale it is given.
class LoneGraphHost : public GraphHost
{
public:
    bool recordMenuEnabled() const override { return false; }
    void mnuRecordStart_Click() override {}
    void mnuRecordStop_Click() override {}
    void mnuRecordPeriod_Click() override {}
    void mnuControl_Click() override {}
    int recordScale() const override { return scale; }
    void setRecordScale(int position) override { scale = position; }
    int scale = 0;
};

// No supply behind a recording session: it only loads, saves and shows.
class NoSupply : public ReadingSource
{
public:
    bool isRunning() const override { return false; }
    bool isOutputOn() const override { return false; }
    QString machineType() const override { return QString(); }
    QString voltageText(int) const override { return QString(); }
    QString currentText(int) const override { return QString(); }
    double voltageMaximum(int) const override { return 0; }
    double currentMaximum(int) const override { return 0; }
};
