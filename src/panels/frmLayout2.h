#pragma once

#include "panels/ChannelPanel.h"

#include <optional>

// The one-channel panel of layout 2: OVP and OCP; the parallel/series frame with the
// multi-unit setting, usable once the user has agreed to the warning; the readouts are kept
// when the controls are re-enabled.
class frmLayout2 : public ChannelPanel
{
    Q_OBJECT
public:
    frmLayout2(PanelHost &host, Supply &supply, QWidget *parent = nullptr);

    int layoutNumber() const override { return 2; }

    // Shown before the first parallel or series operation of this panel.
    static QString warningText();

protected:
    QList<QWidget *> parallelLocked() const override;
    QList<QWidget *> trackLocked() const override;
    void couplingClicked(Commands::Coupling mode) override;

private:
    bool isPlainScpi() const;
    void showUnitSetting(int units);
    void onSetChanged(double value);
    void applyCoupling(Commands::Coupling mode);

    NumEdit *m_numSet = nullptr;
    bool m_warning = true;  // until the user has agreed once
    bool m_showingSetting = false;  // while the supply's own setting is written into numSet
    // A parallel or series choice waiting for the supply's configuration to be read.
    std::optional<Commands::Coupling> m_pending;
};
