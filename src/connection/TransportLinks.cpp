#include "connection/TransportLinks.h"

#include "link/transport/LinuxGpibBoard.h"
#include "link/transport/SerialTransport.h"

std::unique_ptr<SerialIo> TransportLinks::openSerial(const QString &port, int baud, QString *error)
{
    auto link = std::make_unique<SerialTransport>();
    if (!link->open(port, baud) && error)
        *error = link->errorString();
    return link;
}

void TransportLinks::close(SerialIo &link)
{
    static_cast<SerialTransport &>(link).close();
}

std::unique_ptr<GpibBoard> TransportLinks::openGpib(int board, int address, QString *error)
{
    std::unique_ptr<GpibBoard> bus = std::make_unique<LinuxGpibBoard>();
    bus->setBoard(board);
    bus->setPrimaryAddress(address);
    if (!bus->configure() && error)
        *error = bus->errorString();
    return bus;
}
