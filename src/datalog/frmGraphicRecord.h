#pragma once

#include "datalog/RecordingInterfaces.h"
#include "datalog/RecordTypes.h"

#include <QWidget>

#include <array>

class GraphHost;
class GraphPower;
class GraphPrintout;
class TraceSwatch;
class QCPGraph;
class QCPItemTracer;
class QCheckBox;
class QComboBox;
class QCustomPlot;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPagedPaintDevice;
class QPushButton;
class QSlider;
class QStackedWidget;
class RecordingSession;
class SampleBuffer;

// The graph window ("Graphic Record"): the voltage and current of up to four channels as
// eight traces against elapsed time, a view of the whole recording session's samples that
// follows a recording live; cursors and measurements, statistics, CSV export, printing, and
// the saved records (save, load, delete). Closing it leaves the recording running.
class frmGraphicRecord : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Traces = 8;
    enum Mode { Zoom = 0, Pan = 1, CursorCoordinates = 2, CursorMeasurements = 3 };
    // Cursor 7 also serves as the second cursor of a measurement.
    static constexpr int MeasureCursor = 7;

    frmGraphicRecord(RecordingSession &session, GraphHost &host, int channels, QWidget *parent = nullptr);

    // Axes, lists and cursors start over for points of `secondsPerPoint` seconds, and the
    // recording is drawn with them.
    void ClearGraph(int secondsPerPoint);
    // The same with the slice of the record setup's scale.
    void ClearGraph();
    // Colours (decimal 0x00BBGGRR texts) of channels 1..4; a blank text keeps the colour.
    void ChangeCursorColor(const QString &c1, const QString &c2, const QString &c3, const QString &c4);

    bool bLoaded = false; // first activation done
    int slice() const { return m_slice; }
    int channels() const { return m_channels; }
    QCustomPlot *plot() const { return m_plot; }
    QCPGraph *trace(int k) const;           // 1..8
    QCPItemTracer *cursor(int k) const;     // 1..8
    GraphPower *power() const { return m_power; }  // the power traces and energy

    // --- tools
    void GraphMode_Change(int mode);
    void lstChannel_Click(int entry);
    // Puts cursor k (1..8) at elapsed second `x` and updates the readouts, as a drag does.
    void moveCursor(int k, double x);
    void refreshStatistics();
    void cmdStart_Click();
    void cmdStop_Click();
    void cmdPeriod_Click();
    void cmdReturn_Click();
    void cmdRefresh_Click();
    void cmdExport_Click();
    // With `energyColumns`, each channel's power, energy and charge follow its readings.
    bool exportTo(const QString &path, bool energyColumns = false);
    void cmdPrint_Click();
    // Paints the graph on `device` as vector graphics; false (and the job ended) on failure.
    bool printTo(QPagedPaintDevice &device);
    // The page printTo prints: title, times, the plot with its legend, the cursor readouts.
    GraphPrintout printout() const;
    // What the window shows, in words ("Record 12: Battery test", "Recording…").
    QString shownText() const;
    void cmdSave_Click();
    void cmdLoad_Click();
    void List1_Click(int listRow);
    void cmdDel_Click();
    void List2_Click(int listRow);

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The constructor's parts: the plot with its traces and cursors, the record lists over it,
    // the channel boxes, the bottom strip, the graph modes, the cursor readouts, their
    // layout, and following the session.
    void buildPlot();
    void buildRecordLists();
    QFrame *buildChannelFrame();
    QFrame *buildStrip();
    QGroupBox *buildModeFrame();
    void buildCursorFrame();
    void layOut(QWidget *channelFrame, QWidget *strip, QWidget *modeFrame);
    void followSession();
    void drawAll();
    void drawRows();
    void reduceTraces();
    void setChannels(int channels);
    // The axes' ranges from the lists; the caller replots.
    void applyXLength();
    void applyYRange(bool voltage);
    void applyVisibility();
    bool traceShown(int k) const;
    void placeCursor(int k);
    void hideCursors();
    void updateReadouts(int k);
    int cursorRow(const QCPItemTracer &c) const;
    double cursorValue(int k, int row) const;
    int selectedTrace() const;
    void fillRecordList(QListWidget *list);
    // The saved record picked in `list` (the plot shown again); nothing, and told, when it
    // is gone or the store fails.
    std::optional<RecordInfo> pickedRecord(QListWidget *list, int listRow);
    void showList(QWidget *front);
    void storeFailed(const StoreError &error);
    void plotPressed(QMouseEvent *event);
    void plotMoved(QMouseEvent *event);
    void resetView();
    void showCaption();

    RecordingSession &m_session;
    const SampleBuffer &m_buffer;
    GraphHost &m_host;
    int m_channels = 1;
    int m_slice = 1;
    int m_dragged = 0;  // the cursor a drag moves (0: none)
    // What the traces were last reduced for: first sample and end of the view, columns,
    // channels, slice; and the end of the samples held then.
    std::array<int, 5> m_reducedFor{};
    int m_reducedEnd = 0;

    QCustomPlot *m_plot;
    std::array<QCPGraph *, Traces> m_traces{};
    std::array<QCPItemTracer *, Traces> m_cursors{};
    std::array<QCheckBox *, Traces> m_boxes{};
    std::array<TraceSwatch *, Traces> m_legend{};
    QLineEdit *m_txtChannels;
    QStackedWidget *m_stack;
    QListWidget *m_list1;
    QListWidget *m_list2;
    QPushButton *m_start;
    QComboBox *m_xLength;
    QComboBox *m_yVoltage;
    QComboBox *m_yCurrent;
    QListWidget *m_stats;
    QSlider *m_mode;
    QGroupBox *m_cursorFrame;
    QListWidget *m_channelList;
    QLabel *m_xPos;
    QLabel *m_yPos;
    QLabel *m_period;
    QLabel *m_amplitude;
    QLabel *m_energy;  // energy and charge between the measurement cursors
    GraphPower *m_power;
};
