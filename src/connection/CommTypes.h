#pragma once

#include <QString>

// The values of CommType: how the supply is reached.
namespace CommTypes {
inline const QString RS232 = QStringLiteral("RS232");  // serial line, also USB serial
inline const QString GPIB = QStringLiteral("GPIB");
inline const QString Menu = QStringLiteral("Menu");    // no supply: type chosen from the menu
} // namespace CommTypes
