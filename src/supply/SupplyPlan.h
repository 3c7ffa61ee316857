#pragma once

#include "link/Commands.h"

#include <QList>
#include <QString>

// One query of a plan: what is asked and of which channel (1..4; 0 for the whole supply).
struct PlannedQuery {
    Commands::Query query;
    int channel = 0;
};

// How the program talks to the supplies of one front-panel layout: the initial queries in
// order, the polling cycle, and the few rules in which the layouts differ.
struct SupplyPlan {
    int layout = 0;
    int channels = 0;
    // The initial queries, in the order they are sent.
    QList<PlannedQuery> initial;
    // One polling cycle. A status-word step of a dialect without one reads the error queue.
    QList<PlannedQuery> cycle;
    // The cycle position wraps to 0 here; the engine counts this many queries a cycle.
    int queryWrap = 7000;
    int queriesPerCycle = 7;
    // Pattern a set point or OVP level is written in on the wire.
    QString wirePattern = QStringLiteral("###0.###");
    // Readings of the cycle arrive through the engine's four-channel query.
    bool quadReadings = false;
    // Channel limits from per-channel catalogue rows when the model has them.
    bool perChannelRows = true;
    // Readings start as 0 in the editors' format (else empty until the first answer).
    bool initialReadings = true;
    // Lifting the mode locks (a mode change, auto run off) blanks the readings.
    bool clearsReadingsOnUnlock = true;
    // The output switch blanks the readings.
    bool clearsReadingsOnOutputSwitch = true;
    // Memory, auto-run range and delay are read from the supply.
    bool readsMemoryDisplays = false;
    // The supply's multi-unit configuration ("SYST:CONF:MSL?") is read with the initial
    // values, before anything writes it.
    bool readsUnitSetting = false;
    // Edits are sent from the start (else only once a set point was read back).
    bool acceptsEditsAtStart = true;
    // A coupling choice acts only when the mode really changes, and switches the output off.
    bool couplingSwitchesOutputOff = false;
    // After a mode change the set points are read as channel pairs (1–2, then 3–4).
    bool setPointsByPairs = false;
    // Channels whose ranges are fixed whatever the catalogue row says: channel index, voltage
    // and current maxima.
    struct FixedMaxima {
        int index;
        double volts, amps;
    };
    QList<FixedMaxima> fixedMaxima;
    // The command dialect; layout 2 picks it from the machine type.
    Commands::Dialect dialect = Commands::DialectChannelScpi;

    // The plan of layout 1..4 for `machineType`; channels 0 for any other layout.
    static SupplyPlan of(int layout, const QString &machineType);
};

// The channel count of layout 1..4 (3, 1, 2, 4); 0 for any other number.
int channelCountOfLayout(int layout);
