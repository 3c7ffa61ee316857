#include "link/Commands.h"

#include <QTest>

using namespace Commands;

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FamilyWord = QStringLiteral("ZEP");
        for (QString *s : {&CmdMeasVolt4, &CmdAutoState, &CmdStatus, &CmdError, &CmdOvp1})
            s->clear();
    }

    void dialectSelection()
    {
        QCOMPARE(dialectFor(QStringLiteral("ZEP-3303")), DialectShort);
        QCOMPARE(dialectFor(QStringLiteral("zep3303c")), DialectShort);
        QCOMPARE(dialectFor(QStringLiteral("KRX-6020")), DialectPlainScpi);
        QCOMPARE(dialectFor(QStringLiteral("krx6020")), DialectPlainScpi);
        // The family word is tested first.
        QCOMPARE(dialectFor(QStringLiteral("KRXZEP-1")), DialectShort);
        QCOMPARE(dialectFor(QStringLiteral("XPP-3202")), DialectChannelScpi);
        QCOMPARE(dialectFor(QString()), DialectChannelScpi);
        // The main window may change the family word from its menu caption.
        FamilyWord = QStringLiteral("Abc");
        QCOMPARE(dialectFor(QStringLiteral("ZEP-3303")), DialectChannelScpi);
        QCOMPARE(dialectFor(QStringLiteral("xABC-12")), DialectShort);
        FamilyWord.clear();
        QCOMPARE(dialectFor(QStringLiteral("XPP-3202")), DialectChannelScpi);
    }

    void queryTables()
    {
        InitCommandsChannelScpi();
        QCOMPARE(CmdTerminator, QStringLiteral("\n"));
        QCOMPARE(CmdIdn, QStringLiteral("*IDN?"));
        QCOMPARE(CmdMeasVolt2, QStringLiteral(":CHAN2:MEAS:VOLT?"));
        QCOMPARE(CmdMeasCurr3, QStringLiteral(":CHAN3:MEAS:CURR?"));
        QCOMPARE(CmdOvp3, QStringLiteral(":CHAN3:PROT:VOLT?"));
        QCOMPARE(CmdOcp1, QStringLiteral(":CHAN1:PROT:CURR?"));
        QCOMPARE(CmdSetVolt1, QStringLiteral(":CHAN1:VOLT?"));
        QCOMPARE(CmdSetCurr2, QStringLiteral(":CHAN2:CURR?"));
        QCOMPARE(CmdAutoCycle, QStringLiteral(":SYST:AUTO:CYCLE?"));
        QCOMPARE(CmdTrackStatus, QStringLiteral(":OUTP:COUP:TRAC?"));
        QCOMPARE(CmdError, QStringLiteral(":SYST:ERR?"));
        QVERIFY(CmdStatus.isEmpty());
        QVERIFY(CmdMeasVolt4.isEmpty());
        QCOMPARE(ovp(4), QString());
        QCOMPARE(measCurr(2), CmdMeasCurr2);

        InitCommandsPlainScpi();
        for (int ch = 1; ch <= 3; ++ch) {
            QCOMPARE(measVolt(ch), QStringLiteral(":MEAS:VOLT?"));
            QCOMPARE(ocp(ch), QStringLiteral(":CURR:PROT?"));
            QCOMPARE(setCurr(ch), QStringLiteral(":CURR?"));
        }
        QCOMPARE(CmdMemory, QStringLiteral(":SYST:MEM?"));

        // The short dialect leaves what it does not assign: the previous dialect's strings.
        InitCommandsShort();
        QCOMPARE(CmdMeasVolt4, QStringLiteral("VOUT4?"));
        QCOMPARE(CmdSetCurr4, QStringLiteral("ISET4?"));
        QCOMPARE(CmdOutputStatus, QStringLiteral("STATUS?"));
        QCOMPARE(CmdTrackStatus, QStringLiteral("STATUS?"));
        QCOMPARE(CmdStatus, QStringLiteral("STATUS?"));
        QCOMPARE(CmdError, QStringLiteral(":SYST:ERR?"));
        QCOMPARE(CmdOvp1, QStringLiteral(":VOLT:PROT?"));
        QCOMPARE(CmdAutoState, QStringLiteral(":SYST:AUTO:STAT?"));

        InitCommands(DialectChannelScpi);
        QCOMPARE(CmdMeasVolt4, QStringLiteral("VOUT4?"));
        QCOMPARE(CmdMeasVolt1, QStringLiteral(":CHAN1:MEAS:VOLT?"));
        QCOMPARE(CmdStatus, QStringLiteral("STATUS?"));
    }

    void writeCommands()
    {
        QCOMPARE(output(DialectChannelScpi, true), QStringLiteral(":OUTP:STAT 1"));
        QCOMPARE(output(DialectPlainScpi, false), QStringLiteral(":OUTP:STAT 0"));
        QCOMPARE(output(DialectShort, true), QStringLiteral("OUT1"));

        // One coupling code everywhere: 0 independent, 1 track, 2 parallel.
        QCOMPARE(coupling(DialectChannelScpi, CouplingIndependent), QStringLiteral(":OUTP:COUP:TRAC 0"));
        QCOMPARE(coupling(DialectChannelScpi, CouplingTrack), QStringLiteral(":OUTP:COUP:TRAC 1"));
        QCOMPARE(coupling(DialectChannelScpi, CouplingParallel), QStringLiteral(":OUTP:COUP:TRAC 2"));
        QCOMPARE(coupling(DialectPlainScpi, CouplingIndependent, 3), QStringLiteral("SYST:CONF:MSL 0"));
        QCOMPARE(coupling(DialectPlainScpi, CouplingParallel, 3), QStringLiteral("SYST:CONF:MSL 3"));
        QCOMPARE(coupling(DialectPlainScpi, CouplingTrack, 2), QStringLiteral("SYST:CONF:MSL 2"));
        QCOMPARE(coupling(DialectShort, CouplingIndependent), QStringLiteral("TRACK0"));
        QCOMPARE(coupling(DialectShort, CouplingTrack), QStringLiteral("TRACK1"));
        QCOMPARE(coupling(DialectShort, CouplingParallel), QStringLiteral("TRACK2"));

        QCOMPARE(saveMemory(DialectPlainScpi, 4), QStringLiteral("*SAV 4"));
        QCOMPARE(saveMemory(DialectShort, 10), QStringLiteral("SAV10"));
        QCOMPARE(recallMemory(DialectChannelScpi, 1), QStringLiteral("*RCL 1"));
        QCOMPARE(recallMemory(DialectShort, 2), QStringLiteral("RCL2"));
        QCOMPARE(autoRun(true), QStringLiteral(":SYST:AUTO:STAT 1"));
        QCOMPARE(autoRun(false), QStringLiteral(":SYST:AUTO:STAT 0"));
        QCOMPARE(autoStart(1), QStringLiteral(":SYST:AUTO:STAR 1"));
        QCOMPARE(autoEnd(9), QStringLiteral(":SYST:AUTO:END 9"));
        QCOMPARE(autoCycle(0), QStringLiteral(":SYST:AUTO:CYCL 0"));
        QCOMPARE(autoDelay(QStringLiteral("2.5")), QStringLiteral(":SYST:AUTO:DEL 2.5"));
        QCOMPARE(clearProtection(), QStringLiteral(":OUTP:PROT:CLE"));
        QCOMPARE(remote(), QStringLiteral("REMOTE"));

        const QString v = QStringLiteral("12.345");
        QCOMPARE(voltageSetPoint(DialectChannelScpi, 2, v), QStringLiteral(":CHAN2:VOLT 12.345"));
        QCOMPARE(voltageSetPoint(DialectPlainScpi, 2, v), QStringLiteral(":VOLT 12.345"));
        QCOMPARE(voltageSetPoint(DialectShort, 2, v), QStringLiteral("VSET2:12.345"));
        QCOMPARE(currentSetPoint(DialectChannelScpi, 1, v), QStringLiteral(":CHAN1:CURR 12.345"));
        QCOMPARE(currentSetPoint(DialectPlainScpi, 1, v), QStringLiteral(":CURR 12.345"));
        QCOMPARE(currentSetPoint(DialectShort, 4, v), QStringLiteral("ISET4:12.345"));
        QCOMPARE(overVoltage(DialectChannelScpi, 3, v), QStringLiteral(":CHAN3:PROT:VOLT 12.345"));
        QCOMPARE(overVoltage(DialectPlainScpi, 1, v), QStringLiteral(":VOLT:PROT 12.345"));
        QCOMPARE(overVoltage(DialectShort, 1, v), QString());
        QCOMPARE(overCurrent(DialectChannelScpi, 2, true), QStringLiteral(":CHAN2:PROT:CURR 1"));
        QCOMPARE(overCurrent(DialectPlainScpi, 1, false), QStringLiteral(":CURR:PROT 0"));
        QCOMPARE(overCurrent(DialectShort, 1, true), QString());
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
