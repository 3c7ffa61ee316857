#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class PanelHost;
class QAbstractButton;

// The contract every front-panel layout offers the main window. Operations a layout does not
// have are no-ops here. Answers of the initial queries are delivered by name to the three
// Q_INVOKABLE receivers.
class FrontPanel : public QWidget
{
    Q_OBJECT
public:
    explicit FrontPanel(PanelHost &host, QWidget *parent = nullptr);
    ~FrontPanel() override;

    virtual int layoutNumber() const = 0;
    virtual int channelCount() const = 0;

    // Configure editors from the machine-type table; show the interface line; set the
    // engine's cycle parameters.
    virtual void SetupLayout() {}
    // Queue every initial query and start the busy dialog (PanelHost).
    virtual void QueryInitialValues();
    virtual void AfterQueryInitialValuesBeforeShow() {}
    // Queue the next query of the polling cycle.
    virtual void DoQuery() {}

    virtual void QuerySECMemory() {}
    virtual void QueryMemory() {}
    virtual void QueryDelay() {}

    Q_INVOKABLE virtual void SetupOutputOnOff(const QString &) {}
    Q_INVOKABLE virtual void SetupOutputMode(const QString &) {}
    Q_INVOKABLE virtual void SetupAutoRun(const QString &) {}

    virtual void SetAllEnabled() {}
    virtual void SetAllDisabled() {}
    virtual void SetParallelDisableMode() {}
    virtual void SetTrackDisableMode() {}
    virtual void SetAutoRunDisableMode() {}
    virtual void SetOutputModeEnabled() {}
    virtual void SetOutputOffDisplay() {}

    // Controls the main window sets by value; null where the layout has none.
    virtual QAbstractButton *tbnOutput() const { return nullptr; }
    virtual QAbstractButton *tbnAutoRun() const { return nullptr; }
    virtual QAbstractButton *optIndep() const { return nullptr; }
    virtual QAbstractButton *optParal() const { return nullptr; }
    virtual QAbstractButton *optTrack() const { return nullptr; }

    // What the data windows read: readout texts and the set-point editors' maxima of
    // channel index i (0 = channel 1).
    virtual QString voltageText(int) const { return QString(); }
    virtual QString currentText(int) const { return QString(); }
    virtual double voltageMaximum(int) const { return 0; }
    virtual double currentMaximum(int) const { return 0; }

    bool IsOutput = false;

protected:
    PanelHost &host() const { return m_host; }

private:
    PanelHost &m_host;
};

// The channel count of layout 1..4 (3, 1, 2, 4); 0 for any other number.
int channelCountOfLayout(int layout);
