#pragma once

#include "panels/ChannelPanel.h"

// The one-channel panel of layout 2: plain SCPI for "KRX" machine types, channel-prefixed
// SCPI otherwise; OVP and OCP; the parallel/series frame with the multi-unit setting; the
// error queue in the polling cycle. Edits are sent only once the supply's set points are
// shown, and the readouts are kept when the controls are re-enabled.
class frmLayout2 : public ChannelPanel
{
    Q_OBJECT
public:
    explicit frmLayout2(PanelHost &host, QWidget *parent = nullptr);

    int layoutNumber() const override { return 2; }

    // Shown before the first parallel or series operation of this panel.
    static QString warningText();

protected:
    Commands::Dialect dialect() const override;
    QString wireValue(double value) const override;
    int queryWrap() const override { return 3000; }
    int queriesPerCycle() const override { return 3; }
    void queueInitialQueries() override;
    bool writesInitialReadouts() const override { return false; }
    bool clearsReadoutsOnEnableAll() const override { return false; }
    QList<QWidget *> parallelLocked() const override;
    QList<QWidget *> trackLocked() const override;
    void runModeAction(Commands::Coupling mode) override;

private:
    bool isPlainScpi() const;
    void onSetsAnswered();
    void onSetChanged(double value);

    NumEdit *m_numSet = nullptr;
    TextBox *m_txtSets = nullptr;
    bool m_warning = true;  // until the user has agreed once
};
