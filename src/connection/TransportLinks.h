#pragma once

#include "connection/LinkInterfaces.h"

// The real links: the serial transport (RS232 and USB serial ports) and the system's GPIB
// board.
class TransportLinks : public LinkOpener
{
public:
    std::unique_ptr<SerialIo> openSerial(const QString &port, int baud, QString *error) override;
    void close(SerialIo &link) override;
    std::unique_ptr<GpibBoard> openGpib(int board, int address, QString *error) override;
};
