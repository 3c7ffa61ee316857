// Command strings. That every dialect's queries and write commands are understood by the
// supply is checked against the virtual supply (tests/sim); here: dialect choice, what the
// supply cannot tell apart (channel numbers, coupling codes, empty entries) and which
// strings a dialect switch leaves behind.
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
        const QList<std::pair<const char *, Dialect>> cases{
            {"ZEP-3303", DialectShort}, {"zep3303c", DialectShort}, {"KRX-6020", DialectPlainScpi},
            {"krx6020", DialectPlainScpi}, {"KRXZEP-1", DialectShort},  // family word first
            {"XPP-3202", DialectChannelScpi}, {"", DialectChannelScpi}};
        for (const auto &[type, dialect] : cases)
            QCOMPARE(dialectFor(QLatin1String(type)), dialect);
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
        QCOMPARE(QStringList({CmdTerminator, CmdMeasCurr3, CmdOvp3, CmdOcp1, CmdSetCurr2, measCurr(2)}),
                 QStringList({"\n", ":CHAN3:MEAS:CURR?", ":CHAN3:PROT:VOLT?", ":CHAN1:PROT:CURR?",
                              ":CHAN2:CURR?", ":CHAN2:MEAS:CURR?"}));
        QVERIFY(CmdStatus.isEmpty() && CmdMeasVolt4.isEmpty() && ovp(4).isEmpty());

        InitCommandsPlainScpi();
        for (int ch = 1; ch <= 3; ++ch)
            QCOMPARE(QStringList({measVolt(ch), ocp(ch), setCurr(ch)}),
                     QStringList({":MEAS:VOLT?", ":CURR:PROT?", ":CURR?"}));

        // The short dialect leaves what it does not assign: the previous dialect's strings.
        InitCommandsShort();
        QCOMPARE(QStringList({CmdMeasVolt4, CmdSetCurr4, CmdTrackStatus, CmdStatus, CmdError, CmdOvp1,
                              CmdAutoState}),
                 QStringList({"VOUT4?", "ISET4?", "STATUS?", "STATUS?", ":SYST:ERR?", ":VOLT:PROT?",
                              ":SYST:AUTO:STAT?"}));
        InitCommands(DialectChannelScpi);
        QCOMPARE(QStringList({CmdMeasVolt4, CmdMeasVolt1, CmdStatus}),
                 QStringList({"VOUT4?", ":CHAN1:MEAS:VOLT?", "STATUS?"}));
    }

    void writeCommands()
    {
        // One coupling code everywhere: 0 independent, 1 track, 2 parallel.
        const QList<std::pair<QString, const char *>> cases{
            {coupling(DialectChannelScpi, CouplingIndependent), ":OUTP:COUP:TRAC 0"},
            {coupling(DialectChannelScpi, CouplingTrack), ":OUTP:COUP:TRAC 1"},
            {coupling(DialectChannelScpi, CouplingParallel), ":OUTP:COUP:TRAC 2"},
            {coupling(DialectPlainScpi, CouplingIndependent, 3), "SYST:CONF:MSL 0"},
            {coupling(DialectPlainScpi, CouplingParallel, 3), "SYST:CONF:MSL 3"},
            {coupling(DialectPlainScpi, CouplingTrack, 2), "SYST:CONF:MSL 2"},
            {coupling(DialectShort, CouplingIndependent), "TRACK0"},
            {coupling(DialectShort, CouplingTrack), "TRACK1"},
            {coupling(DialectShort, CouplingParallel), "TRACK2"},
            {saveMemory(DialectShort, 10), "SAV10"},
            {clearProtection(), ":OUTP:PROT:CLE"},
            {currentSetPoint(DialectChannelScpi, 1, QStringLiteral("1.5")), ":CHAN1:CURR 1.5"},
            {overVoltage(DialectChannelScpi, 3, QStringLiteral("12.345")), ":CHAN3:PROT:VOLT 12.345"},
            {overCurrent(DialectPlainScpi, 1, false), ":CURR:PROT 0"},
            {overVoltage(DialectShort, 1, QStringLiteral("1")), ""},
            {overCurrent(DialectShort, 1, true), ""}};
        for (const auto &[actual, expected] : cases)
            QCOMPARE(actual, QLatin1String(expected));
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
