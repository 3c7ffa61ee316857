// Command strings. That every dialect's queries and write commands are understood by the
// supply is checked against the virtual supply (tests/sim); here: dialect choice, what the
// supply cannot tell apart (channel numbers, coupling codes, empty entries).
#include "link/Commands.h"

#include <QTest>

using namespace Commands;

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void dialectSelection()
    {
        const QList<std::pair<const char *, Dialect>> cases{
            {"zep3303c", DialectShort}, {"krx6020", DialectPlainScpi}, {"KRXZEP-1", DialectShort},
            {"XPP-3202", DialectChannelScpi}, {"", DialectChannelScpi}};
        for (const auto &[type, dialect] : cases)
            QCOMPARE(dialectFor(QLatin1String(type)), dialect);
        // The main window may change the family word from its menu caption.
        QCOMPARE(dialectFor(QStringLiteral("ZEP-3303"), QStringLiteral("Abc")), DialectChannelScpi);
        QCOMPARE(dialectFor(QStringLiteral("xABC-12"), QStringLiteral("Abc")), DialectShort);
    }

    // Channel numbers and per-channel strings of each dialect; what a dialect lacks is
    // empty, so no "STATUS?" or protection query of another dialect is ever polled.
    void queryTables()
    {
        const CommandSet &channel = CommandSet::of(DialectChannelScpi);
        const CommandSet &plain = CommandSet::of(DialectPlainScpi);
        const CommandSet &shortSet = CommandSet::of(DialectShort);
        QCOMPARE(QStringList({QLatin1String(Terminator), channel.text(Query::MeasCurr, 3),
                              channel.text(Query::Ovp, 3), channel.text(Query::SetCurr, 2),
                              channel.text(Query::MeasCurr, 2)}),
                 QStringList({"\n", ":CHAN3:MEAS:CURR?", ":CHAN3:PROT:VOLT?", ":CHAN2:CURR?", ":CHAN2:MEAS:CURR?"}));
        QVERIFY(channel.text(Query::Status).isEmpty() && channel.text(Query::MeasVolt, 4).isEmpty()
                && channel.text(Query::Ovp, 4).isEmpty() && channel.text(Query::SetVolt, 4).isEmpty());
        QCOMPARE(channel.text(Query::OutputStatus), QStringLiteral(":OUTP:STAT?"));
        QCOMPARE(QStringList({plain.text(Query::MeasVolt, 3), plain.text(Query::Ocp, 2), plain.text(Query::SetCurr, 1)}),
                 QStringList({":MEAS:VOLT?", ":CURR:PROT?", ":CURR?"}));
        QCOMPARE(QStringList({shortSet.text(Query::MeasVolt, 4), shortSet.text(Query::Status),
                              shortSet.text(Query::Ovp, 1), shortSet.text(Query::Error)}),
                 QStringList({"VOUT4?", "STATUS?", "", ""}));
        QCOMPARE(shortSet.dialect(), DialectShort);
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
