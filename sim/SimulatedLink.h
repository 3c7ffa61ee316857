#pragma once

#include <QString>
#include <memory>

class QTemporaryDir;

namespace sim {

class PtySupplyServer;
class VirtualSupply;

// A virtual supply of one catalogue type served on a pseudo-terminal under a link of this
// run's own (so a lock another program left on a terminal's number cannot stand in the
// way): what "--simulate" starts for the program and for the command line.
class SimulatedLink
{
public:
    SimulatedLink();
    ~SimulatedLink();

    // Starts the supply of `type`; false with `error` set when there is no such type or the
    // terminal cannot be opened.
    bool start(const QString &type, QString *error);
    void stop();
    // The serial port to open.
    QString portName() const;
    VirtualSupply *supply() const { return m_supply.get(); }
    PtySupplyServer *server() const { return m_server.get(); }

private:
    std::unique_ptr<VirtualSupply> m_supply;
    std::unique_ptr<QTemporaryDir> m_dir;  // outlives the server and its link
    std::unique_ptr<PtySupplyServer> m_server;
};

} // namespace sim
