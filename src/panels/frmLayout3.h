#pragma once

#include "panels/ChannelPanel.h"

// The two-channel panel of layout 3: short commands, no protection controls, memory; the
// readouts are not cleared by the output toggle.
class frmLayout3 : public ChannelPanel
{
    Q_OBJECT
public:
    frmLayout3(PanelHost &host, Supply &supply, QWidget *parent = nullptr);

    int layoutNumber() const override { return 3; }
};
