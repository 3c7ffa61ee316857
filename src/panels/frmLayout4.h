#pragma once

#include "panels/ChannelPanel.h"

// The four-channel panel of layout 4: short commands; readings and set points polled through
// the engine's four-channel query (answers reduced to "##0.000"); fixed maxima for channels
// 3 and 4; a coupling change acts only when the mode really changes and switches the output
// off; Recall switches the output off.
class frmLayout4 : public ChannelPanel
{
    Q_OBJECT
public:
    explicit frmLayout4(PanelHost &host, QWidget *parent = nullptr);

    int layoutNumber() const override { return 4; }
    // The coupling in force as the panel knows it: 0 independent, 1 tracking, 2 parallel.
    int modeNumber() const { return m_mode; }

    void QuerySetValues() override;

protected:
    Commands::Dialect dialect() const override { return Commands::DialectShort; }
    QString wireValue(double value) const override;
    void queueInitialQueries() override;
    bool queueCycleQuery(const QString &query, QObject *target) override;
    bool usesPerChannelRows() const override { return false; }
    void adjustLimits() override;
    void runModeAction(Commands::Coupling mode) override;
    void afterRecallClicked() override;

private:
    int m_mode = Commands::CouplingIndependent;
};
