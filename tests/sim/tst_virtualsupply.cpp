// The virtual supply model: what it answers, how it behaves, checked against the program's
// own command table and catalogue so the two cannot drift apart. Its fault plan (delays,
// split and dropped answers, garbled first identification) is exercised over the wire by
// tests/transport, tests/setup and tst_ptysupplyserver.
#include "link/Commands.h"
#include "resources/Catalogue.h"
#include "sim/VirtualSupply.h"
#include "support/TestEnvironment.h"

#include <QTest>

#include <algorithm>
#include <cmath>

using namespace sim;

namespace {

const QString Undefined = QStringLiteral("-113,\"Undefined header\"");
const QString OutOfRange = QStringLiteral("-222,\"Data out of range\"");
const QString Conflict = QStringLiteral("-221,\"Settings conflict\"");

std::unique_ptr<VirtualSupply> make(const char *type)
{
    return VirtualSupply::create(QString::fromLatin1(type));
}

// Feeds each line; returns the answers of those that gave one ("<none>" for a query
// without answer), so one comparison checks a whole exchange.
QStringList talk(VirtualSupply &s, const QStringList &lines)
{
    QStringList answers;
    for (const QString &line : lines) {
        const std::optional<QString> a = s.handleLine(line);
        if (a || line.endsWith(QLatin1Char('?')))
            answers << a.value_or(QStringLiteral("<none>"));
    }
    return answers;
}

QString ask(VirtualSupply &s, const QString &line)
{
    return s.handleLine(line).value_or(QStringLiteral("<none>"));
}

Commands::Dialect programDialect(Dialect d)
{
    switch (d) {
    case Dialect::Short: return Commands::DialectShort;
    case Dialect::PlainScpi: return Commands::DialectPlainScpi;
    case Dialect::ChannelScpi: break;
    }
    return Commands::DialectChannelScpi;
}

const MachineTypeRow *catalogueRow(const QString &type)
{
    const auto &rows = Catalogue::shipped();
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const MachineTypeRow &r) { return r.mtype == type; });
    return row == rows.end() ? nullptr : &*row;
}

} // namespace

class TstVirtualSupply : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void modelsMatchTheProgramsCatalogue()
    {
        QCOMPARE(supplyTypes().size(), 8);
        for (const SupplyModel &model : supplyModels()) {
            // The program takes the first 9 characters of the model field as the type.
            QCOMPARE(model.idn.split(QLatin1Char(',')).value(1).left(9), model.type);
            QCOMPARE(programDialect(model.dialect), Commands::dialectFor(model.type));
            const MachineTypeRow *own = catalogueRow(model.type);
            QVERIFY2(own, qPrintable(model.type));
            // Layout 4 fixes channels 3 and 4 itself; every other channel must not allow
            // the program more than the supply takes.
            const int checked = model.type == QLatin1String("ZEP-4303") ? 2 : model.channelCount();
            for (int c = 1; c <= checked; ++c) {
                const MachineTypeRow *row = own->perChannel
                    ? catalogueRow(model.type + QLatin1Char('#') + QString::number(c)) : own;
                QVERIFY(row);
                const ChannelModel &ch = model.channels[c - 1];
                QCOMPARE(QList<double>({ch.vMax, ch.iMax, ch.ovpMax}),
                         QList<double>({row->vMax, row->iMax, row->ovpMax}));
            }
        }
        QVERIFY(!VirtualSupply::create(QStringLiteral("NOPE-1")));
    }

    // Every query of the program's table for the supply's dialect gets an answer, and every
    // write command it sends takes effect.
    void everyTableLineIsUnderstood()
    {
        for (const SupplyModel &model : supplyModels()) {
            VirtualSupply s(model);
            const Commands::Dialect d = programDialect(model.dialect);
            const bool scpi = model.dialect != Dialect::Short;
            const Commands::CommandSet &cmds = Commands::CommandSet::of(d);
            QCOMPARE(ask(s, QLatin1String(Commands::Identify)), model.idn);
            using Q = Commands::Query;
            QList<Q> general{Q::OutputStatus, Q::TrackStatus, Q::Status}, perChannel{Q::MeasVolt, Q::MeasCurr, Q::SetVolt, Q::SetCurr};
            if (scpi) {
                general = {Q::OutputStatus, Q::TrackStatus, Q::AutoState, Q::AutoStart, Q::AutoEnd, Q::AutoCycle, Q::AutoDelay, Q::Memory, Q::Error};
                perChannel << Q::Ovp << Q::Ocp;
            }
            QStringList queries;
            for (Q q : general)
                queries << cmds.text(q);
            for (int c = 1; c <= model.channelCount(); ++c)
                for (Q q : perChannel)
                    queries << cmds.text(q, c);
            if (model.hasMultiUnit)
                queries << QStringLiteral("SYST:CONF:MSL?");
            for (const QString &q : queries)
                QVERIFY2(!q.isEmpty() && s.handleLine(q).has_value(), qPrintable(model.type + QLatin1Char(' ') + q));

            const int last = model.channelCount();
            s.setLoad(last, 1000);
            QVERIFY(!s.handleLine(Commands::remote()) && s.remote());
            talk(s, {Commands::voltageSetPoint(d, last, QStringLiteral("2.5")),
                     Commands::currentSetPoint(d, last, QStringLiteral("0.25"))});
            QCOMPARE(s.voltageSetpoint(last) + s.currentSetpoint(last), 2.75);
            if (model.hasProtection()) {
                talk(s, {Commands::overVoltage(d, last, QStringLiteral("4.5")),
                         Commands::overCurrent(d, last, true)});
                QVERIFY(s.ovpLevel(last) == 4.5 && s.ocpEnabled(last));
            }
            s.handleLine(Commands::output(d, true));
            QCOMPARE(s.reading(last).volts, 2.5);
            talk(s, {Commands::saveMemory(d, 4), Commands::voltageSetPoint(d, last, QStringLiteral("1")),
                     Commands::recallMemory(d, 4)});
            QVERIFY(s.voltageSetpoint(last) == 2.5 && s.memoryNumber() == 4);
            const bool coupled = model.channelCount() >= 2 || model.hasMultiUnit;
            talk(s, {Commands::autoStart(2), Commands::autoEnd(5), Commands::autoCycle(3),
                     Commands::autoDelay(QStringLiteral("7")), Commands::clearProtection(),
                     coupled ? Commands::coupling(d, Commands::CouplingParallel, 2) : Commands::remote(),
                     Commands::output(d, false)});
            const VirtualSupply::AutoRun &run = s.autoRun();
            QCOMPARE(QList<int>({run.start, run.end, run.cycles, run.delay}), QList<int>({2, 5, 3, 7}));
            QCOMPARE(s.coupling(), model.channelCount() >= 2 ? Coupling::Parallel : Coupling::Independent);
            QVERIFY(!s.outputOn() && s.multiUnit() == (model.hasMultiUnit ? 2 : 0));
            QCOMPARE(s.pendingErrors(), QStringList());
        }
    }

    void answerFormatsOfEachDialect()
    {
        auto shortOne = make("ZEP-2303");
        QCOMPARE(talk(*shortOne, {"VSET1:12.345", "ISET1:1.5", "VSET1?", "ISET1?", "VOUT1?", "OUT1"}),
                 QStringList({"12.345V", "1.500A", "0.000V"}));
        shortOne->setLoad(1, 20);
        QCOMPARE(talk(*shortOne, {"VOUT1?", "IOUT1?", "STATUS?", "OUT0", "STATUS?"}),
                 QStringList({"12.345V", "0.617A", "11011100", "11011000"}));

        auto channel = make("XPP-3202");
        QCOMPARE(talk(*channel, {":CHAN3:VOLT 6.5", ":CHAN3:CURR 0.5", ":CHAN3:PROT:VOLT 7", ":CHAN3:VOLT?",
                                 ":CHAN3:CURR?", ":CHAN3:PROT:VOLT?", ":CHAN3:PROT:CURR?", ":OUTP:STAT?",
                                 ":OUTP:STAT 1", ":OUTP:STAT?", ":CHAN3:MEAS:VOLT?", ":CHAN3:MEAS:CURR?",
                                 // Long forms and lower case are SCPI too.
                                 ":channel3:measure:voltage?", ":SYST:AUTO:CYCLE?"}),
                 QStringList({"6.500V", "0.500A", "7.000", "0", "0", "1", "5.000V" /* CC */, "0.500A",
                              "5.000V", "1"}));

        // The plain dialect has no channel prefix, the channel dialect needs one.
        auto plain = make("SPP-KRX72");
        QCOMPARE(talk(*plain, {":VOLT 70.25", ":VOLT:PROT 75", ":VOLT?", ":VOLT:PROT?", ":MEAS:CURR?",
                               ":CURR:PROT?", ":CHAN1:VOLT?", ":SYST:ERR?"}),
                 QStringList({"70.250", "75.000", "0.000", "0", "<none>", Undefined}));
        QCOMPARE(talk(*channel, {":MEAS:VOLT?", ":SYST:ERR?"}), QStringList({"<none>", Undefined}));
    }

    void errorsQueueInScpiAndAreIgnoredInShort()
    {
        auto s = make("XPP-3201");
        QCOMPARE(ask(*s, QStringLiteral(":SYST:ERR?")), QStringLiteral("0,\"No error\""));
        talk(*s, {"HELLO", ":CHAN1:VOLT 40" /* above 32 V */, ":CHAN1:VOLT abc", ":CHAN1:VOLT",
                  ":CHAN4:VOLT 1" /* three channels */, ":CHAN1:VOLT 1,5" /* comma not exchanged */,
                  "*SAV 10"});
        QCOMPARE(s->voltageSetpoint(1), 0.0);
        QCOMPARE(s->pendingErrors(),
                 QStringList({Undefined, OutOfRange, "-104,\"Data type error\"", "-109,\"Missing parameter\"",
                              "-114,\"Header suffix out of range\"", "-108,\"Parameter not allowed\"",
                              OutOfRange}));
        QCOMPARE(talk(*s, {":SYST:ERR?", "*CLS", ":SYST:ERR?"}), QStringList({Undefined, "0,\"No error\""}));

        auto z = make("ZEP-4303");  // no answer, not even to the command
        QCOMPARE(talk(*z, {"HELLO?", "VSET4:6" /* 5 V channel */, "VSET5?", ":SYST:ERR?"}),
                 QStringList(3, QStringLiteral("<none>")));
        QVERIFY(z->voltageSetpoint(4) == 0.0 && z->pendingErrors().isEmpty());
    }

    void protectionTripsAndLatches()
    {
        auto s = make("XPP-3201");
        talk(*s, {":CHAN2:VOLT 5", ":CHAN2:PROT:VOLT 6", ":OUTP:STAT 1"});
        QVERIFY(s->outputOn());

        // Over-voltage: a set point above the level trips at once, and latches.
        ask(*s, QStringLiteral(":CHAN2:VOLT 7"));
        QVERIFY(!s->outputOn() && s->protectionTripped());
        const QStringList tripped = talk(*s, {":CHAN2:MEAS:VOLT?", ":SYST:ERR?", ":CHAN2:VOLT 5",
                                              ":OUTP:STAT 1", ":SYST:ERR?"});
        QCOMPARE(tripped.value(0) + tripped.value(2), QStringLiteral("0.000V") + Conflict);
        QVERIFY(tripped.value(1).startsWith(QLatin1String("-300,\"Over-voltage")));
        QVERIFY(!s->outputOn());
        talk(*s, {":OUTP:PROT:CLE", ":OUTP:STAT 1", ":CHAN1:VOLT 5", ":CHAN1:CURR 1", ":CHAN1:PROT:CURR 1"});
        QVERIFY(s->outputOn());                 // 5 V into 10 ohm: 0.5 A, constant voltage

        // Over-current: only with OCP on, and only in constant-current operation.
        s->setLoad(1, 2.0);                     // 2.5 A wanted, 1 A allowed
        QVERIFY(!s->outputOn());
        QVERIFY(s->pendingErrors().value(0).contains(QLatin1String("Over-current protection tripped on CH1")));
        talk(*s, {":OUTP:PROT:CLE", ":CHAN1:PROT:CURR OFF", ":OUTP:STAT ON"});
        QCOMPARE(talk(*s, {":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?"}), QStringList({"2.000V", "1.000A"}));
        s->setLoad(1, 0);  // open circuit
        QCOMPARE(talk(*s, {":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?"}), QStringList({"5.000V", "0.000A"}));

        // Noise stays within its bounds and varies the readings.
        s->setNoise(0.01, 0.001, 7);
        QSet<QString> seen;
        for (int i = 0; i < 50; ++i) {
            const QString v = ask(*s, QStringLiteral(":CHAN2:MEAS:VOLT?"));
            QVERIFY(std::abs(v.chopped(1).toDouble() - 5.0) <= 0.01 + 1e-9);
            seen << v;
        }
        QVERIFY(seen.size() > 1);
    }

    void trackingParallelAndMultiUnit()
    {
        auto s = make("ZEP-2306");
        talk(*s, {"VSET1:10", "ISET1:2", "VSET2:3", "ISET2:1", "OUT1"});
        s->setLoad(1, 4);  // 2.5 A wanted
        // Track: channel 2 follows channel 1's voltage (10 ohm load), keeps its own current
        // and ignores its own voltage setting.
        QStringList a = talk(*s, {"TRACK1", "STATUS?", "VSET2?", "VOUT2?", "ISET2?", "VSET2:5", "VSET1:8",
                                  "VOUT2?"});
        QCOMPARE(a.takeFirst().mid(2, 2), QStringLiteral("11"));
        QCOMPARE(a, QStringList({"10.000V", "10.000V", "1.000A", "8.000V"}));
        // Parallel: channel 1 carries both currents, 2 A each, so the 4 ohm load gets its 2 A
        // at 8 V in constant voltage; 1 ohm wants 8 A and gets 4 A in constant current.
        a = talk(*s, {"TRACK2", "STATUS?", "IOUT1?", "VOUT1?"});
        QCOMPARE(a.takeFirst().mid(0, 4), QStringLiteral("1110"));
        QCOMPARE(a, QStringList({"2.000A", "8.000V"}));
        s->setLoad(1, 1);
        a = talk(*s, {"STATUS?", "IOUT1?", "VOUT2?", "IOUT2?", "ISET2?"});
        QCOMPARE(a.takeFirst().left(1), QStringLiteral("0"));
        QCOMPARE(a, QStringList({"4.000A", "0.000V", "0.000A", "2.000A"}));
        a = talk(*s, {"TRACK0", "STATUS?", "VSET2?"});
        QCOMPARE(a.at(0).mid(2, 2) + a.at(1), QStringLiteral("013.000V"));

        // The SCPI dialects use the same coupling numbers and refuse slaved settings.
        auto c = make("XPP-3201");
        QCOMPARE(talk(*c, {":OUTP:COUP:TRAC 1", ":OUTP:COUP:TRAC?", ":CHAN2:VOLT 3", ":OUTP:COUP:TRAC 2",
                           ":CHAN2:CURR 0.3", ":OUTP:COUP:TRAC 3"}),
                 QStringList({"1"}));
        QCOMPARE(c->pendingErrors(), QStringList({Conflict, Conflict, OutOfRange}));
        QCOMPARE(c->coupling(), Coupling::Parallel);

        // Multi-unit operation only on the KRX types.
        auto k = make("SPP-KRX20");
        QCOMPARE(talk(*k, {"SYST:CONF:MSL?", "SYST:CONF:MSL 3", ":SYST:CONF:MSL?", "SYST:CONF:MSL 5",
                           ":SYST:ERR?"}),
                 QStringList({"0", "3", OutOfRange}));
    }

    void memoriesAndAutoRun()
    {
        auto s = make("XPP-3202");
        for (int n = 0; n < 4; ++n)
            talk(*s, {QStringLiteral(":CHAN1:VOLT %1").arg(n + 1), QStringLiteral("*SAV %1").arg(n)});
        QCOMPARE(talk(*s, {":SYST:MEM?", "*RCL 1", ":CHAN1:VOLT?", ":SYST:MEM?"}),
                 QStringList({"3", "2.000V", "1"}));

        talk(*s, {":SYST:AUTO:STAR 1", ":SYST:AUTO:END 3", ":SYST:AUTO:CYCL 2",
                  ":SYST:AUTO:DEL 5" /* 500 ms a memory */, ":SYST:AUTO:STAT 1"});
        QList<double> seen{s->voltageSetpoint(1)};
        for (int step = 0; step < 7; ++step) {
            s->advance(499);
            QCOMPARE(s->voltageSetpoint(1), seen.last());  // held for the whole delay
            s->advance(1);
            seen << s->voltageSetpoint(1);
        }
        // Memories 1..3 twice, then the run ends on the last memory.
        QCOMPARE(seen, QList<double>({2, 3, 4, 2, 3, 4, 4, 4}));
        QCOMPARE(talk(*s, {":SYST:AUTO:STAT?", ":SYST:MEM?"}), QStringList({"0", "3"}));

        // Cycle count 0 runs downwards until stopped.
        talk(*s, {":SYST:AUTO:STAR 2", ":SYST:AUTO:END 0", ":SYST:AUTO:CYCL 0", ":SYST:AUTO:DEL 1",
                  ":SYST:AUTO:STAT 1"});
        s->advance(100 * 31);
        QVERIFY(s->autoRun().running && s->autoCyclesDone() == 10);
        QCOMPARE(s->voltageSetpoint(1), 2.0);
        talk(*s, {":SYST:AUTO:STAT 0", ":SYST:AUTO:END 10"});
        s->advance(1000);
        QCOMPARE(s->voltageSetpoint(1), 2.0);
        QCOMPARE(s->pendingErrors(), QStringList(OutOfRange));
    }
};

QTEST_GUILESS_MAIN(TstVirtualSupply)
#include "tst_virtualsupply.moc"
