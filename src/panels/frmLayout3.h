#pragma once

#include "panels/ChannelPanel.h"

// The two-channel panel of layout 3: short commands, no protection controls, memory; the
// readouts are not cleared by the output toggle.
class frmLayout3 : public ChannelPanel
{
    Q_OBJECT
public:
    explicit frmLayout3(PanelHost &host, QWidget *parent = nullptr);

    int layoutNumber() const override { return 3; }

protected:
    Commands::Dialect dialect() const override { return Commands::DialectShort; }
    void queueInitialQueries() override;
    bool usesPerChannelRows() const override { return false; }
    bool clearsReadoutsOnOutputToggle() const override { return false; }
};
