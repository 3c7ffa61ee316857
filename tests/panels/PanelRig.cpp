#include "PanelRig.h"

#include "link/Commands.h"
#include "link/GpibBoard.h"
#include "link/SerialIo.h"
#include "link/transport/SerialTransport.h"

PanelRig::PanelRig() = default;

PanelRig::~PanelRig()
{
    m_panel.reset();
    m_engine.setSerialIo(nullptr);
    m_link.reset();
    if (m_server)
        m_server->stop();
}

bool PanelRig::start(const QString &type, int baud)
{
    m_supply = sim::VirtualSupply::create(type);
    if (!m_supply) {
        error = QStringLiteral("unknown type ") + type;
        return false;
    }
    m_server = std::make_unique<sim::PtySupplyServer>(*m_supply);
    if (!m_server->start()) {
        error = m_server->errorString();
        return false;
    }
    return openLink(m_server->portName(), type, baud);
}

bool PanelRig::attach(const QString &port, const QString &type, int baud)
{
    return openLink(port, type, baud);
}

bool PanelRig::openLink(const QString &port, const QString &type, int baud)
{
    m_link = std::make_unique<SerialTransport>();
    if (!m_link->open(port, baud)) {
        error = m_link->errorString();
        return false;
    }
    m_engine.setSerialIo(m_link.get());
    m_engine.CommType = QStringLiteral("RS232");
    Commands::InitCommands(Commands::dialectFor(type));
    m_host = std::make_unique<FakePanelHost>(m_engine);
    m_host->machineType = type;
    m_host->baud = baud;
    recreatePanel();
    return true;
}

void PanelRig::recreatePanel()
{
    m_panel.reset();
    m_panel = std::make_unique<frmLayout1>(*m_host);
    m_host->setPanel(m_panel.get());
    m_panel->SetupLayout();
}

QStringList PanelRig::linesSince(int mark, bool commandsOnly) const
{
    QStringList out = m_supply->receivedLines().mid(mark);
    if (commandsOnly)
        out.removeIf([](const QString &l) { return l.contains(QLatin1Char('?')); });
    return out;
}
