#pragma once

#include <QString>

// What the recording reads of the connected supply.
class ReadingSource
{
public:
    virtual ~ReadingSource() = default;
    virtual bool isRunning() const = 0;          // identified and running
    virtual bool isOutputOn() const = 0;
    virtual QString machineType() const = 0;
    // Reading of channel index i (0 = channel 1) as the recording stores it (the text), and
    // the set-point maxima the graph scales to.
    virtual QString voltageText(int i) const = 0;
    virtual QString currentText(int i) const = 0;
    virtual double voltageMaximum(int i) const = 0;
    virtual double currentMaximum(int i) const = 0;
};

// What the graph window asks of the main window: the record menu's state and actions and the
// record setup's scale.
class GraphHost
{
public:
    virtual ~GraphHost() = default;
    virtual bool recordMenuEnabled() const = 0;
    virtual void mnuRecordStart_Click() = 0;
    virtual void mnuRecordStop_Click() = 0;
    virtual void mnuRecordPeriod_Click() = 0;
    virtual void mnuControl_Click() = 0;
    virtual int recordScale() const = 0;
    virtual void setRecordScale(int position) = 0;
};
