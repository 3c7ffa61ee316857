#pragma once

#include "cli/CliOptions.h"
#include "connection/LinkInterfaces.h"
#include "connection/MachineTypeSource.h"
#include "connection/SupplyConnection.h"
#include "connection/TransportLinks.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace sim {
class SimulatedLink;
}

// The connection of one zepctl run: the port from the options (or the remembered one, or
// the built-in virtual supply), identification and the initial values exactly as the
// desktop program reads them, then `ready`. A link that fails or times out at any time ends
// in `failed`; the engine's messages have been printed by then.
class CliConnection : public QObject, private ConnectionView, private InterfaceChooser
{
    Q_OBJECT
public:
    explicit CliConnection(const CliOptions &options, QObject *parent = nullptr);
    ~CliConnection() override;

    // Opens the link and identifies the supply; returns at once.
    void start();
    // Switches the link off for good (the run ends).
    void close();

    SupplyConnection &connection() { return *m_connection; }
    Supply *supply() const { return m_connection->supply(); }
    // The serial port used.
    QString portName() const { return m_port; }
    // Runs `then` once the engine has sent everything queued and every answer is in.
    void whenIdle(std::function<void()> then);

signals:
    void ready(Supply &supply);
    // --dry-run: a line the command sent, which only the built-in virtual supply received.
    void sentLine(const QString &line);
    void failed(ExitCode code, const QString &message);

private:
    // --- ConnectionView
    void identificationStarted() override {}
    void identificationEnded() override {}
    bool listMachineTypes() override;
    bool showSupply(Supply &supply) override;
    void supplyReady() override;
    void startInitialValuesDialog() override {}
    void stopInitialValuesDialog() override {}
    void connectionReset() override;
    void showStatusText(const QString &) override {}
    void ReportStatus(const QString &, int) override {}
    void trace(const QString &) override {}
    // --- InterfaceChooser: the options decide
    std::optional<Serial> chooseSerial(bool isDirect, const QString &caption) override;
    std::optional<Gpib> chooseGpib(bool) override;

    void checkIdle();
    // The type --dry-run simulates: --type, --simulate's, or the one last connected.
    QString dryRunType() const;
    bool startSimulated(const QString &type);

    CliOptions m_options;
    CatalogueMachineTypes m_machineTypes;
    TransportLinks m_links;
    std::unique_ptr<sim::SimulatedLink> m_simulated;
    std::unique_ptr<SupplyConnection> m_connection;
    QString m_port;
    bool m_closing = false;
    bool m_passLines = false;
    QTimer m_idleTimer;
    std::function<void()> m_whenIdle;
};
