#pragma once

#include <QString>
#include <QStringList>

// Which entries of the port and baud lists the RS232 dialog selects from the stored settings.
// Ports come and go (USB adapters), so a stored list position may point at another port than
// the one remembered: the remembered name wins whenever that port is listed or its device
// exists; the position is used only when no name is remembered. A remembered port that is
// gone selects nothing, so OK cannot silently open a different port.
struct PortChoice {
    int index = -1;          // list position to select, -1 for none
    bool appendName = false; // the remembered name must be added to the list first (at `index`)
    QString text;            // what the port field shows

    static PortChoice choose(const QStringList &ports, const QString &storedName, int storedIndex);

    // The baud position: the stored rate when listed, else the stored position when it
    // exists, else the first entry.
    static int chooseBaud(const QStringList &bauds, int storedRate, int storedIndex);

    // True when `name` may be used: it is listed or its device exists.
    static bool usable(const QStringList &ports, const QString &name);
};
