#include "cli/CliConnection.h"

#include "connection/CommTypes.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "sim/PtySupplyServer.h"
#include "sim/SimulatedLink.h"
#include "sim/VirtualSupply.h"

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
    if (m_options.dryRun) {
        if (!startSimulated(dryRunType()))
            return;
        connect(m_simulated->server(), &sim::PtySupplyServer::lineReceived, this, [this](const QString &line) {
            if (m_passLines)
                emit sentLine(line);
        });
    } else if (!m_options.simulate.isEmpty()) {
        if (!startSimulated(m_options.simulate))
            return;
        // A supply is logged while its output is on: the virtual one starts so, for log to be
        // tried.
        if (m_options.command == QLatin1String("log"))
            m_simulated->supply()->setOutput(true);
    }
    if (!m_options.type.isEmpty() && !m_options.dryRun) {
        if (!m_machineTypes.find(m_options.type)) {
            emit failed(ExitCode::Usage, QStringLiteral("--type: %1 is no known machine type").arg(m_options.type));
            return;
        }
        m_connection->setKnownType(m_options.type);
    }
    if (m_options.gpibBoard >= 0 && !m_options.dryRun) {
        m_port = QStringLiteral("GPIB%1::%2").arg(m_options.gpibBoard).arg(m_options.gpibAddress);
        // A board that cannot be used is told by the connection, which then stays idle.
        m_connection->Setup(CommTypes::GPIB, QString(), true);
    } else {
        const auto serial = chooseSerial(true, QString());
        if (!serial) {
            emit failed(ExitCode::Usage, QStringLiteral("no port given and none remembered: use --port PATH, --gpib BOARD:ADDRESS or --simulate"));
            return;
        }
        m_port = serial->port;
        // A port that cannot be opened is told by the connection, which then stays idle.
        m_connection->Setup(CommTypes::RS232, QString(), true);
    }
    if (!m_connection->running() && m_connection->mainFormState() == 0)
        emit failed(ExitCode::Link, QString());
}

QString CliConnection::dryRunType() const
{
    if (!m_options.type.isEmpty())
        return m_options.type;
    if (!m_options.simulate.isEmpty())
        return m_options.simulate;
    return SettingsStore::read(SettingKeys::MType).trimmed();
}

bool CliConnection::startSimulated(const QString &type)
{
    if (type.isEmpty()) {
        emit failed(ExitCode::Usage, QStringLiteral("--dry-run needs --type TYPE: no supply type is remembered"));
        return false;
    }
    // The desktop program's remembered supply stays what it was.
    m_connection->setRemembersChoice(false);
    m_simulated = std::make_unique<sim::SimulatedLink>();
    QString error;
    if (!m_simulated->start(type, &error)) {
        emit failed(ExitCode::Usage, error);
        return false;
    }
    return true;
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

std::optional<InterfaceChooser::Gpib> CliConnection::chooseGpib(bool)
{
    return Gpib{m_options.gpibBoard, m_options.gpibAddress};
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
    Supply *s = supply();
    if (!s)
        return;
    if (!m_options.dryRun) {
        emit ready(*s);
        return;
    }
    // What the opening still has queued (a mode the supply reported, say) goes first: the
    // lines shown are the command's own.
    whenIdle([this, s] {
        m_passLines = true;
        emit ready(*s);
    });
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
