// The serial transport and the task engine end to end on both real transports against the
// virtual supply: serial on a pseudo-terminal, GPIB on the virtual bus.
#include "common/Prompter.h"
#include "link/CommTasker.h"
#include "link/Commands.h"
#include "link/transport/BoundedInput.h"
#include "link/transport/LinuxGpibBoard.h"
#include "link/transport/PortLock.h"
#include "link/transport/SerialTransport.h"
#include "sim/PtySupplyServer.h"
#include "sim/VirtualGpibBus.h"
#include "sim/VirtualSupply.h"
#include "support/TestEnvironment.h"
#include "gpib_standin.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <utility>

namespace {

constexpr int GpibBoardNo = 0;
constexpr int GpibAddress = 7;

// The first channel's voltage query of the three-channel supplies.
const QString MeasVolt1 = QStringLiteral(":CHAN1:MEAS:VOLT?");

// A delivery target: the answers it received and the time-outs it was told of.
struct Sink : QObject {
    QStringList values;
    int timeouts = 0;
};

// A virtual supply behind the stand-in GPIB library: what is written goes to the supply, its
// answer (with the line end the supplies send) waits for the next read.
struct StandinDevice {
    explicit StandinDevice(std::shared_ptr<sim::VirtualSupply> s) : supply(std::move(s)) {}

    static void write(void *context, const char *data, long size)
    {
        auto *self = static_cast<StandinDevice *>(context);
        const std::optional<QString> answer = self->supply->handleLine(QString::fromLatin1(data, size));
        self->answer = answer ? (*answer + QLatin1Char('\n')).toLatin1() : QByteArray();
    }
    static long read(void *context, char *buffer, long size)
    {
        const QByteArray answer = std::exchange(static_cast<StandinDevice *>(context)->answer, QByteArray());
        const long n = std::min<long>(size, answer.size());
        std::memcpy(buffer, answer.constData(), size_t(n));
        return answer.isEmpty() ? -1 : n;
    }

    std::shared_ptr<sim::VirtualSupply> supply;
    QByteArray answer;  // empty: none
};

// The stand-in library as the program loads it, and its hook for attaching devices.
ZepGpibStandinAttach standinAttach()
{
    void *handle = dlopen(GPIB_STANDIN, RTLD_NOW | RTLD_LOCAL);
    return handle ? reinterpret_cast<ZepGpibStandinAttach>(dlsym(handle, "zepGpibStandinAttach")) : nullptr;
}

// The engine on one link to one virtual supply: "RS232" on a pseudo-terminal, "GPIB" on the
// virtual bus, "GPIB library" through the stand-in GPIB library loaded with dlopen.
struct LinkRig {
    LinkRig(const QString &link, const QString &type, int baud = 115200)
        : supply(sim::VirtualSupply::create(type))
    {
        engine.CommType = link;
        if (link == QLatin1String("RS232")) {
            server = std::make_unique<sim::PtySupplyServer>(*supply);
            ok = server->start(dir.filePath(QStringLiteral("link")))
                 && serial.open(server->portName(), baud);
            engine.setSerialIo(&serial);
        } else if (link == QLatin1String("GPIB library")) {
            engine.CommType = QStringLiteral("GPIB");
            standin = std::make_unique<StandinDevice>(supply);
            const ZepGpibStandinDevice device{standin.get(), &StandinDevice::write, &StandinDevice::read};
            attach = standinAttach();
            if (attach)
                attach(GpibBoardNo, GpibAddress, &device);
            libraryBoard = std::make_unique<LinuxGpibBoard>(nullptr, QStringLiteral(GPIB_STANDIN));
            libraryBoard->setBoard(GpibBoardNo);
            libraryBoard->setPrimaryAddress(GpibAddress);
            ok = attach && libraryBoard->configure();
            engine.setGpibBoard(libraryBoard.get());
        } else {
            sim::VirtualGpibBus::instance().attach(GpibBoardNo, GpibAddress, supply);
            gpib.setBoard(GpibBoardNo);
            gpib.setPrimaryAddress(GpibAddress);
            ok = gpib.configure();
            engine.setGpibBoard(&gpib);
        }
    }
    ~LinkRig()
    {
        sim::VirtualGpibBus::instance().clear();
        libraryBoard.reset();  // its worker thread ends before the device goes
        if (attach)
            attach(GpibBoardNo, GpibAddress, nullptr);
    }

    bool query(const QString &line, Sink &sink)
    {
        return engine.ExecQueryTask(line, 5, &sink, [&sink](const QString &a) { sink.values << a; });
    }
    bool waitIdle() { return QTest::qWaitFor([this] { return engine.isIdle(); }, 15000); }
    // One query to a fresh target, run to the end: what the target received.
    QStringList deliver(const QString &line)
    {
        Sink sink;
        return query(line, sink) && waitIdle() ? sink.values : QStringList(QStringLiteral("<stalled>"));
    }

    QTemporaryDir dir;
    std::shared_ptr<sim::VirtualSupply> supply;
    std::unique_ptr<sim::PtySupplyServer> server;
    SerialTransport serial;
    sim::VirtualGpibBoard gpib;
    std::unique_ptr<StandinDevice> standin;
    ZepGpibStandinAttach attach = nullptr;
    std::unique_ptr<LinuxGpibBoard> libraryBoard;
    CommTasker engine;
    bool ok = false;
};

// One query on the transport, run to its end: the text it reports.
QString ask(SerialTransport &serial, const QString &line)
{
    QSignalSpy finished(&serial, &SerialIo::queryFinished);
    serial.startQuery(line);
    if (!finished.wait(5000))
        return QStringLiteral("<no end>");
    return finished.first().first().toString();
}

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const qsizetype at = text.indexOf("\nVmRSS:");
    return at < 0 ? 0 : text.mid(at + 7).trimmed().split(' ').first().toLongLong();
}

// Pushes `total` bytes through the supply's line, as fast as the program takes them: lines
// of `lineLength` bytes, or no line end at all when it is 0. Calls `during` after every
// step; bounded in steps.
void flood(sim::PtySupplyServer &server, qint64 total, qint64 lineLength, const std::function<void()> &during)
{
    static const QByteArray noise(64 * 1024, 'x');
    qint64 sent = 0;
    for (int step = 0; sent < total && step < 200000; ++step) {
        const qint64 inLine = lineLength > 0 ? sent % (lineLength + 1) : 0;
        if (lineLength > 0 && inLine == lineLength) {
            sent += server.inject("\n", 1);
        } else {
            const qint64 room = lineLength > 0 ? lineLength - inLine : total - sent;
            sent += server.inject(noise.constData(), std::min({room, total - sent, qint64(noise.size())}));
        }
        QCoreApplication::processEvents();
        during();
    }
    QVERIFY2(sent == total, "the program stopped reading");
}

} // namespace

class TstEngineLinks : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void serialOpeningSequenceAndReadTiming()
    {
        LinkRig rig(QStringLiteral("RS232"), QStringLiteral("XPP-3202"));
        QVERIFY(rig.ok);
        QTRY_COMPARE(rig.supply->receivedLines(), QStringList(QStringLiteral("REMOTE")));
        QCOMPARE(rig.server->portBaudRate(), 115200);
        const QSerialPort &port = rig.serial.port();
        QVERIFY(port.dataBits() == QSerialPort::Data8 && port.parity() == QSerialPort::NoParity
                && port.stopBits() == QSerialPort::OneStop);

        // A decimal comma goes out as a point.
        rig.serial.serialWrite(QStringLiteral(":CHAN1:VOLT 2,5"));
        QCOMPARE(ask(rig.serial, QStringLiteral(":CHAN1:VOLT?")), QStringLiteral("2.500V\n"));
        QCOMPARE(rig.supply->receivedLines().value(1), QStringLiteral(":CHAN1:VOLT 2.5"));

        // Opening again closes first and runs the whole sequence at the new speed.
        QVERIFY(rig.serial.open(rig.server->portName(), 9600));
        QCOMPARE(rig.server->portBaudRate(), 9600);
        QTRY_COMPARE(rig.supply->receivedLines().last(), QStringLiteral("REMOTE"));

        // An answer 200 ms late: "*IDN?" waits 300 ms before its first read and gets it; any
        // other query gives up after 50 ms and one retry 100 ms later, and the late answer,
        // asked by nobody any more, is not taken for the next one's.
        rig.supply->faults().answerDelayMs = 200;
        QCOMPARE(ask(rig.serial, QStringLiteral("*IDN?")), rig.supply->model().idn + QLatin1Char('\n'));
        QCOMPARE(ask(rig.serial, QStringLiteral(":CHAN1:VOLT?")), QString());
        rig.supply->faults().answerDelayMs = 0;
        QTest::qWait(300);
        rig.serial.serialWrite(QStringLiteral(":CHAN1:VOLT 3"));
        QCOMPARE(ask(rig.serial, QStringLiteral(":CHAN1:VOLT?")), QStringLiteral("3.000V\n"));
    }

    void identificationAndPolling_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("type");
        for (const char *link : {"RS232", "GPIB"})
            for (const char *type : {"XPP-3202", "XPP-1501", "SPP-KRX20", "ZEP-2303"})
                QTest::addRow("%s %s", link, type) << QString::fromLatin1(link) << QString::fromLatin1(type);
        // As on a machine with a GPIB board: its library loaded with dlopen, called on the
        // board's worker thread.
        QTest::addRow("GPIB library XPP-3202") << QStringLiteral("GPIB library") << QStringLiteral("XPP-3202");
        QTest::addRow("GPIB library ZEP-2303") << QStringLiteral("GPIB library") << QStringLiteral("ZEP-2303");
    }

    // Identification, a few settings and one polling cycle of every channel: each answer
    // reaches the target queued for it, and the supply understood every line it got.
    void identificationAndPolling()
    {
        QFETCH(QString, link);
        QFETCH(QString, type);
        LinkRig rig(link, type);
        QVERIFY(rig.ok);
        const sim::SupplyModel &model = rig.supply->model();
        const Commands::Dialect d = Commands::dialectFor(type);
        const Commands::CommandSet &cmds = Commands::CommandSet::of(d);

        Sink mainWindow;
        QVERIFY(rig.query(QLatin1String(Commands::Identify), mainWindow));
        QTRY_COMPARE_WITH_TIMEOUT(mainWindow.values, QStringList(model.idn), 5000);

        const int n = model.channelCount();
        for (int c = 1; c <= n; ++c) {
            rig.engine.ExecCmdTask(Commands::voltageSetPoint(d, c, QString::number(c + 1)));
            rig.engine.ExecCmdTask(Commands::currentSetPoint(d, c, QStringLiteral("1")));
        }
        rig.engine.ExecCmdTask(Commands::output(d, true));
        QVERIFY(rig.waitIdle());

        std::vector<std::pair<std::unique_ptr<Sink>, QString>> targets;  // each with the answer it awaits
        const auto expect = [&](Commands::Query q, int c, const QString &answer) {
            targets.emplace_back(std::make_unique<Sink>(), answer);
            QVERIFY(rig.query(cmds.text(q, c), *targets.back().first));
        };
        const QString v = d == Commands::DialectPlainScpi ? QString() : QStringLiteral("V");
        const QString a = d == Commands::DialectPlainScpi ? QString() : QStringLiteral("A");
        for (int c = 1; c <= n; ++c) {
            // c + 1 volts into the 10 ohm default load.
            expect(Commands::Query::SetVolt, c, QString::number(c + 1) + QStringLiteral(".000") + v);
            expect(Commands::Query::MeasVolt, c, QString::number(c + 1) + QStringLiteral(".000") + v);
            expect(Commands::Query::MeasCurr, c, QString::number((c + 1) / 10.0, 'f', 3) + a);
        }
        if (d == Commands::DialectShort)
            expect(Commands::Query::Status, 1, QStringLiteral("11011100"));
        else
            expect(Commands::Query::Error, 1, QStringLiteral("0,\"No error\""));
        QVERIFY(rig.waitIdle());
        for (const auto &[target, answer] : targets)
            QCOMPARE(target->values, QStringList(answer));
        QCOMPARE(rig.supply->pendingErrors(), QStringList());
        // Every line went out once, in full.
        QCOMPARE(rig.supply->receivedLines().size(), (link == QLatin1String("RS232") ? 1 : 0) + 1 + 2 * n + 1 + 3 * n + 1);
    }

    // Floods from the line: unsolicited data while nothing is asked, and 1 MiB lines while
    // the engine polls. The receive buffer never holds more than 64 KiB, memory stays flat,
    // and once the flood ends the polling gets its readings again. Then an answer split in
    // two: joined when the rest comes within the next 50 ms wait, else reported.
    void floodsAndSplitAnswers()
    {
        LinkRig rig(QStringLiteral("RS232"), QStringLiteral("XPP-3202"));
        QVERIFY(rig.ok);
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        QCOMPARE(rig.deliver(MeasVolt1).size(), 1);
        const qint64 before = residentKiB();
        qsizetype mostBuffered = 0;
        const auto watch = [&] { mostBuffered = std::max(mostBuffered, rig.serial.bufferedBytes()); };

        flood(*rig.server, 32 << 20, 0, watch);  // 32 MiB, nobody asking
        QCOMPARE(mostBuffered, qsizetype(0));

        Sink reading;
        flood(*rig.server, 16 * ((1 << 20) + 1), 1 << 20, [&] {
            watch();
            if (rig.engine.QueryCount < 2)
                rig.query(MeasVolt1, reading);
        });
        QVERIFY2(mostBuffered <= 64 * 1024, qPrintable(QString::number(mostBuffered)));
#ifndef __SANITIZE_ADDRESS__  // the sanitizer keeps freed memory in quarantine
        QVERIFY2(residentKiB() - before < 8 * 1024, qPrintable(QString::number(residentKiB() - before)));
#endif
        QVERIFY(reading.values.isEmpty());

        QVERIFY(rig.waitIdle());
        QCOMPARE(rig.deliver(MeasVolt1), QStringList(QStringLiteral("0.000V")));

        prompter.clear();
        rig.supply->faults().splitParts = 2;
        rig.supply->faults().splitPauseMs = 40;
        QCOMPARE(rig.deliver(QStringLiteral(":CHAN1:CURR?")), QStringList(QStringLiteral("2.000A")));
        QVERIFY(prompter.messages.isEmpty());
        rig.supply->faults().splitPauseMs = 400;
        QCOMPARE(rig.deliver(QStringLiteral(":CHAN2:CURR?")), QStringList());
        QCOMPARE(prompter.messageTexts(), QStringList(QStringLiteral("Cannot get Data from device!")));
    }

    // Only whole lines leave the receive buffer, so a line dropped for its length leaves no
    // piece of itself to be joined to the next answer (found by fuzzing: "12.3" + "45V").
    void overLongLineAcrossReadsLeavesNoPiece()
    {
        BoundedInput input;
        input.append("12.3", 4);
        QCOMPARE(input.take(), QByteArray());
        QVERIFY(input.hasPartialLine());
        const QByteArray rest = QByteArray(5000, 'x') + "\n45V\n";
        QCOMPARE(input.append(rest.constData(), rest.size()), 1);
        QCOMPARE(input.take(), QByteArray("45V\n"));
        QVERIFY(!input.hasPartialLine());
    }

    // A port whose lock another process holds names that process, a lock its dead owner
    // left behind is called stale with the command that removes it, and neither is taken
    // for a missing right to the device.
    void lockedPortNamesItsHolder()
    {
        const std::pair<const char *, const char *> names[] = {{"ttyUSB0", "LCK..ttyUSB0"}, {"/dev/ttyUSB0", "LCK..ttyUSB0"},
                                                               {"/dev/pts/3", "LCK..pts_3"}, {"/var/zep/link", "LCK.._var_zep_link"}};
        for (const auto &[device, file] : names)
            QCOMPARE(PortLock::fileName(QLatin1String(device)), QLatin1String(file));

        QTemporaryDir locks;
        const QString port = QStringLiteral("ttyUSB9");
        auto writeLock = [&](qint64 pid, const QString &program, const QString &host) {
            QFile f(locks.filePath(PortLock::fileName(port)));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QStringLiteral("%1\n%2\n%3\n").arg(pid).arg(program, host).toUtf8());
        };
        const QString lockFile = locks.filePath(PortLock::fileName(port));
        QCOMPARE(PortLock::find(port, {locks.path()}).state, PortLock::State::None);

        QProcess sleeper;  // a live process: the system's name for it is shown
        sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(sleeper.waitForStarted());
        writeLock(sleeper.processId(), QStringLiteral("zep"), QSysInfo::machineHostName());
        QCOMPARE(PortLock::find(port, {locks.path()}).describe(),
                 QStringLiteral("The port is in use by process %1, sleep.").arg(sleeper.processId()));
        sleeper.kill();
        QVERIFY(sleeper.waitForFinished());

        QProcess gone;
        gone.start(QStringLiteral("true"), {});
        const qint64 deadPid = gone.waitForStarted() ? gone.processId() : 0;
        QVERIFY(deadPid > 0 && gone.waitForFinished());
        writeLock(deadPid, QStringLiteral("zep"), QString());
        const PortLock stale = PortLock::find(port, {locks.path()});
        QCOMPARE(stale.state, PortLock::State::Stale);
        QCOMPARE(stale.describe(),
                 QStringLiteral("The port is locked by a stale lock file, %1, left by process %2, zep, "
                                "which is no longer running. Remove it with: rm %1").arg(lockFile).arg(deadPid));
        // Another host's lock cannot be judged from here: it is named as held there.
        writeLock(deadPid, QStringLiteral("zep"), QStringLiteral("bench-7"));
        QVERIFY(PortLock::find(port, {locks.path()}).describe().contains(QStringLiteral("on host bench-7")));

        // The real port: a link whose lock this process holds, as another zep would.
        QTemporaryDir dir;
        auto supply = sim::VirtualSupply::create(QStringLiteral("XPP-3202"));
        sim::PtySupplyServer server(*supply);
        QVERIFY(server.start(dir.filePath(QStringLiteral("link"))));
        const QStringList folders = PortLock::systemFolders();
        const auto folder = std::find_if(folders.begin(), folders.end(), [](const QString &f) { return QFileInfo(f).isWritable(); });
        if (folder == folders.end())
            QSKIP("no writable lock folder on this machine");
        QLockFile held(*folder + QLatin1Char('/') + PortLock::fileName(server.portName()));
        QVERIFY(held.tryLock(0));
        SerialTransport serial;
        QVERIFY(!serial.open(server.portName(), 115200));
        QVERIFY2(serial.errorString().contains(
                     QStringLiteral("in use by process %1").arg(QCoreApplication::applicationPid())),
                 qPrintable(serial.errorString()));
        QVERIFY2(!serial.errorString().contains(QStringLiteral("dialout")), qPrintable(serial.errorString()));
        held.unlock();
        QVERIFY2(serial.open(server.portName(), 115200), qPrintable(serial.errorString()));
    }

    void pulledLinkReachesTimeoutHandler_data()
    {
        QTest::addColumn<QString>("link");
        for (const char *link : {"RS232", "GPIB"})
            QTest::newRow(link) << QString::fromLatin1(link);
    }

    // The link goes away while the panel polls: the engine's time-out handler runs within a
    // second instead of after the 20 s busy time-out, and the rings are emptied.
    void pulledLinkReachesTimeoutHandler()
    {
        QFETCH(QString, link);
        LinkRig rig(link, QStringLiteral("XPP-3201"));
        QVERIFY(rig.ok);
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        Sink mainWindow;
        rig.engine.SetupTimeoutTask(&mainWindow, [&mainWindow] { ++mainWindow.timeouts; });
        QCOMPARE(rig.deliver(MeasVolt1).size(), 1);

        const bool serial = link == QLatin1String("RS232");
        QSignalSpy failed(&rig.serial, &SerialIo::linkFailed);
        Sink reading;
        for (int i = 0; i < 20; ++i)
            rig.query(MeasVolt1, reading);
        if (serial)
            rig.server->dropLink();
        else
            sim::VirtualGpibBus::instance().detach(GpibBoardNo, GpibAddress);
        QTRY_COMPARE_WITH_TIMEOUT(mainWindow.timeouts, 1, 1000);
        QVERIFY(rig.engine.isIdle() && rig.engine.QueryCount == 0);
        // The serial port says which port failed, once.
        QCOMPARE(failed.size(), serial ? 1 : 0);
        QVERIFY(!serial || failed.first().first().toString().startsWith(
                               QStringLiteral("The serial port %1 stopped working").arg(rig.serial.portName())));
    }
};

QTEST_GUILESS_MAIN(TstEngineLinks)
#include "tst_engine_links.moc"
