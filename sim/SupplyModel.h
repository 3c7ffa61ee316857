#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace sim {

// The command set a supply answers to.
enum class Dialect {
    Short,        // "VOUT1?", "VSET1:5", "STATUS?"
    PlainScpi,    // SCPI without channel prefix: ":MEAS:VOLT?"
    ChannelScpi,  // SCPI with channel prefix: ":CHAN1:MEAS:VOLT?"
};

struct ChannelModel {
    double vMax = 0;
    double iMax = 0;
    double ovpMax = 0;  // 0: the channel has no over-voltage protection
};

// What one model of supply is: its identity, its channels and its command set.
struct SupplyModel {
    QString type;         // machine type as the program's catalogue names it
    QString idn;          // answer to "*IDN?"
    Dialect dialect = Dialect::ChannelScpi;
    QList<ChannelModel> channels;
    bool hasMultiUnit = false;  // answers "SYST:CONF:MSL?"

    int channelCount() const { return int(channels.size()); }
    bool hasProtection() const { return dialect != Dialect::Short; }
};

// The dialect of a machine type, decided as the program decides it: the family word "ZEP"
// first, then "KRX", otherwise the channel-prefixed SCPI dialect (case-insensitive).
Dialect dialectForType(const QString &type);

// Every model the virtual supply can be; lookup is case-insensitive.
const QList<SupplyModel> &supplyModels();
std::optional<SupplyModel> modelForType(const QString &type);
QStringList supplyTypes();

} // namespace sim
