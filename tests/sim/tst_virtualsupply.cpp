// The virtual supply model: what it answers, how it behaves, checked against the program's
// own command table and catalogue so the two cannot drift apart.
#include "link/Commands.h"
#include "resources/Catalogue.h"
#include "sim/VirtualSupply.h"
#include "support/TestEnvironment.h"

#include <QRegularExpression>
#include <QTest>

using namespace sim;

namespace {

std::unique_ptr<VirtualSupply> make(const char *type)
{
    auto s = VirtualSupply::create(QString::fromLatin1(type));
    Q_ASSERT(s);
    return s;
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

} // namespace

class TstVirtualSupply : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void modelsMatchTheProgramsCatalogue()
    {
        QCOMPARE(supplyTypes().size(), 8);
        for (const SupplySpec &spec : supplySpecs()) {
            // The program takes the first 9 characters of the model field as the type.
            QCOMPARE(spec.idn.split(QLatin1Char(',')).value(1).left(9), spec.type);
            QCOMPARE(int(spec.dialect), int(dialectForType(spec.type)));
            QCOMPARE(programDialect(spec.dialect), Commands::dialectFor(spec.type));

            const MachineTypeRow *own = nullptr;
            for (const MachineTypeRow &row : Catalogue::shipped())
                if (row.mtype == spec.type)
                    own = &row;
            QVERIFY2(own, qPrintable(spec.type));
            for (int c = 1; c <= spec.channelCount(); ++c) {
                const MachineTypeRow *row = own;
                if (own->perChannel)
                    for (const MachineTypeRow &r : Catalogue::shipped())
                        if (r.mtype == spec.type + QLatin1Char('#') + QString::number(c))
                            row = &r;
                // Layout 4 fixes channels 3 and 4 itself; every other channel must not
                // allow the program more than the supply takes.
                if (spec.type == QLatin1String("ZEP-4303") && c > 2)
                    continue;
                QCOMPARE(spec.channels[c - 1].vMax, row->vMax);
                QCOMPARE(spec.channels[c - 1].iMax, row->iMax);
                QCOMPARE(spec.channels[c - 1].ovpMax, row->ovpMax);
            }
        }
        QVERIFY(!VirtualSupply::create(QStringLiteral("NOPE-1")));
        QVERIFY(VirtualSupply::create(QStringLiteral("zep-2303")));  // case ignored
    }

    void everyTableQueryIsAnswered()
    {
        for (const SupplySpec &spec : supplySpecs()) {
            VirtualSupply s(spec);
            Commands::InitCommands(programDialect(spec.dialect));
            QCOMPARE(ask(s, Commands::CmdIdn), spec.idn);
            QStringList queries{Commands::CmdOutputStatus, Commands::CmdTrackStatus};
            if (spec.dialect != Dialect::Short)
                queries << Commands::CmdAutoState << Commands::CmdAutoStart << Commands::CmdAutoEnd
                        << Commands::CmdAutoCycle << Commands::CmdAutoDelay << Commands::CmdMemory
                        << Commands::CmdError;
            else
                queries << Commands::CmdStatus;
            for (int c = 1; c <= spec.channelCount(); ++c) {
                queries << Commands::measVolt(c) << Commands::measCurr(c) << Commands::setVolt(c)
                        << Commands::setCurr(c);
                if (spec.dialect != Dialect::Short)
                    queries << Commands::ovp(c) << Commands::ocp(c);
            }
            if (spec.hasMultiUnit)
                queries << QStringLiteral("SYST:CONF:MSL?");
            for (const QString &q : queries) {
                QVERIFY2(!q.isEmpty(), qPrintable(spec.type));
                QVERIFY2(s.handleLine(q).has_value(), qPrintable(spec.type + QLatin1Char(' ') + q));
            }
            QCOMPARE(s.pendingErrors(), QStringList());
        }
    }

    void everyWriteCommandIsTaken()
    {
        for (const SupplySpec &spec : supplySpecs()) {
            VirtualSupply s(spec);
            const Commands::Dialect d = programDialect(spec.dialect);
            const int last = spec.channelCount();
            s.setLoad(last, 1000);
            QVERIFY(s.handleLine(Commands::remote()) == std::nullopt);
            QVERIFY(s.remote());
            s.handleLine(Commands::voltageSetPoint(d, last, QStringLiteral("2.5")));
            s.handleLine(Commands::currentSetPoint(d, last, QStringLiteral("0.25")));
            QCOMPARE(s.voltageSetpoint(last), 2.5);
            QCOMPARE(s.currentSetpoint(last), 0.25);
            if (spec.hasProtection()) {
                s.handleLine(Commands::overVoltage(d, last, QStringLiteral("4.5")));
                s.handleLine(Commands::overCurrent(d, last, true));
                QCOMPARE(s.ovpLevel(last), 4.5);
                QVERIFY(s.ocpEnabled(last));
            }
            s.handleLine(Commands::output(d, true));
            QVERIFY2(s.outputOn(), qPrintable(spec.type));
            QCOMPARE(s.reading(last).volts, 2.5);
            s.handleLine(Commands::saveMemory(d, 4));
            s.handleLine(Commands::voltageSetPoint(d, last, QStringLiteral("1")));
            s.handleLine(Commands::recallMemory(d, 4));
            QCOMPARE(s.voltageSetpoint(last), 2.5);
            QCOMPARE(s.memoryNumber(), 4);
            s.handleLine(Commands::autoStart(2));
            s.handleLine(Commands::autoEnd(5));
            s.handleLine(Commands::autoCycle(3));
            s.handleLine(Commands::autoDelay(QStringLiteral("7")));
            QCOMPARE(s.autoRun().start, 2);
            QCOMPARE(s.autoRun().end, 5);
            QCOMPARE(s.autoRun().cycles, 3);
            QCOMPARE(s.autoRun().delay, 7);
            s.handleLine(Commands::autoRun(true));
            QVERIFY(s.autoRun().running);
            s.handleLine(Commands::autoRun(false));
            QVERIFY(!s.autoRun().running);
            s.handleLine(Commands::clearProtection());
            if (spec.channelCount() >= 2) {
                s.handleLine(Commands::coupling(d, Commands::CouplingParallel));
                QCOMPARE(s.coupling(), Coupling::Parallel);
                s.handleLine(Commands::coupling(d, Commands::CouplingIndependent));
                QCOMPARE(s.coupling(), Coupling::Independent);
            }
            if (spec.hasMultiUnit) {
                s.handleLine(Commands::coupling(d, Commands::CouplingParallel, 2));
                QCOMPARE(s.multiUnit(), 2);
                QCOMPARE(ask(s, QStringLiteral("SYST:CONF:MSL?")), QStringLiteral("2"));
            }
            s.handleLine(Commands::output(d, false));
            QVERIFY(!s.outputOn());
            QCOMPARE(s.pendingErrors(), QStringList());
            QCOMPARE(s.receivedLines().first(), QStringLiteral("REMOTE"));
        }
    }

    void answerFormatsOfEachDialect()
    {
        auto shortOne = make("ZEP-2303");
        ask(*shortOne, QStringLiteral("VSET1:12.345"));
        ask(*shortOne, QStringLiteral("ISET1:1.5"));
        QCOMPARE(ask(*shortOne, QStringLiteral("VSET1?")), QStringLiteral("12.345V"));
        QCOMPARE(ask(*shortOne, QStringLiteral("ISET1?")), QStringLiteral("1.500A"));
        QCOMPARE(ask(*shortOne, QStringLiteral("VOUT1?")), QStringLiteral("0.000V"));
        ask(*shortOne, QStringLiteral("OUT1"));
        shortOne->setLoad(1, 20);
        QCOMPARE(ask(*shortOne, QStringLiteral("VOUT1?")), QStringLiteral("12.345V"));
        QCOMPARE(ask(*shortOne, QStringLiteral("IOUT1?")), QStringLiteral("0.617A"));
        QCOMPARE(ask(*shortOne, QStringLiteral("STATUS?")), QStringLiteral("11011100"));
        ask(*shortOne, QStringLiteral("OUT0"));
        QCOMPARE(ask(*shortOne, QStringLiteral("STATUS?")), QStringLiteral("11011000"));

        auto channel = make("XPP-3202");
        ask(*channel, QStringLiteral(":CHAN3:VOLT 6.5"));
        ask(*channel, QStringLiteral(":CHAN3:CURR 0.5"));
        ask(*channel, QStringLiteral(":CHAN3:PROT:VOLT 7"));
        QCOMPARE(ask(*channel, QStringLiteral(":CHAN3:VOLT?")), QStringLiteral("6.500V"));
        QCOMPARE(ask(*channel, QStringLiteral(":CHAN3:CURR?")), QStringLiteral("0.500A"));
        QCOMPARE(ask(*channel, QStringLiteral(":CHAN3:PROT:VOLT?")), QStringLiteral("7.000"));
        QCOMPARE(ask(*channel, QStringLiteral(":CHAN3:PROT:CURR?")), QStringLiteral("0"));
        QCOMPARE(ask(*channel, QStringLiteral(":OUTP:STAT?")), QStringLiteral("0"));
        ask(*channel, QStringLiteral(":OUTP:STAT 1"));
        QCOMPARE(ask(*channel, QStringLiteral(":OUTP:STAT?")), QStringLiteral("1"));
        QCOMPARE(ask(*channel, QStringLiteral(":CHAN3:MEAS:VOLT?")), QStringLiteral("5.000V"));  // CC
        QCOMPARE(ask(*channel, QStringLiteral(":CHAN3:MEAS:CURR?")), QStringLiteral("0.500A"));
        // Long forms and lower case are SCPI too.
        QCOMPARE(ask(*channel, QStringLiteral(":channel3:measure:voltage?")), QStringLiteral("5.000V"));
        QCOMPARE(ask(*channel, QStringLiteral(":SYST:AUTO:CYCLE?")), QStringLiteral("1"));

        auto plain = make("SPP-KRX72");
        ask(*plain, QStringLiteral(":VOLT 70.25"));
        ask(*plain, QStringLiteral(":VOLT:PROT 75"));
        QCOMPARE(ask(*plain, QStringLiteral(":VOLT?")), QStringLiteral("70.250"));
        QCOMPARE(ask(*plain, QStringLiteral(":VOLT:PROT?")), QStringLiteral("75.000"));
        QCOMPARE(ask(*plain, QStringLiteral(":MEAS:CURR?")), QStringLiteral("0.000"));
        QCOMPARE(ask(*plain, QStringLiteral(":CURR:PROT?")), QStringLiteral("0"));
        // The plain dialect has no channel prefix, the channel dialect needs one.
        QCOMPARE(ask(*plain, QStringLiteral(":CHAN1:VOLT?")), QStringLiteral("<none>"));
        QCOMPARE(ask(*plain, QStringLiteral(":SYST:ERR?")), QStringLiteral("-113,\"Undefined header\""));
        QCOMPARE(ask(*channel, QStringLiteral(":MEAS:VOLT?")), QStringLiteral("<none>"));
        QCOMPARE(ask(*channel, QStringLiteral(":SYST:ERR?")), QStringLiteral("-113,\"Undefined header\""));
    }

    void errorsQueueInScpiAndAreIgnoredInShort()
    {
        auto s = make("XPP-3201");
        QCOMPARE(ask(*s, QStringLiteral(":SYST:ERR?")), QStringLiteral("0,\"No error\""));
        ask(*s, QStringLiteral("HELLO"));
        ask(*s, QStringLiteral(":CHAN1:VOLT 40"));       // above 32 V
        ask(*s, QStringLiteral(":CHAN1:VOLT abc"));
        ask(*s, QStringLiteral(":CHAN1:VOLT"));
        ask(*s, QStringLiteral(":CHAN4:VOLT 1"));        // three channels
        ask(*s, QStringLiteral(":CHAN1:VOLT 1,5"));      // a comma that was not exchanged
        ask(*s, QStringLiteral("*SAV 10"));
        QCOMPARE(s->voltageSetpoint(1), 0.0);
        QCOMPARE(s->pendingErrors(),
                 QStringList({QStringLiteral("-113,\"Undefined header\""),
                              QStringLiteral("-222,\"Data out of range\""),
                              QStringLiteral("-104,\"Data type error\""),
                              QStringLiteral("-109,\"Missing parameter\""),
                              QStringLiteral("-114,\"Header suffix out of range\""),
                              QStringLiteral("-108,\"Parameter not allowed\""),
                              QStringLiteral("-222,\"Data out of range\"")}));
        QCOMPARE(ask(*s, QStringLiteral(":SYST:ERR?")), QStringLiteral("-113,\"Undefined header\""));
        ask(*s, QStringLiteral("*CLS"));
        QCOMPARE(ask(*s, QStringLiteral(":SYST:ERR?")), QStringLiteral("0,\"No error\""));
        for (int i = 0; i < 20; ++i)
            ask(*s, QStringLiteral("BAD"));
        QCOMPARE(s->pendingErrors().size(), VirtualSupply::ErrorQueueSize);
        QCOMPARE(s->pendingErrors().last(), QStringLiteral("-350,\"Queue overflow\""));

        auto z = make("ZEP-4303");
        QCOMPARE(ask(*z, QStringLiteral("HELLO?")), QStringLiteral("<none>"));
        QCOMPARE(ask(*z, QStringLiteral("VSET4:6")), QStringLiteral("<none>"));  // 5 V channel
        QCOMPARE(ask(*z, QStringLiteral("VSET5?")), QStringLiteral("<none>"));
        QCOMPARE(ask(*z, QStringLiteral(":SYST:ERR?")), QStringLiteral("<none>"));
        QCOMPARE(z->voltageSetpoint(4), 0.0);
        ask(*z, QStringLiteral("VSET4:4.5"));
        QCOMPARE(ask(*z, QStringLiteral("VSET4?")), QStringLiteral("4.500V"));
        QVERIFY(z->pendingErrors().isEmpty());
    }

    void protectionTripsAndLatches()
    {
        auto s = make("XPP-3201");
        ask(*s, QStringLiteral(":CHAN2:VOLT 5"));
        ask(*s, QStringLiteral(":CHAN2:PROT:VOLT 6"));
        ask(*s, QStringLiteral(":OUTP:STAT 1"));
        QVERIFY(s->outputOn());
        QVERIFY(s->pendingErrors().isEmpty());

        // Over-voltage: a set point above the level trips at once.
        ask(*s, QStringLiteral(":CHAN2:VOLT 7"));
        QVERIFY(!s->outputOn());
        QVERIFY(s->protectionTripped());
        QCOMPARE(ask(*s, QStringLiteral(":CHAN2:MEAS:VOLT?")), QStringLiteral("0.000V"));
        QVERIFY(ask(*s, QStringLiteral(":SYST:ERR?")).startsWith(QLatin1String("-300,\"Over-voltage")));
        ask(*s, QStringLiteral(":CHAN2:VOLT 5"));
        ask(*s, QStringLiteral(":OUTP:STAT 1"));  // latched
        QVERIFY(!s->outputOn());
        QCOMPARE(ask(*s, QStringLiteral(":SYST:ERR?")), QStringLiteral("-221,\"Settings conflict\""));
        ask(*s, QStringLiteral(":OUTP:PROT:CLE"));
        ask(*s, QStringLiteral(":OUTP:STAT 1"));
        QVERIFY(s->outputOn());

        // Over-current: only with OCP on, and only in constant-current operation.
        ask(*s, QStringLiteral(":CHAN1:VOLT 5"));
        ask(*s, QStringLiteral(":CHAN1:CURR 1"));
        ask(*s, QStringLiteral(":CHAN1:PROT:CURR 1"));
        QVERIFY(s->outputOn());                 // 5 V into 10 ohm: 0.5 A, constant voltage
        s->setLoad(1, 2.0);                     // 2.5 A wanted, 1 A allowed
        QVERIFY(!s->outputOn());
        QVERIFY(s->pendingErrors().value(0).contains(QLatin1String("Over-current protection tripped on CH1")));
        ask(*s, QStringLiteral(":OUTP:PROT:CLE"));
        ask(*s, QStringLiteral(":CHAN1:PROT:CURR OFF"));
        ask(*s, QStringLiteral(":OUTP:STAT ON"));
        QVERIFY(s->outputOn());
        const VirtualSupply::Reading r = s->reading(1);
        QVERIFY(r.constantCurrent);
        QCOMPARE(r.amps, 1.0);
        QCOMPARE(r.volts, 2.0);
    }

    void loadModelAndNoise()
    {
        auto s = make("SPP-KRX20");
        ask(*s, QStringLiteral(":VOLT 12"));
        ask(*s, QStringLiteral(":CURR 2"));
        ask(*s, QStringLiteral(":OUTP:STAT 1"));
        s->setLoad(1, 0);  // open circuit
        QCOMPARE(ask(*s, QStringLiteral(":MEAS:VOLT?")), QStringLiteral("12.000"));
        QCOMPARE(ask(*s, QStringLiteral(":MEAS:CURR?")), QStringLiteral("0.000"));
        s->setLoad(1, 24);
        QCOMPARE(ask(*s, QStringLiteral(":MEAS:CURR?")), QStringLiteral("0.500"));
        s->setLoad(1, 3);  // 4 A wanted, 2 A allowed: constant current at 6 V
        QCOMPARE(ask(*s, QStringLiteral(":MEAS:VOLT?")), QStringLiteral("6.000"));
        QCOMPARE(ask(*s, QStringLiteral(":MEAS:CURR?")), QStringLiteral("2.000"));

        s->setNoise(0.01, 0.001, 7);
        bool varied = false;
        for (int i = 0; i < 50; ++i) {
            const double v = ask(*s, QStringLiteral(":MEAS:VOLT?")).toDouble();
            QVERIFY(v >= 5.99 - 1e-9 && v <= 6.01 + 1e-9);
            varied = varied || v != 6.0;
        }
        QVERIFY(varied);
    }

    void trackingAndParallel()
    {
        auto s = make("ZEP-2306");
        ask(*s, QStringLiteral("VSET1:10"));
        ask(*s, QStringLiteral("ISET1:2"));
        ask(*s, QStringLiteral("VSET2:3"));
        ask(*s, QStringLiteral("ISET2:1"));
        s->setLoad(1, 4);  // 2.5 A wanted
        ask(*s, QStringLiteral("OUT1"));

        ask(*s, QStringLiteral("TRACK1"));
        QCOMPARE(ask(*s, QStringLiteral("STATUS?")).mid(2, 2), QStringLiteral("11"));
        QCOMPARE(ask(*s, QStringLiteral("VSET2?")), QStringLiteral("10.000V"));
        QCOMPARE(ask(*s, QStringLiteral("VOUT2?")), QStringLiteral("10.000V"));  // 10 ohm load
        QCOMPARE(ask(*s, QStringLiteral("ISET2?")), QStringLiteral("1.000A"));   // own current
        ask(*s, QStringLiteral("VSET2:5"));  // slaved: ignored
        ask(*s, QStringLiteral("VSET1:8"));
        QCOMPARE(ask(*s, QStringLiteral("VOUT2?")), QStringLiteral("8.000V"));

        ask(*s, QStringLiteral("TRACK2"));
        QCOMPARE(ask(*s, QStringLiteral("STATUS?")).mid(2, 2), QStringLiteral("10"));
        // Channel 1 carries both currents: 2 A each, so the 4 ohm load gets its 2 A at 8 V.
        QCOMPARE(ask(*s, QStringLiteral("IOUT1?")), QStringLiteral("2.000A"));
        QCOMPARE(ask(*s, QStringLiteral("VOUT1?")), QStringLiteral("8.000V"));
        QCOMPARE(ask(*s, QStringLiteral("STATUS?")).left(1), QStringLiteral("1"));  // CV
        s->setLoad(1, 1);  // 8 A wanted, 4 A in parallel
        QCOMPARE(ask(*s, QStringLiteral("IOUT1?")), QStringLiteral("4.000A"));
        QCOMPARE(ask(*s, QStringLiteral("STATUS?")).left(1), QStringLiteral("0"));  // CC
        QCOMPARE(ask(*s, QStringLiteral("VOUT2?")), QStringLiteral("0.000V"));
        QCOMPARE(ask(*s, QStringLiteral("IOUT2?")), QStringLiteral("0.000A"));
        QCOMPARE(ask(*s, QStringLiteral("ISET2?")), QStringLiteral("2.000A"));

        ask(*s, QStringLiteral("TRACK0"));
        QCOMPARE(ask(*s, QStringLiteral("STATUS?")).mid(2, 2), QStringLiteral("01"));
        QCOMPARE(ask(*s, QStringLiteral("VSET2?")), QStringLiteral("3.000V"));

        // The SCPI dialects use the same coupling numbers and refuse slaved settings.
        auto c = make("XPP-3201");
        ask(*c, QStringLiteral(":OUTP:COUP:TRAC 1"));
        QCOMPARE(ask(*c, QStringLiteral(":OUTP:COUP:TRAC?")), QStringLiteral("1"));
        ask(*c, QStringLiteral(":CHAN2:VOLT 3"));
        ask(*c, QStringLiteral(":OUTP:COUP:TRAC 2"));
        ask(*c, QStringLiteral(":CHAN2:CURR 0.3"));
        ask(*c, QStringLiteral(":OUTP:COUP:TRAC 3"));
        QCOMPARE(c->pendingErrors(), QStringList({QStringLiteral("-221,\"Settings conflict\""),
                                                  QStringLiteral("-221,\"Settings conflict\""),
                                                  QStringLiteral("-222,\"Data out of range\"")}));
        QCOMPARE(c->coupling(), Coupling::Parallel);
    }

    void memoriesAndAutoRun()
    {
        auto s = make("XPP-3202");
        for (int n = 0; n < 4; ++n) {
            ask(*s, QStringLiteral(":CHAN1:VOLT %1").arg(n + 1));
            ask(*s, QStringLiteral("*SAV %1").arg(n));
        }
        QCOMPARE(ask(*s, QStringLiteral(":SYST:MEM?")), QStringLiteral("3"));
        ask(*s, QStringLiteral("*RCL 1"));
        QCOMPARE(ask(*s, QStringLiteral(":CHAN1:VOLT?")), QStringLiteral("2.000V"));
        QCOMPARE(ask(*s, QStringLiteral(":SYST:MEM?")), QStringLiteral("1"));

        ask(*s, QStringLiteral(":SYST:AUTO:STAR 1"));
        ask(*s, QStringLiteral(":SYST:AUTO:END 3"));
        ask(*s, QStringLiteral(":SYST:AUTO:CYCL 2"));
        ask(*s, QStringLiteral(":SYST:AUTO:DEL 5"));  // 500 ms a memory
        ask(*s, QStringLiteral(":SYST:AUTO:STAT 1"));
        QCOMPARE(ask(*s, QStringLiteral(":SYST:AUTO:STAT?")), QStringLiteral("1"));
        QList<double> seen{s->voltageSetpoint(1)};
        for (int step = 0; step < 7; ++step) {
            s->advance(499);
            QCOMPARE(s->voltageSetpoint(1), seen.last());  // held for the whole delay
            s->advance(1);
            seen << s->voltageSetpoint(1);
        }
        // Memories 1..3 twice, then the run ends on the last memory.
        QCOMPARE(seen, QList<double>({2, 3, 4, 2, 3, 4, 4, 4}));
        QCOMPARE(ask(*s, QStringLiteral(":SYST:AUTO:STAT?")), QStringLiteral("0"));
        QCOMPARE(s->autoCyclesDone(), 2);
        QCOMPARE(ask(*s, QStringLiteral(":SYST:MEM?")), QStringLiteral("3"));

        // Cycle count 0 runs until stopped; a range may run downwards.
        ask(*s, QStringLiteral(":SYST:AUTO:STAR 2"));
        ask(*s, QStringLiteral(":SYST:AUTO:END 0"));
        ask(*s, QStringLiteral(":SYST:AUTO:CYCL 0"));
        ask(*s, QStringLiteral(":SYST:AUTO:DEL 1"));
        ask(*s, QStringLiteral(":SYST:AUTO:STAT 1"));
        QCOMPARE(s->voltageSetpoint(1), 3.0);
        s->advance(100);
        QCOMPARE(s->voltageSetpoint(1), 2.0);
        s->advance(100 * 30);
        QVERIFY(s->autoRun().running);
        QCOMPARE(s->autoCyclesDone(), 10);
        ask(*s, QStringLiteral(":SYST:AUTO:STAT 0"));
        const double held = s->voltageSetpoint(1);
        s->advance(1000);
        QCOMPARE(s->voltageSetpoint(1), held);
        ask(*s, QStringLiteral(":SYST:AUTO:END 10"));
        QCOMPARE(s->pendingErrors(), QStringList(QStringLiteral("-222,\"Data out of range\"")));

        // The short dialect's own memory commands.
        auto z = make("ZEP-2303");
        ask(*z, QStringLiteral("VSET2:7"));
        ask(*z, QStringLiteral("SAV9"));
        ask(*z, QStringLiteral("VSET2:1"));
        ask(*z, QStringLiteral("RCL9"));
        QCOMPARE(ask(*z, QStringLiteral("VSET2?")), QStringLiteral("7.000V"));
        QCOMPARE(z->memoryNumber(), 9);
    }

    void multiUnitOnlyOnKrxTypes()
    {
        auto k = make("SPP-KRX20");
        QCOMPARE(ask(*k, QStringLiteral("SYST:CONF:MSL?")), QStringLiteral("0"));
        ask(*k, QStringLiteral("SYST:CONF:MSL 3"));
        QCOMPARE(ask(*k, QStringLiteral(":SYST:CONF:MSL?")), QStringLiteral("3"));
        ask(*k, QStringLiteral("SYST:CONF:MSL 5"));
        QCOMPARE(ask(*k, QStringLiteral(":SYST:ERR?")), QStringLiteral("-222,\"Data out of range\""));

        auto x = make("XPP-1501");
        QCOMPARE(ask(*x, QStringLiteral("SYST:CONF:MSL?")), QStringLiteral("<none>"));
        QCOMPARE(ask(*x, QStringLiteral(":SYST:ERR?")), QStringLiteral("-113,\"Undefined header\""));
    }

    void faultPlanShapesAnswers()
    {
        auto s = make("ZEP-2303");
        s->faults().invalidFirstIdn = true;
        QCOMPARE(ask(*s, QStringLiteral("*IDN?")), QStringLiteral("Invalid Character."));
        QCOMPARE(ask(*s, QStringLiteral("*IDN?")), s->spec().idn);

        FaultPlan plan;
        plan.answerDelayMs = 30;
        plan.splitParts = 2;
        plan.splitPauseMs = 70;
        FaultPlan::Delivery d = plan.shape(QStringLiteral("12.345V\n"));
        QCOMPARE(d.parts.join(QString()), QStringLiteral("12.345V\n"));
        QCOMPARE(d.parts.size(), 2);
        QCOMPARE(d.atMs, QList<int>({30, 100}));
        plan.dropAnswers = 1;
        QVERIFY(plan.shape(QStringLiteral("x\n")).parts.isEmpty());
        QCOMPARE(plan.shape(QStringLiteral("x\n")).parts.join(QString()), QStringLiteral("x\n"));
    }
};

QTEST_GUILESS_MAIN(TstVirtualSupply)
#include "tst_virtualsupply.moc"
