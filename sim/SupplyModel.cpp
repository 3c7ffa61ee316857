#include "sim/SupplyModel.h"

namespace sim {

Dialect dialectForType(const QString &type)
{
    if (type.contains(QLatin1String("ZEP"), Qt::CaseInsensitive))
        return Dialect::Short;
    if (type.contains(QLatin1String("KRX"), Qt::CaseInsensitive))
        return Dialect::PlainScpi;
    return Dialect::ChannelScpi;
}

namespace {

SupplyModel make(const char *type, const char *idn, QList<ChannelModel> channels)
{
    SupplyModel s;
    s.type = QString::fromLatin1(type);
    s.idn = QString::fromLatin1(idn);
    s.dialect = dialectForType(s.type);
    s.channels = std::move(channels);
    s.hasMultiUnit = s.dialect == Dialect::PlainScpi;
    return s;
}

} // namespace

const QList<SupplyModel> &supplyModels()
{
    static const QList<SupplyModel> models{
        make("XPP-3201", "ZENVOLT,XPP-3201,SN00001,V2.01",
             {{32, 1, 33}, {32, 1, 33}, {32, 1, 33}}),
        make("XPP-3202", "ZENVOLT,XPP-3202,SN00002,V2.01",
             {{32, 2, 33}, {32, 2, 33}, {7, 5, 7.5}}),
        make("XPP-1501", "ZENVOLT,XPP-1501,SN00003,V1.10", {{15, 10, 16.5}}),
        make("SPP-KRX20", "ZENVOLT,SPP-KRX2005,SN00004,V1.30", {{20, 5, 22}}),
        make("SPP-KRX72", "ZENVOLT,SPP-KRX7215,SN00005,V1.30", {{72, 1.5, 79}}),
        make("ZEP-2303", "ZENVOLT,ZEP-2303,SN00006,V3.00", {{30, 3, 0}, {30, 3, 0}}),
        make("ZEP-2306", "ZENVOLT,ZEP-2306,SN00007,V3.00", {{30, 6, 0}, {30, 6, 0}}),
        make("ZEP-4303", "ZENVOLT,ZEP-4303,SN00008,V3.10",
             {{30, 3, 0}, {30, 3, 0}, {10, 3, 0}, {5, 1, 0}}),
    };
    return models;
}

std::optional<SupplyModel> modelForType(const QString &type)
{
    for (const SupplyModel &s : supplyModels()) {
        if (s.type.compare(type.trimmed(), Qt::CaseInsensitive) == 0)
            return s;
    }
    return std::nullopt;
}

QStringList supplyTypes()
{
    QStringList types;
    for (const SupplyModel &s : supplyModels())
        types << s.type;
    return types;
}

} // namespace sim
