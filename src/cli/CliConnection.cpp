#include "cli/CliConnection.h"

#include "connection/CommTypes.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "sim/SimulatedLink.h"

namespace {
constexpr int IdleCheckMs = 20;
}

CliConnection::CliConnection(const CliOptions &options, QObject *parent)
    : QObject(parent), m_options(options),
      m_connection(std::make_unique<SupplyConnection>(static_cast<ConnectionView &>(*this), m_machineTypes,
                                                    static_cast<InterfaceChooser &>(*this), &m_links))
{
    m_idleTimer.setInterval(IdleCheckMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &CliConnection::checkIdle);
}

CliConnection::~CliConnection()
{
    close();
}

void CliConnection::start()
{
    if (!m_options.simulate.isEmpty()) {
        m_simulated = std::make_unique<sim::SimulatedLink>();
        QString error;
        if (!m_simulated->start(m_options.simulate, &error)) {
            emit failed(ExitCode::Usage, error);
            return;
        }
    }
    const auto serial = chooseSerial(true, QString());
    if (!serial) {
        emit failed(ExitCode::Usage, QStringLiteral("no port given and none remembered: use --port PATH or --simulate"));
        return;
    }
    m_port = serial->port;
    // A port that cannot be opened is told by the connection, which then stays idle.
    m_connection->Setup(CommTypes::RS232, QString(), true);
    if (!m_connection->running() && m_connection->mainFormState() == 0)
        emit failed(ExitCode::Link, QString());
}

void CliConnection::close()
{
    if (m_closing)
        return;
    m_closing = true;
    m_idleTimer.stop();
    m_connection->shutDown();
    if (m_simulated)
        m_simulated->stop();
}

std::optional<InterfaceChooser::Serial> CliConnection::chooseSerial(bool, const QString &)
{
    if (m_simulated)
        return Serial{m_simulated->portName(), 115200};
    QString port = m_options.port;
    int baud = m_options.baud;
    if (port.isEmpty()) {
        // The port the desktop program last connected to.
        port = SettingsStore::read(SettingKeys::ComPort).trimmed();
        if (port.isEmpty() || (!port.contains(QLatin1Char('/')) && port.toInt() > 0))
            return std::nullopt;
        if (!port.contains(QLatin1Char('/')))
            port.prepend(QStringLiteral("/dev/"));
        if (baud <= 0)
            baud = SettingsStore::readInt(SettingKeys::BaudRate);
    }
    return Serial{port, baud > 0 ? baud : 9600};
}

bool CliConnection::listMachineTypes()
{
    return m_machineTypes.find(m_connection->machineType()).has_value();
}

bool CliConnection::showSupply(Supply &supply)
{
    connect(&supply, &Supply::outputChanged, m_connection.get(), &SupplyConnection::CheckOutput);
    return true;
}

void CliConnection::supplyReady()
{
    if (Supply *s = supply())
        emit ready(*s);
}

void CliConnection::connectionReset()
{
    m_idleTimer.stop();
    m_whenIdle = nullptr;
    if (!m_closing)
        emit failed(ExitCode::Link, QString());
}

void CliConnection::whenIdle(std::function<void()> then)
{
    m_whenIdle = std::move(then);
    m_idleTimer.start();
}

void CliConnection::checkIdle()
{
    if (!m_connection->engine().isIdle())
        return;
    m_idleTimer.stop();
    if (const auto then = std::exchange(m_whenIdle, nullptr))
        then();
}
