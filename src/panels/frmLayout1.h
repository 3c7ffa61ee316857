#pragma once

#include "panels/ChannelPanel.h"

// The three-channel panel of layout 1: channel-prefixed SCPI, OVP and OCP per channel, auto
// run with its range and delay, memory.
class frmLayout1 : public ChannelPanel
{
    Q_OBJECT
public:
    explicit frmLayout1(PanelHost &host, QWidget *parent = nullptr);

    int layoutNumber() const override { return 1; }

protected:
    Commands::Dialect dialect() const override { return Commands::DialectChannelScpi; }
    void queueInitialQueries() override;
    bool readsMemoryDisplays() const override { return true; }
};
