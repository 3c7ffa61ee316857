// zepctl against the virtual supply on a pseudo-terminal: what it sends, what it prints and
// how it ends.
#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "common/Prompter.h"
#include "ports/PortProber.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "sim/PtySupplyServer.h"
#include "sim/SimulatedLink.h"
#include "sim/VirtualSupply.h"
#include "support/TestEnvironment.h"
#include "ZepctlRun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

class TestZepctl : public QObject
{
    Q_OBJECT
    ScriptedPrompter prompter;
    std::unique_ptr<ScopedPrompter> scoped;

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateUserFolders();
        scoped = std::make_unique<ScopedPrompter>(prompter);
    }

    // Options and durations; usage errors end with status 1 before anything is opened.
    void commandLine()
    {
        QString error;
        const auto o = CliOptions::parse({"--every", "500ms", "measure", "--for=10m", "--channels", "1,3", "--json"}, &error);
        QVERIFY(o);
        QCOMPARE(o->command, QStringLiteral("measure"));
        QCOMPARE(o->everyMs, 500);
        QCOMPARE(o->forMs, qint64(600000));
        QCOMPARE(o->channels, QList<int>({1, 3}));
        QVERIFY(o->json);
        const auto gpib = CliOptions::parse({"--gpib", "0:17", "get"}, &error);
        QVERIFY(gpib && gpib->gpibBoard == 0 && gpib->gpibAddress == 17);
        QCOMPARE(parseDurationMs(QStringLiteral("12h")), std::optional<qint64>(43200000));
        QCOMPARE(parseDurationMs(QStringLiteral("1.5")), std::optional<qint64>(1500));
        for (const QStringList &bad : {QStringList{"set"}, QStringList{"frobnicate"}, QStringList{"measure", "--every", "0s"},
                                       QStringList{"measure", "--channels", "5"}, QStringList{"get", "--baud", "fast"},
                                       QStringList{"identify", "extra"}, QStringList{}, QStringList{"get", "--gpib", "5"},
                                       QStringList{"get", "--port", "/dev/ttyS0", "--simulate"},
                                       QStringList{"get", "--dry-run"}})
            QVERIFY2(!CliOptions::parse(bad, &error), qPrintable(bad.join(QLatin1Char(' '))));

        const Outcome ports = run({"ports"});
        QCOMPARE(ports.code, 0);
        QCOMPARE(ports.out, QStringLiteral("/dev/ttyUSB0\tFT232R USB UART\n/dev/ttyS0\n"));
        // No port given and none remembered.
        QCOMPARE(run({"get"}).code, int(ExitCode::Usage));
    }

    void setThenGetOnEachDialect_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("channel SCPI") << "XPP-3202"
                                      << QStringList{":CHAN2:VOLT 12.5", ":CHAN2:CURR 1.2", ":OUTP:STAT 1"};
        QTest::newRow("plain SCPI") << "SPP-KRX20" << QStringList{":VOLT 12.5", ":CURR 1.2", ":OUTP:STAT 1"};
        QTest::newRow("short") << "ZEP-2303" << QStringList{"VSET2:12.5", "ISET2:1.2", "OUT1"};
    }

    // The set points go out in the supply's own dialect, the output last; each is read back
    // and printed, and a later get of the same supply finds them.
    void setThenGetOnEachDialect()
    {
        QFETCH(QString, type);
        QFETCH(QStringList, sent);
        Bench bench(type);
        const QString port = bench.link.portName();
        const QString channel = type.contains(QLatin1String("KRX")) ? QStringLiteral("ch1") : QStringLiteral("ch2");
        const Outcome set = run({"--port", port, "--baud", "115200", "set", "output=on", channel + ".voltage=12.5",
                                 channel + ".current=1.2"});
        QCOMPARE(set.code, 0);
        // Read back in the order asked.
        QCOMPARE(set.out, QStringLiteral("output=on\n%1.voltage=12.500\n%1.current=1.200\n").arg(channel));
        QStringList written;
        for (const QString &line : bench.wire)
            if (sent.contains(line))
                written << line;
        QCOMPARE(written, sent);

        const Outcome get = run({"--port", port, "--baud", "115200", "--json", "get", channel + ".voltage", "output"});
        QCOMPARE(get.code, 0);
        const QJsonObject json = QJsonDocument::fromJson(get.out.toUtf8()).object();
        QCOMPARE(json.value(channel + QStringLiteral(".voltage")).toString(), QStringLiteral("12.500"));
        QCOMPARE(json.value(QStringLiteral("output")).toString(), QStringLiteral("on"));
    }

    // A value above the model's maximum is refused, named with its limit, and nothing of the
    // whole set goes out.
    void aboveMaximumSendsNothing()
    {
        Bench bench(QStringLiteral("XPP-3202"));
        prompter.clear();
        const Outcome o = run({"--port", bench.link.portName(), "--baud", "115200", "set", "ch1.voltage=5", "ch3.voltage=7.5"});
        QCOMPARE(o.code, int(ExitCode::Refused));
        QVERIFY(o.out.isEmpty());
        for (const QString &line : bench.wire)
            QVERIFY2(!line.contains(QLatin1String(":VOLT ")), qPrintable(line));
    }

    // measure: a CSV header and lines, or one JSON object a line, each with time and per
    // channel volts, amps and watts; the count ends it.
    void measureLines()
    {
        Bench bench(QStringLiteral("XPP-3202"));
        bench.link.supply()->setVoltage(1, 12.5);
        bench.link.supply()->setLoad(1, 10);
        bench.link.supply()->setOutput(true);
        const QString port = bench.link.portName();
        const Outcome json = run({"--port", port, "--baud", "115200", "measure", "--json", "--count", "3",
                                  "--every", "200ms", "--channels", "1"});
        QCOMPARE(json.code, 0);
        const QStringList lines = json.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        for (const QString &line : lines) {
            QJsonParseError error;
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8(), &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(line));
            QVERIFY(QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs).isValid());
            const QJsonObject ch1 = o.value(QStringLiteral("ch1")).toObject();
            QCOMPARE(ch1.value(QStringLiteral("voltage")).toDouble(), 12.5);
            QCOMPARE(ch1.value(QStringLiteral("current")).toDouble(), 1.25);
            QCOMPARE(ch1.value(QStringLiteral("power")).toDouble(), 15.625);
            QVERIFY(!o.contains(QStringLiteral("ch2")));
        }
        const Outcome csv = run({"--port", port, "--baud", "115200", "measure", "--count", "2", "--every", "200ms"});
        QCOMPARE(csv.code, 0);
        const QStringList rows = csv.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.first(), QStringLiteral("time,ch1.voltage,ch1.current,ch1.power,ch2.voltage,ch2.current,ch2.power,"
                                              "ch3.voltage,ch3.current,ch3.power"));
        QVERIFY2(rows.at(1).section(QLatin1Char(','), 1, 3) == QLatin1String("12.500,1.250,15.6250"), qPrintable(rows.at(1)));
    }

    // --type skips identification; --dry-run prints the lines a set would send (in the
    // type's dialect), sends nothing to any port and changes no setting; a GPIB board that is not there is a
    // link failure.
    void typeDryRunAndGpib()
    {
        Bench bench(QStringLiteral("XPP-3202"));
        const Outcome typed = run({"--port", bench.link.portName(), "--baud", "115200", "--type", "XPP-3202", "set",
                                   "ch1.voltage=5"});
        QCOMPARE(typed.code, 0);
        QCOMPARE(typed.out, QStringLiteral("ch1.voltage=5.000\n"));
        QVERIFY(!bench.wire.contains(QStringLiteral("*IDN?")));
        QVERIFY(bench.wire.contains(QStringLiteral(":CHAN1:VOLT 5")));
        QCOMPARE(run({"--port", bench.link.portName(), "--type", "NO-SUCH", "get"}).code, int(ExitCode::Usage));

        const int sentBefore = bench.wire.size();
        const Outcome dry = run({"--dry-run", "--type", "ZEP-2303", "set", "output=on", "ch2.voltage=12.5"});
        QCOMPARE(dry.code, 0);
        QVERIFY2(dry.out.startsWith(QStringLiteral("VSET2:12.5\nOUT1\n")), qPrintable(dry.out));
        QCOMPARE(bench.wire.size(), sentBefore);
        // The desktop program still remembers the supply last really connected.
        QCOMPARE(SettingsStore::read(SettingKeys::MType), QStringLiteral("XPP-3202"));

        prompter.clear();
        const Outcome gpib = run({"--gpib", "0:5", "--type", "XPP-3202", "get"});
        QCOMPARE(gpib.code, int(ExitCode::Link));
        QVERIFY(!prompter.messages.isEmpty());
    }

    // The cable pulled while measuring: status 2 and a message, within seconds.
    void pulledCable()
    {
        Bench bench(QStringLiteral("XPP-3202"));
        prompter.clear();
        QElapsedTimer clock;
        const Outcome o = run({"--port", bench.link.portName(), "--baud", "115200", "measure", "--every", "200ms"},
                              [&](CliRun &) {
                                  QVERIFY(QTest::qWaitFor([&] { return bench.wire.size() > 30; }, 20000));
                                  clock.start();
                                  bench.link.server()->dropLink();
                              });
        QCOMPARE(o.code, int(ExitCode::Link));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!prompter.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestZepctl)
#include "tst_zepctl.moc"
