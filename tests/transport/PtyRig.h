#pragma once

#include "link/transport/SerialTransport.h"
#include "sim/PtySupplyServer.h"
#include "sim/VirtualSupply.h"

#include <QTemporaryDir>
#include <QTest>
#include <memory>

// A virtual supply of one type on a pseudo-terminal behind a link in a private folder, and
// the program's serial transport opened on it.
struct PtyRig {
    explicit PtyRig(const QString &type, int baud = 9600)
        : supply(sim::VirtualSupply::create(type))
        , server(*supply)
    {
        ok = supply && dir.isValid() && server.start(dir.filePath(QStringLiteral("link")))
             && transport.open(server.portName(), baud);
    }

    QTemporaryDir dir;
    std::unique_ptr<sim::VirtualSupply> supply;
    sim::PtySupplyServer server;
    SerialTransport transport;
    bool ok = false;
};
