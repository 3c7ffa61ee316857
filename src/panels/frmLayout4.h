#pragma once

#include "panels/ChannelPanel.h"

// The four-channel panel of layout 4: short commands, four channel frames in two rows,
// memory.
class frmLayout4 : public ChannelPanel
{
    Q_OBJECT
public:
    frmLayout4(PanelHost &host, Supply &supply, QWidget *parent = nullptr);

    int layoutNumber() const override { return 4; }
};
