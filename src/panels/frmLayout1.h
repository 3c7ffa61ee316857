#pragma once

#include "panels/ChannelPanel.h"

// The three-channel panel of layout 1: channel-prefixed SCPI, OVP and OCP per channel, auto
// run with its range and delay, memory.
class frmLayout1 : public ChannelPanel
{
    Q_OBJECT
public:
    frmLayout1(PanelHost &host, Supply &supply, QWidget *parent = nullptr);

    int layoutNumber() const override { return 1; }
};
