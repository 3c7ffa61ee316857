// zepctl log and run against the virtual supply on a pseudo-terminal: the records they leave
// in the desktop program's store, the lines they send and how they end.
#include "cli/LoggedRun.h"
#include "common/Prompter.h"
#include "datalog/RecordStore.h"
#include "datalog/ServerRecordStore.h"
#include "sim/VirtualSupply.h"
#include "support/TestEnvironment.h"
#include "support/TestPostgres.h"
#include "ZepctlRun.h"

#include <QTemporaryDir>

namespace {

// The saved record `recNo` as the desktop program lists it, with its samples.
struct SavedRecord {
    RecordInfo info;
    QList<SampleRow> samples;
};

std::optional<SavedRecord> savedRecord(const QString &recNo)
{
    RecordStore store;
    if (!store.open(RecordStore::defaultFolder(), RecordStore::IntegrityCheck::Now, RecordStore::Access::ReadOnly).ok())
        return std::nullopt;
    const auto records = store.savedRecords();
    if (!records)
        return std::nullopt;
    for (const RecordInfo &r : *records) {
        if (r.recNo.trimmed() != recNo)
            continue;
        SavedRecord saved{r, {}};
        store.forEachRecordSampleView(recNo, [&saved](const SampleView &v) {
            saved.samples << v.toRow();
            return true;
        });
        return saved;
    }
    return std::nullopt;
}

// The lines of `wire` that `expected` holds, in the order sent.
QStringList sentOf(const QStringList &wire, const QStringList &expected)
{
    QStringList sent;
    for (const QString &line : wire)
        if (expected.contains(line))
            sent << line;
    return sent;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QString &text)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString value(const QString &out, const QString &name)
{
    for (const QString &line : out.split(QLatin1Char('\n')))
        if (line.startsWith(name + QLatin1Char('=')))
            return line.mid(name.size() + 1);
    return QString();
}

// `zepctl run` of the sequence file `file` on `bench`'s supply, with `options`; `whileOn` is
// called once the output has been switched on (":OUTP:STAT 1").
Outcome runSequence(Bench &bench, const QString &file, const QStringList &options,
                    const std::function<void(CliRun &)> &whileOn, int timeoutMs = 30000)
{
    return run(QStringList{"--port", bench.link.portName(), "--baud", "115200", "run", file} + options,
               [&](CliRun &cli) {
                   QVERIFY(QTest::qWaitFor([&] { return bench.wire.contains(QStringLiteral(":OUTP:STAT 1")); }, 20000));
                   whileOn(cli);
               },
               timeoutMs);
}

} // namespace

class TestZepctlLog : public QObject
{
    Q_OBJECT
    ScriptedPrompter prompter;
    std::unique_ptr<ScopedPrompter> scoped;
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateUserFolders();
        scoped = std::make_unique<ScopedPrompter>(prompter);
        QVERIFY(dir.isValid());
    }

    // A spreadsheet's CSV: columns in any order, quoted fields with commas and line breaks,
    // comments and blank lines skipped, each step's line kept for its messages; and what the
    // engine records at each --every and --for.
    void sequenceFileAndLengths()
    {
        const auto parsed = SequenceFile::parse(QStringLiteral("# charge\r\n"
                                                               "end,repeat,set\r\n"
                                                               "\r\n"
                                                               "\"until ch2.voltage >= 4.2 for 30s timeout 2h\",,\"ch2.voltage=4.2\r\n output=on\"\r\n"
                                                               "for 1.5s,3,\r\n"
                                                               "until ch1.power < 2,,\n"),
                                                QStringLiteral("s.csv"));
        const auto &steps = std::get<QList<SequenceStep>>(parsed);
        QCOMPARE(steps.size(), 3);
        QCOMPARE(steps[0].line, 4);
        QCOMPARE(steps[0].assignments, QStringList({"ch2.voltage=4.2", "output=on"}));
        QCOMPARE(steps[0].channel, 2);
        QCOMPARE(steps[0].forMs, qint64(30000));
        QCOMPARE(steps[0].timeoutMs, qint64(7200000));
        QVERIFY(steps[0].met(4.2) && !steps[0].met(4.19));
        QCOMPARE(steps[1].line, 6);
        QCOMPARE(steps[1].end, SequenceStep::End::Time);
        QCOMPARE(steps[1].repeat, 3);
        QVERIFY(steps[2].quantity == SequenceStep::Quantity::Power && steps[2].met(1.9) && !steps[2].met(2));
        const QList<std::pair<QString, QString>> wrong{
            {"set,end\nch1.voltage=5,for ever\n", "s.csv:2: "},
            {"set,end\n\nch1.voltage 5,for 1s\n", "s.csv:3: ch1.voltage: expected NAME=VALUE"},
            {"set,end,repeat\noutput=on,for 1s,0\n", "s.csv:2: repeat 0"},
            {"set,until\n", "s.csv:1: "},
            {"set,end\n\"output=on,for 1s\n", "s.csv:2: a quoted field is not closed"},
            {"set,end\n", "s.csv:1: no steps"}};
        for (const auto &[text, error] : wrong)
            QVERIFY2(std::get<QString>(SequenceFile::parse(text, QStringLiteral("s.csv"))).startsWith(error), qPrintable(text));

        // --every is one of the record setup's scales; --for fits its days.
        const auto tenSeconds = std::get<CliLog::Period>(CliLog::period(1000, 10000));
        QCOMPARE(tenSeconds.seconds, 10);
        QCOMPARE(tenSeconds.scale, 0);
        const auto week = std::get<CliLog::Period>(CliLog::period(30000, qint64(7) * 86400000));
        QCOMPARE(week.days, 7);
        QCOMPARE(week.scale, 4);
        const auto open = std::get<CliLog::Period>(CliLog::period(5000, 0));
        QCOMPARE(open.days * 24 + open.hours, 47);
        QVERIFY(std::get<QString>(CliLog::period(60000, 30000)).contains(QLatin1String("at least one sample, 1m")));
    }

    // log for 10 s at one sample a second: a numbered record the desktop program lists with
    // its description and 10 to 11 samples of the supply's readings. It only polls: the
    // XPP-3202 reads channel 1 with ":CHAN1:MEAS:VOLT?" and ":CHAN1:MEAS:CURR?" and sends no setting.
    void logMakesRecord()
    {
        Bench bench(QStringLiteral("XPP-3202"));
        bench.link.supply()->setVoltage(1, 12.5);
        bench.link.supply()->setLoad(1, 10);
        bench.link.supply()->setOutput(true);
        const Outcome o = run({"--port", bench.link.portName(), "--baud", "115200", "log", "--every", "1s", "--for",
                               "10s", "--description", "bench 7, burn-in"},
                              {}, 60000);
        QCOMPARE(o.code, 0);
        const QString recNo = o.out.trimmed();
        QVERIFY2(!recNo.isEmpty() && recNo.toInt() > 0, qPrintable(o.out));
        const auto saved = savedRecord(recNo);
        QVERIFY(saved);
        QCOMPARE(saved->info.comment, QStringLiteral("bench 7, burn-in"));
        QVERIFY2(saved->samples.size() >= 10 && saved->samples.size() <= 11, qPrintable(QString::number(saved->samples.size())));
        QCOMPARE(saved->samples.last().channels[0].voltage, QStringLiteral("12.500"));
        QCOMPARE(saved->samples.last().channels[0].current, QStringLiteral("1.250"));
        QVERIFY(bench.wire.contains(QStringLiteral(":CHAN1:MEAS:VOLT?")) && bench.wire.contains(QStringLiteral(":CHAN1:MEAS:CURR?")));
        for (const QString &line : bench.wire)
            QVERIFY2(!line.contains(QLatin1String(":VOLT ")) && !line.contains(QLatin1String(":CURR ")), qPrintable(line));

        // What the engine cannot record is refused with its limit before anything is opened.
        QString error;
        auto refused = LoggedRun::prepare(*CliOptions::parse({"log", "--for", "30h"}, &error));
        QVERIFY(std::get<QString>(refused).contains(QLatin1String("at most 23h59m59s")));
        refused = LoggedRun::prepare(*CliOptions::parse({"log", "--every", "3s"}, &error));
        QVERIFY(std::get<QString>(refused).contains(QLatin1String("1s, 2s, 5s, 10s, 30s, 1m, 5m, 10m, 30m, 1h")));
        QCOMPARE(run({"--simulate", "log", "--every", "3s"}).code, int(ExitCode::Usage));
    }

    // A charge at 0.5 A (5 V into 10 ohms) ended when the current falls under 0.1 A for 2 s:
    // the load rises to 100 ohms (0.05 A) after about 4 s. Then 3 V for 2 s and the output
    // off. The summary's charge is the current's integral over the recorded samples.
    void sequenceEndsOnFallingCurrent()
    {
        Bench bench(QStringLiteral("XPP-3202"));
        bench.link.supply()->setLoad(1, 10);
        const QString file = writeFile(dir, QStringLiteral("charge.csv"),
                                       QStringLiteral("set,end,repeat\n"
                                                      "# charge until the current falls\n"
                                                      "ch1.voltage=5 ch1.current=1 output=on,until ch1.current < 0.1 for 2s timeout 60s,\n"
                                                      "\n"
                                                      "ch1.voltage=3,for 2s,1\n"
                                                      "output=off,,\n"));
        QElapsedTimer clock;
        qint64 highMs = 0;
        const Outcome o = runSequence(bench, file, {"--description", "charge"},
                                      [&](CliRun &) {
                                          clock.start();
                                          QTest::qWait(4000);
                                          bench.link.supply()->setLoad(1, 100);
                                          highMs = clock.elapsed();
                                      },
                                      60000);
        QCOMPARE(o.code, 0);
        // The last line written may still be on its way through the terminal when the run ends.
        (void)QTest::qWaitFor([&] { return bench.wire.lastIndexOf(QStringLiteral(":OUTP:STAT 0")) > bench.wire.indexOf(QStringLiteral(":CHAN1:VOLT 3")); }, 5000);
        // The connection tells the output's state as it found it (":OUTP:STAT 0") before the steps.
        const QStringList steps = bench.wire.mid(bench.wire.indexOf(QStringLiteral(":CHAN1:VOLT 5")));
        const QStringList expected{":CHAN1:VOLT 5", ":CHAN1:CURR 1", ":OUTP:STAT 1", ":CHAN1:VOLT 3", ":OUTP:STAT 0"};
        QVERIFY2(sentOf(steps, expected) == expected, qPrintable(steps.join(QStringLiteral(" | "))));
        // The fall was waited for: 2 s under 0.1 A, then 2 s at 3 V.
        QVERIFY2(clock.elapsed() >= highMs + 4000, qPrintable(QString::number(clock.elapsed())));

        const auto saved = savedRecord(value(o.out, QStringLiteral("record")));
        QVERIFY2(saved, qPrintable(o.out));
        QCOMPARE(saved->info.comment, QStringLiteral("charge"));
        // By hand, from the recorded readings: trapezoids over the samples' seconds. The
        // samples hold the charge at 0.5 A and the fall to 0.05 A.
        int high = 0, low = 0;
        double ampSeconds = 0, wattSeconds = 0;
        const auto &rows = saved->samples;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const ChannelReading &r = rows[i].channels[0];
            (r.current == QLatin1String("0.500") ? high : low) += 1;
            if (i == 0)
                continue;
            const ChannelReading &before = rows[i - 1].channels[0];
            const double seconds = rows[i].timeTick - rows[i - 1].timeTick;
            ampSeconds += (before.current.toDouble() + r.current.toDouble()) / 2 * seconds;
            wattSeconds += (before.voltage.toDouble() * before.current.toDouble()
                            + r.voltage.toDouble() * r.current.toDouble()) / 2 * seconds;
        }
        QVERIFY2(high >= 2 && low >= 2, qPrintable(QStringLiteral("%1 %2").arg(high).arg(low)));
        const double charge = value(o.out, QStringLiteral("ch1.charge.ah")).toDouble();
        QVERIFY2(qAbs(charge - ampSeconds / 3600) < 1e-6, qPrintable(QStringLiteral("%1 %2").arg(charge).arg(ampSeconds / 3600)));
        const double energy = value(o.out, QStringLiteral("ch1.energy.wh")).toDouble();
        QVERIFY2(qAbs(energy - wattSeconds / 3600) < 1e-6, qPrintable(QStringLiteral("%1 %2").arg(energy).arg(wattSeconds / 3600)));
        QVERIFY(value(o.out, QStringLiteral("duration.s")).toDouble() >= 8);
    }

    // Ctrl+C in the middle of a ten-minute step: the output is switched off (":OUTP:STAT 0"),
    // the samples so far are saved as a record and the run ends as interrupted.
    void interruptSwitchesOutputOff()
    {
        Bench bench(QStringLiteral("XPP-3202"));
        const QString file = writeFile(dir, QStringLiteral("soak.csv"),
                                       QStringLiteral("set,end\nch1.voltage=5 output=on,for 10m\n"));
        qsizetype sentBefore = 0;
        const Outcome o = runSequence(bench, file, {"--json"}, [&](CliRun &cli) {
            QTest::qWait(3500);
            sentBefore = bench.wire.size();
            cli.interrupt();
        });
        QCOMPARE(o.code, int(ExitCode::Link));
        // The last line written may still be on its way through the terminal.
        QTRY_VERIFY(bench.wire.mid(sentBefore).contains(QStringLiteral(":OUTP:STAT 0")));
        QVERIFY(!bench.link.supply()->outputOn());
        const QJsonObject summary = QJsonDocument::fromJson(o.out.toUtf8()).object();
        const auto saved = savedRecord(summary.value(QStringLiteral("record")).toString());
        QVERIFY2(saved, qPrintable(o.out));
        QVERIFY2(saved->samples.size() >= 2, qPrintable(QString::number(saved->samples.size())));
    }

    // A condition never met within its time-out ends the run as refused, without sending the
    // next step (":CHAN1:VOLT 1"); with --leave-output the output stays on (no ":OUTP:STAT 0"
    // after the time-out) and the samples so far are saved.
    void stepTimeOutLeavesOutput()
    {
        Bench bench(QStringLiteral("XPP-3202"));
        bench.link.supply()->setLoad(1, 10);
        const QString file = writeFile(dir, QStringLiteral("stuck.csv"),
                                       QStringLiteral("set,end\n"
                                                      "ch1.voltage=5 ch1.current=1 output=on,until ch1.current < 0.1 timeout 3s\n"
                                                      "ch1.voltage=1,for 1s\n"));
        qsizetype sentBefore = -1;
        const Outcome o = runSequence(bench, file, {"--leave-output"}, [&](CliRun &) { sentBefore = bench.wire.size(); });
        QCOMPARE(o.code, int(ExitCode::Refused));
        QVERIFY(sentBefore >= 0);
        // Lines still on their way through the terminal arrive before they are looked for.
        QTest::qWait(300);
        QVERIFY2(!bench.wire.mid(sentBefore).contains(QStringLiteral(":OUTP:STAT 0")), qPrintable(bench.wire.join(u'|')));
        QVERIFY(!bench.wire.contains(QStringLiteral(":CHAN1:VOLT 1")));
        QVERIFY(bench.link.supply()->outputOn());
        const auto saved = savedRecord(value(o.out, QStringLiteral("record")));
        QVERIFY2(saved && saved->samples.size() >= 2, qPrintable(o.out));
        QVERIFY(value(o.out, QStringLiteral("ch1.charge.ah")).toDouble() > 0);
    }

    // With the lab server as the place in the settings, log saves its record there; when the
    // server is gone by the end, the record is saved on this computer instead, and nothing
    // recorded is lost.
    void logToLabServer()
    {
        TestPostgres pg;
        QString why;
        QVERIFY2(pg.start(&why), qPrintable(why));
        const RecordPlaceSettings where = pg.labServer(QStringLiteral("lab"));
        QVERIFY2(pg.createDatabase(where.database, &why), qPrintable(why));
        where.write();

        const Outcome there = run({"--simulate", "log", "--every", "1s", "--for", "3s", "--description", "on the server"}, {}, 60000);
        QCOMPARE(there.code, 0);
        RecordStore local;
        QVERIFY(local.open(RecordStore::defaultFolder()).ok());
        ServerRecordStore server(where, local);
        const auto onServer = server.findRecord(there.out.trimmed());
        QVERIFY2(onServer && onServer->comment == QStringLiteral("on the server"), qPrintable(there.out));
        QCOMPARE(server.loadRecord(onServer->recNo), SavedRecords::LoadResult::Loaded);
        const qint64 samples = local.bufferCount().value_or(0);
        QVERIFY2(samples >= 3 && samples <= 4, qPrintable(QString::number(samples)));
        QVERIFY(local.clearBuffer());
        local.close();

        const Outcome here = run({"--simulate", "log", "--every", "1s", "--for", "3s", "--description", "kept here"},
                                 [&](CliRun &) { QVERIFY(pg.kill()); }, 60000);
        QCOMPARE(here.code, 0);
        const auto saved = savedRecord(here.out.trimmed());
        QVERIFY2(saved && saved->info.comment == QStringLiteral("kept here") && saved->samples.size() >= 3,
                 qPrintable(here.out));
        RecordPlaceSettings().write();
    }

    // Nothing is sent for a sequence with a syntax error (named by file:line) or a value above
    // the model's maximum (neither ":CHAN1:VOLT 5" nor ":OUTP:STAT 1" of its first step goes
    // out); a store that cannot be written ends with status 4 before the recording begins.
    void refusalsSendNothing()
    {
        const QString bad = writeFile(dir, QStringLiteral("bad.csv"),
                                      QStringLiteral("set,end\n# comment\nch1.voltage=5,until ch1.current << 1\n"));
        QString error;
        const auto parsed = LoggedRun::prepare(*CliOptions::parse({"run", bad}, &error));
        QVERIFY(std::get<QString>(parsed).startsWith(bad + QStringLiteral(":3: ")));
        {
            Bench bench(QStringLiteral("XPP-3202"));
            QCOMPARE(run({"--port", bench.link.portName(), "--baud", "115200", "run", bad}).code, int(ExitCode::Usage));
            QVERIFY(bench.wire.isEmpty());
        }
        Bench bench(QStringLiteral("XPP-3202"));
        const QString high = writeFile(dir, QStringLiteral("high.csv"),
                                       QStringLiteral("set,end\nch1.voltage=5 output=on,for 1s\nch1.voltage=40,for 1s\n"));
        QCOMPARE(run({"--port", bench.link.portName(), "--baud", "115200", "run", high}).code, int(ExitCode::Refused));
        for (const QString &line : bench.wire)
            QVERIFY2(!line.startsWith(QLatin1String(":CHAN1:VOLT ")) && line != QLatin1String(":OUTP:STAT 1"), qPrintable(line));

        // The store's folder would be under a plain file.
        const QString folder = qEnvironmentVariable("ZEP_DATA_DIR");
        qputenv("ZEP_DATA_DIR", (writeFile(dir, QStringLiteral("plain"), QString()) + QStringLiteral("/ZEP-1-0")).toLocal8Bit());
        bench.link.supply()->setOutput(true);
        const Outcome o = run({"--port", bench.link.portName(), "--baud", "115200", "log", "--for", "5s"});
        qputenv("ZEP_DATA_DIR", folder.toLocal8Bit());
        QCOMPARE(o.code, int(ExitCode::Store));
        QVERIFY(o.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestZepctlLog)
#include "tst_zepctl_log.moc"
