#pragma once

#include "link/Commands.h"
#include "panels/FrontPanel.h"
#include "supply/Supply.h"

#include <QList>
#include <QString>
#include <QVector>

class NumEdit;
class QAbstractButton;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TextBox;

// What the four front-panel layouts share: the channel controls, showing the supply's state
// in them, handing the user's edits and clicks to the supply, and the enable sets of the
// coupling modes and auto run. A layout builds the controls it has (the builders below give
// them their names) and answers the hooks where it differs.
//
// Control names: a control of a per-channel array is named with its index appended after an
// underscore, index 0 being channel 1: "txtVoltage_0", "numVoltage_2", "Frame1_1".
class ChannelPanel : public FrontPanel
{
    Q_OBJECT
public:
    ChannelPanel(PanelHost &host, Supply &supply, QWidget *parent = nullptr);
    ~ChannelPanel() override;

    void SetupLayout() override;

protected:
    struct ChannelControls {
        QGroupBox *Frame1 = nullptr;
        TextBox *txtVoltage = nullptr;
        TextBox *txtCurrent = nullptr;
        NumEdit *numVoltage = nullptr;
        NumEdit *numCurrent = nullptr;
        NumEdit *numOVP = nullptr;
        QPushButton *tbnOCP = nullptr;
        QLabel *lblRegulation = nullptr;  // CV or CC while the output is on
    };

    // --- builders: create the named controls and wire them ---
    // Channel frame with readouts, set-point editors and, with `protection`, OVP and OCP.
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
    // The controls parallel and tracking mode lock.
    virtual QList<QWidget *> parallelLocked() const;
    virtual QList<QWidget *> trackLocked() const;
    // A coupling option clicked. An option never selects itself: it shows the mode the
    // supply applied, so a refused or cancelled change leaves the previous choice selected.
    virtual void couplingClicked(Commands::Coupling mode);

    QRadioButton *option(Commands::Coupling mode) const;

    QVector<ChannelControls> m_ch;
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
    using SetPoint = Supply::SetPoint;

    TextBox *makeTextBox(const QString &name);
    NumEdit *makeEditor(const QString &name, SetPoint which, int i);
    TextBox *makeDisplay(const QString &name);
    QPushButton *makeButton(const QString &name, const QString &caption, bool toggle);
    void registerControl(QWidget *w) { m_controls.append(w); }

    // Views of the supply's signals.
    void showReading(int i);
    void showSetPoint(int i, SetPoint which);
    void showOcp(int i);
    void showCoupling(Commands::Coupling mode);
    void showDisplays();
    void showRegulation(int i);
    static QString regulationToolTip();
    void applyEnableSet();
    static QString fitReadout(const TextBox &t, const QString &reading, QChar decimalPoint);

    void onEditorChanged(SetPoint which, int i, double value, double previous);
    void reportAboveMaximum(SetPoint which, int i);
    void writeEditor(NumEdit *editor, double value);
    NumEdit *editor(SetPoint which, int i) const;

    QList<QWidget *> m_controls;  // every control with an enabled state that the enable sets touch
    bool m_showing = false;       // while a value the supply reported is written into an editor
};
