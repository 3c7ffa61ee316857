#pragma once

#include "FakePanelHost.h"
#include "link/CommTasker.h"
#include "panels/frmLayout1.h"
#include "sim/PtySupplyServer.h"
#include "sim/VirtualSupply.h"

#include <QStringList>
#include <memory>

class SerialTransport;

// The panel of layout 1 wired as in the program: the real engine and serial transport on a
// pseudo-terminal served by a virtual supply, with a reduced main window as its host.
class PanelRig
{
public:
    PanelRig();
    ~PanelRig();

    // Starts the supply of `type`, opens the link at `baud` and creates the panel with its
    // layout set up. False with a reason in `error`.
    bool start(const QString &type = QStringLiteral("XPP-3202"), int baud = 9600);
    // The same against a supply served elsewhere (another process) at `port`; supply() and
    // the line log are then unavailable.
    bool attach(const QString &port, const QString &type, int baud = 9600);
    // A new panel (after a locale change, for instance); the old one is closed.
    void recreatePanel();

    sim::VirtualSupply &supply() { return *m_supply; }
    FakePanelHost &host() { return *m_host; }
    CommTasker &engine() { return m_engine; }
    frmLayout1 &panel() { return *m_panel; }

    // Number of lines the supply has received so far.
    int mark() const { return int(m_supply->receivedLines().size()); }
    // Lines received since `mark`; with `commandsOnly`, only those that are not queries.
    QStringList linesSince(int mark, bool commandsOnly = false) const;
    // True when the line has been received since `mark`.
    bool received(int mark, const QString &line) const { return linesSince(mark).contains(line); }

    template<class T>
    T *find(const QString &name) const { return m_panel->findChild<T *>(name); }

    QString error;

private:
    bool openLink(const QString &port, const QString &type, int baud);

    std::unique_ptr<sim::VirtualSupply> m_supply;
    std::unique_ptr<sim::PtySupplyServer> m_server;
    CommTasker m_engine;
    std::unique_ptr<SerialTransport> m_link;
    std::unique_ptr<FakePanelHost> m_host;
    std::unique_ptr<frmLayout1> m_panel;
};
