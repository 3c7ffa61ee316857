#include "supply/SupplyPlan.h"

using Commands::Query;

namespace {

QList<PlannedQuery> perChannel(Query q, int from, int to)
{
    QList<PlannedQuery> out;
    for (int ch = from; ch <= to; ++ch)
        out.append({q, ch});
    return out;
}

// Voltage set points of channels from..to, then their current set points.
QList<PlannedQuery> setPoints(int from, int to)
{
    return perChannel(Query::SetVolt, from, to) + perChannel(Query::SetCurr, from, to);
}

// Voltage and current of each channel in turn.
QList<PlannedQuery> readings(int from, int to)
{
    QList<PlannedQuery> out;
    for (int ch = from; ch <= to; ++ch)
        out << PlannedQuery{Query::MeasVolt, ch} << PlannedQuery{Query::MeasCurr, ch};
    return out;
}

} // namespace

int channelCountOfLayout(int layout)
{
    switch (layout) {
    case 1: return 3;
    case 2: return 1;
    case 3: return 2;
    case 4: return 4;
    default: return 0;
    }
}

SupplyPlan SupplyPlan::of(int layout, const QString &machineType)
{
    SupplyPlan p;
    p.layout = layout;
    p.channels = channelCountOfLayout(layout);
    switch (layout) {
    case 1:
        p.dialect = Commands::DialectChannelScpi;
        p.readsMemoryDisplays = true;
        p.initial = {{Query::AutoStart}, {Query::AutoEnd}, {Query::AutoCycle}, {Query::AutoDelay},
                     {Query::Memory}};
        p.initial << perChannel(Query::Ovp, 1, 3)
                  << QList<PlannedQuery>{{Query::OutputStatus}, {Query::TrackStatus}, {Query::AutoState}}
                  << perChannel(Query::Ocp, 1, 3) << setPoints(1, 3) << readings(1, 3);
        // Measured V1, I1, V2, I2, V3, I3, the status word, then the set points; channel 3's
        // current set point is read only initially and after a mode change.
        p.cycle = readings(1, 3);
        p.cycle << PlannedQuery{Query::Status} << perChannel(Query::SetVolt, 1, 3)
                << perChannel(Query::SetCurr, 1, 2);
        break;
    case 2:
        p.dialect = machineType.contains(QLatin1String("KRX"), Qt::CaseInsensitive)
            ? Commands::DialectPlainScpi
            : Commands::DialectChannelScpi;
        p.readsUnitSetting = p.dialect == Commands::DialectPlainScpi;
        p.wirePattern = QStringLiteral("###0.######");
        p.queryWrap = 3000;
        p.queriesPerCycle = 3;
        p.initialReadings = false;
        p.clearsReadingsOnUnlock = false;
        p.acceptsEditsAtStart = false;
        p.initial = {{Query::Ovp, 1}, {Query::OutputStatus}, {Query::Ocp, 1}};
        p.initial << setPoints(1, 1) << readings(1, 1);
        p.cycle = readings(1, 1);
        p.cycle << PlannedQuery{Query::Error};
        break;
    case 3:
        p.dialect = Commands::DialectShort;
        p.perChannelRows = false;
        p.clearsReadingsOnOutputSwitch = false;
        // The status word last: it tells the mode and whether the output is on.
        p.initial = setPoints(1, 2) + readings(1, 2);
        p.initial << PlannedQuery{Query::Status};
        p.cycle = readings(1, 2);
        break;
    case 4:
        p.dialect = Commands::DialectShort;
        p.perChannelRows = false;
        p.wirePattern = QStringLiteral("###0.0##");
        p.quadReadings = true;
        // Channels 3 and 4 of the four-channel supply have fixed ranges (10 V / 3 A, 5 V /
        // 1 A); the editors allow one step of 0.001 above them.
        p.fixedMaxima = {{2, 10.001, 3.001}, {3, 5.001, 1.001}};
        p.couplingSwitchesOutputOff = true;
        p.setPointsByPairs = true;
        p.initial = setPoints(1, 4) + readings(1, 4);
        p.initial << PlannedQuery{Query::Status};
        p.cycle = readings(1, 2) + setPoints(1, 2);
        p.cycle << PlannedQuery{Query::Status};
        p.cycle << readings(3, 4) << setPoints(3, 4);
        break;
    default:
        p.channels = 0;
        break;
    }
    return p;
}
