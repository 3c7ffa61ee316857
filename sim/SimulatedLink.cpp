#include "sim/SimulatedLink.h"

#include "sim/PtySupplyServer.h"
#include "sim/SupplyModel.h"
#include "sim/VirtualSupply.h"

#include <QDir>
#include <QTemporaryDir>

namespace sim {

SimulatedLink::SimulatedLink() = default;

SimulatedLink::~SimulatedLink()
{
    stop();
}

bool SimulatedLink::start(const QString &type, QString *error)
{
    m_supply = VirtualSupply::create(type);
    if (!m_supply) {
        *error = QStringLiteral("no virtual supply of type %1; known types: %2")
                     .arg(type, supplyTypes().join(QStringLiteral(", ")));
        return false;
    }
    m_server = std::make_unique<PtySupplyServer>(*m_supply);
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zep-XXXXXX"));
    if (!m_dir->isValid() || !m_server->start(m_dir->filePath(QStringLiteral("virtual-supply")))) {
        *error = QStringLiteral("cannot start the virtual supply: %1")
                     .arg(m_dir->isValid() ? m_server->errorString() : m_dir->errorString());
        return false;
    }
    return true;
}

void SimulatedLink::stop()
{
    if (m_server)
        m_server->stop();
}

QString SimulatedLink::portName() const
{
    return m_server ? m_server->portName() : QString();
}

} // namespace sim
