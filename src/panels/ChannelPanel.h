#pragma once

#include "link/Commands.h"
#include "panels/FrontPanel.h"

#include <QList>
#include <QString>
#include <QVector>

class NumEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TextBox;

// What the four front-panel layouts share: the channel controls, the response slots and their
// parsing, set-point and protection commands, the polling cycle, the enable sets and the
// receivers of the initial query. A layout builds the controls it has (the builders below
// give them their names), fills its polling cycle and answers the hooks where it differs.
//
// Control names: a control of a per-channel array is named with its index appended after an
// underscore, index 0 being channel 1: "txtVoltage_0", "numVoltage_2", "Frame1_1".
class ChannelPanel : public FrontPanel
{
    Q_OBJECT
public:
    ChannelPanel(PanelHost &host, int channels, QWidget *parent = nullptr);
    ~ChannelPanel() override;

    int channelCount() const override { return int(m_ch.size()); }

    void SetupLayout() override;
    void QueryInitialValues() override;
    void AfterQueryInitialValuesBeforeShow() override;
    void DoQuery() override;

    void QuerySECMemory() override;
    void QueryMemory() override;
    void QueryDelay() override;
    // Set points of every channel, after the status word showed a new coupling mode.
    virtual void QuerySetValues();

    Q_INVOKABLE void SetupOutputOnOff(const QString &answer) override;
    Q_INVOKABLE void SetupOutputMode(const QString &answer) override;
    Q_INVOKABLE void SetupAutoRun(const QString &answer) override;

    void SetAllEnabled() override;
    void SetAllDisabled() override;
    void SetParallelDisableMode() override;
    void SetTrackDisableMode() override;
    void SetAutoRunDisableMode() override;
    void SetOutputModeEnabled() override;
    void SetOutputOffDisplay() override;

    QAbstractButton *tbnOutput() const override;
    QAbstractButton *tbnAutoRun() const override;
    QAbstractButton *optIndep() const override;
    QAbstractButton *optParal() const override;
    QAbstractButton *optTrack() const override;

    QString voltageText(int i) const override;
    QString currentText(int i) const override;
    double voltageMaximum(int i) const override;
    double currentMaximum(int i) const override;

    // Read-back guard: false while a read-back writes an editor, so that what the supply
    // reported is never sent back to it. A set-point read-back leaves it true, so a layout
    // that starts with it false sends edits only once the supply's set points are shown.
    bool AcceptEdits = true;
    // Position in the polling cycle.
    int QueryIndex = 0;

protected:
    struct Channel {
        QGroupBox *Frame1 = nullptr;
        TextBox *txtVoltage = nullptr;
        TextBox *txtCurrent = nullptr;
        NumEdit *numVoltage = nullptr;
        NumEdit *numCurrent = nullptr;
        NumEdit *numOVP = nullptr;
        QPushButton *tbnOCP = nullptr;
        TextBox *txtSetVolt = nullptr;
        TextBox *txtSetCurr = nullptr;
        TextBox *txtOVP = nullptr;
        TextBox *txtOCP = nullptr;
        // The readings as answered (the readouts may show them shortened to fit) and the
        // shortened text each readout was last given.
        QString voltageReading, currentReading;
        QString voltageShown, currentShown;
    };
    // One step of the polling cycle: the query-table entry (read when queued, so that it is
    // the identified dialect's) and the field the answer goes to.
    struct Step {
        const QString *query;
        TextBox *target;
    };

    // --- builders: create the named controls and wire them ---
    // Channel frame with readouts, set-point editors and, with `protection`, OVP and OCP.
    // The hidden response slots of the channel are made as well.
    QGroupBox *buildChannelFrame(int i, const QString &caption, bool protection);
    QGroupBox *buildModeFrame(const QString &caption, const QString &indep, const QString &paral,
                              const QString &track);
    QPushButton *buildOutputButton();
    QPushButton *buildAutoRunButton();
    QPushButton *buildClearErrorButton();
    QGroupBox *buildAutoModeFrame();
    QGroupBox *buildDelayFrame();
    QGroupBox *buildMemoryFrame();
    TextBox *buildCommTypeLine();
    // The face of the short-dialect panels: every channel frame (no protection controls) in
    // rows of `columns`, then the "Out Mode" options, the output toggle and the memory frame,
    // then the interface line.
    void buildShortDialectFace(int columns);

    // --- hooks ---
    // Dialect of the panel's own commands.
    virtual Commands::Dialect dialect() const = 0;
    // A set point or OVP level as written on the wire.
    virtual QString wireValue(double value) const;
    virtual int queryWrap() const { return 7000; }
    virtual int queriesPerCycle() const { return 7; }
    // Queues the initial queries (the busy dialog follows).
    virtual void queueInitialQueries() = 0;
    // Queues one step of the polling cycle; true when queued.
    virtual bool queueCycleQuery(const QString &query, QObject *target);
    // Limits of each channel from the model's own row, or per-channel rows when the model
    // has them.
    virtual bool usesPerChannelRows() const { return true; }
    // Fixed limits a layout imposes after the model rows are applied.
    virtual void adjustLimits() {}
    // Whether SetupLayout writes 0 in the editor format into the readouts.
    virtual bool writesInitialReadouts() const { return true; }
    // Whether SetAllEnabled, and a click on the output toggle, clear the readouts.
    virtual bool clearsReadoutsOnEnableAll() const { return true; }
    virtual bool clearsReadoutsOnOutputToggle() const { return true; }
    // The controls parallel and tracking mode lock.
    virtual QList<QWidget *> parallelLocked() const;
    virtual QList<QWidget *> trackLocked() const;
    // The mode option's click action (the main window's mode action). An option never
    // selects itself: it shows the mode the main window applied, so a refused or cancelled
    // change leaves the previous choice selected.
    virtual void runModeAction(Commands::Coupling mode);
    // Whether the memory, auto-run range and delay displays are read from the supply.
    virtual bool readsMemoryDisplays() const { return false; }
    // Runs after the Recall button has called the main window's recall action.
    virtual void afterRecallClicked() {}

    // --- helpers for layouts ---
    bool queueQuery(const QString &query, QObject *target);
    bool queueReceiver(const QString &query, const char *method);
    void queueCommand(const QString &command);
    // Voltage set points of channel indexes from..to-1, then their current set points.
    void queueSetPointQueries(int from, int to);
    void queueSetPointQueries() { queueSetPointQueries(0, channelCount()); }
    void queueMeasurements();
    bool canWrite() const;

    QVector<Channel> m_ch;
    QVector<Step> m_cycle;

    TextBox *m_txtStatus = nullptr;
    TextBox *m_txtError = nullptr;
    QRadioButton *m_optIndep = nullptr;
    QRadioButton *m_optParal = nullptr;
    QRadioButton *m_optTrack = nullptr;
    QPushButton *m_tbnOutput = nullptr;
    QPushButton *m_tbnAutoRun = nullptr;
    QPushButton *m_btnClearErrorOfProtection = nullptr;
    TextBox *m_txtStartMemory = nullptr;
    TextBox *m_txtEndMemory = nullptr;
    TextBox *m_txtCycle = nullptr;
    TextBox *m_txtDelay = nullptr;
    TextBox *m_txtMemory = nullptr;
    TextBox *m_txtCommType = nullptr;

private:
    enum class Quantity { Voltage, Current, Ovp };

    TextBox *makeTextBox(const QString &name, bool hidden);
    NumEdit *makeEditor(const QString &name, Quantity q, int i);
    TextBox *makeDisplay(const QString &name);
    QPushButton *makeButton(const QString &name, const QString &caption, bool toggle);
    void registerControl(QWidget *w) { m_controls.append(w); }

    void onReadoutChanged(int i, bool voltage);
    static QString fitReadout(const TextBox &t, const QString &reading, QChar decimalPoint);
    void onSetPointReadBack(int i, Quantity q);
    void onOcpReadBack(int i);
    void onEditorChanged(Quantity q, int i, double value, double previous);
    void onOcpClicked(int i);
    void onStatusChanged();
    void onErrorChanged();
    void reportAboveMaximum(Quantity q, int i);
    void writeEditor(NumEdit *editor, double value);
    NumEdit *editor(Quantity q, int i) const;

    QList<QWidget *> m_controls; // every control with an enabled state that the enable sets touch
};
