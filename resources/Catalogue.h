#pragma once

#include <QList>
#include <QString>

// One row of the machine-type table as shipped with the program. The database table `data1`
// holds these fields in this order and the program reads them by position.
struct MachineTypeRow {
    QString mtype;      // 0: name as the identification answer gives it
    bool inMenu;        // 1: offered in the machine-type menu
    int layout;         // 2: front-panel layout 1..4
    bool perChannel;    // 3: each channel has a row of its own, named mtype + "#" + channel
    double vMax;        // 4..6: editor maxima
    double iMax;
    double ovpMax;
    double vStep;       // 7..9: editor increments
    double iStep;
    double ovpStep;
    QString vFormat;    // 10..12: editor format patterns
    QString iFormat;
    QString ovpFormat;
};

namespace Catalogue {

// The rows shipped with the program, in table order.
const QList<MachineTypeRow> &shipped();

} // namespace Catalogue
