#pragma once

#include <QString>
#include <QWidget>

class PanelHost;
class Supply;

// A front panel: a view of one `Supply`. It shows what the supply reported and hands what
// the user does to the supply; the dialogs of the memory and auto-run buttons belong to the
// main window (PanelHost).
class FrontPanel : public QWidget
{
    Q_OBJECT
public:
    FrontPanel(PanelHost &host, Supply &supply, QWidget *parent = nullptr);
    ~FrontPanel() override;

    virtual int layoutNumber() const = 0;
    int channelCount() const;
    Supply &supply() const { return m_supply; }

    // Shows the supply's limits and first values and the interface line.
    virtual void SetupLayout() {}

protected:
    PanelHost &host() const { return m_host; }

private:
    PanelHost &m_host;
    Supply &m_supply;
};
