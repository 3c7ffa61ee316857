#pragma once

#include <QString>

class FrontPanel;

// What the recording engine asks of the main window: whether a supply is identified and
// running, and the front panel whose readings it records.
class RecordingHost
{
public:
    virtual ~RecordingHost() = default;
    virtual int MainFormState() const = 0;  // 3 = identified and running
    virtual FrontPanel *OperatorForm() const = 0;
    // The identified supply's machine type, kept with a record saved on the lab server.
    virtual QString MachineType() const { return QString(); }
};

// What the recording engine and the table window tell the graph window. The graph reads the
// samples themselves from the SampleBuffer it shares with the table.
class RecordingGraph
{
public:
    virtual ~RecordingGraph() = default;
    // A recording starts: empty the plot; one point stands for `secondsPerPoint` seconds.
    virtual void ClearGraph(int secondsPerPoint) = 0;
    // Sample `row` of the buffer is new: plot it.
    virtual void ShowGraph(int row) = 0;
    // The whole buffer changed (a record was loaded, a filter chosen, the buffer cleared).
    virtual void ReDraw() = 0;
    // The start button's caption: "Record..." while recording, "Start" otherwise.
    virtual void setStartCaption(const QString &caption) = 0;
    // The position of the graph's x-axis length list, saved with a record.
    virtual int xLengthPosition() const = 0;
};

class frmDataTable;

// What the graph window asks of the main window: the record menu's state and actions, the
// record setup's scale, the panel it reads and the table window it works with.
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
    virtual FrontPanel *OperatorForm() const = 0;
    virtual frmDataTable *tableDataForm1() const = 0;
};
