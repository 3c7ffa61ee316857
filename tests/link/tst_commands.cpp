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
        for (QString *s : {&CmdMeasVolt4, &CmdStatus, &CmdOvp1})
            s->clear();
    }

    void dialectSelection()
    {
        const QList<std::pair<const char *, Dialect>> cases{
            {"zep3303c", DialectShort}, {"krx6020", DialectPlainScpi}, {"KRXZEP-1", DialectShort},
            {"XPP-3202", DialectChannelScpi}, {"", DialectChannelScpi}};
        for (const auto &[type, dialect] : cases)
            QCOMPARE(dialectFor(QLatin1String(type)), dialect);
        // The main window may change the family word from its menu caption.
        FamilyWord = QStringLiteral("Abc");
        QCOMPARE(dialectFor(QStringLiteral("ZEP-3303")), DialectChannelScpi);
        QCOMPARE(dialectFor(QStringLiteral("xABC-12")), DialectShort);
    }

    // Channel numbers and per-channel strings of each dialect.
    void queryTables()
    {
        InitCommandsChannelScpi();
        QCOMPARE(QStringList({CmdTerminator, CmdMeasCurr3, CmdOvp3, CmdSetCurr2, measCurr(2)}),
                 QStringList({"\n", ":CHAN3:MEAS:CURR?", ":CHAN3:PROT:VOLT?", ":CHAN2:CURR?", ":CHAN2:MEAS:CURR?"}));
        QVERIFY(CmdStatus.isEmpty() && CmdMeasVolt4.isEmpty() && ovp(4).isEmpty());
        InitCommandsPlainScpi();
        QCOMPARE(QStringList({measVolt(3), ocp(2), setCurr(1)}), QStringList({":MEAS:VOLT?", ":CURR:PROT?", ":CURR?"}));
        // A switch of dialect leaves nothing of the previous one: the short dialect has no
        // protection queries, and back on channel SCPI (a failed four-channel type, then a
        // three-channel supply) no "STATUS?" stays in the polling cycle.
        InitCommandsShort();
        QCOMPARE(QStringList({CmdMeasVolt4, CmdStatus, CmdOvp1, CmdError}), QStringList({"VOUT4?", "STATUS?", "", ""}));
        InitCommandsChannelScpi();
        QVERIFY(CmdStatus.isEmpty() && CmdMeasVolt4.isEmpty() && CmdSetVolt4.isEmpty());
        QCOMPARE(CmdOutputStatus, QStringLiteral(":OUTP:STAT?"));
    }

    // One coupling code everywhere: 0 independent, 1 track, 2 parallel; entries a dialect
    // lacks are empty.
    void writeCommands()
    {
        const QList<std::pair<QString, const char *>> cases{
            {coupling(DialectChannelScpi, CouplingParallel), ":OUTP:COUP:TRAC 2"},
            {coupling(DialectPlainScpi, CouplingParallel, 3), "SYST:CONF:MSL 3"},
            {coupling(DialectPlainScpi, CouplingTrack, 2), "SYST:CONF:MSL 2"},
            {coupling(DialectShort, CouplingTrack), "TRACK1"},
            {saveMemory(DialectShort, 10), "SAV10"},
            {overVoltage(DialectChannelScpi, 3, QStringLiteral("12.345")), ":CHAN3:PROT:VOLT 12.345"},
            {overCurrent(DialectPlainScpi, 1, false), ":CURR:PROT 0"},
            {overVoltage(DialectShort, 1, QStringLiteral("1")), ""}};
        for (const auto &[actual, expected] : cases)
            QCOMPARE(actual, QLatin1String(expected));
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
