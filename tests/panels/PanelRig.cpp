#include "PanelRig.h"

#include "link/Commands.h"
#include "link/GpibBoard.h"
#include "link/SerialIo.h"

// Until the serial transport is in: a link that hands lines straight to the supply.
class SerialTransport : public SerialIo
{
public:
    explicit SerialTransport(sim::VirtualSupply &s) : m_s(s) {}
    void serialWrite(const QString &line) override
    {
        QString l = line;
        m_s.handleLine(l.replace(QLatin1Char(','), QLatin1Char('.')));
    }
    QString serialQuery(const QString &line) override
    {
        const std::optional<QString> a = m_s.handleLine(line);
        return a ? *a + QLatin1Char('\n') : QString();
    }

private:
    sim::VirtualSupply &m_s;
};

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
    m_link = std::make_unique<SerialTransport>(*m_supply);
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
