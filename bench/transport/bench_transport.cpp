// Serial link figures against the virtual supply on a pseudo-terminal:
//  - round trips per second at 9600 and 115200 baud, against the wire-time limit of the
//    line (ten bits a byte, query and answer), for a client that reads as soon as the
//    answer is there, with and without the supply's wire-time emulation, and through the
//    program's serial query with its fixed waits;
//  - CPU time the task engine spends per second of polling (zep-sim in its own process).
#include "BenchSupport.h"
#include "common/Prompter.h"
#include "link/CommTasker.h"
#include "link/Commands.h"
#include "link/transport/SerialTransport.h"
#include "sim/PtySupplyServer.h"
#include "sim/VirtualSupply.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

const QByteArray Query = "VOUT1?\n";
const QByteArray Answer = "0.000V\n";

double wireLimit(int baud)
{
    return baud / (10.0 * double(Query.size() + Answer.size()));
}

// Round trips per second for a client that writes the next query as soon as the answer
// line is complete.
double eventDrivenRate(sim::PtySupplyServer &server, int baud, int seconds)
{
    QSerialPort port;
    port.setPortName(server.portName());
    port.setBaudRate(baud);
    if (!port.open(QIODevice::ReadWrite))
        return 0;
    QByteArray got;
    int trips = 0;
    QElapsedTimer t;
    QEventLoop loop;
    QObject::connect(&port, &QSerialPort::readyRead, &loop, [&] {
        got += port.readAll();
        if (!got.endsWith('\n'))
            return;
        got.clear();
        ++trips;
        if (t.elapsed() >= seconds * 1000)
            loop.quit();
        else
            port.write(Query);
    });
    t.start();
    port.write(Query);
    loop.exec();
    return trips * 1000.0 / double(t.elapsed());
}

double serialQueryRate(sim::PtySupplyServer &server, int baud, int seconds)
{
    SerialTransport transport;
    if (!transport.open(server.portName(), baud))
        return 0;
    int trips = 0;
    QElapsedTimer t;
    QEventLoop loop;
    QObject::connect(&transport, &SerialIo::queryFinished, &loop, [&](const QString &text) {
        trips += text.isEmpty() ? 0 : 1;
        if (t.elapsed() < seconds * 1000)
            transport.startQuery(QString::fromLatin1(Query.trimmed()));
        else
            loop.quit();
    });
    t.start();
    transport.startQuery(QString::fromLatin1(Query.trimmed()));
    loop.exec();
    return trips * 1000.0 / double(t.elapsed());
}

// A polling target as the panels have: a "Text" property.
class Field : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ text WRITE setText)
public:
    QString text() const { return m_text; }
    void setText(const QString &t) { m_text = t; ++deliveries; }
    int deliveries = 0;

private:
    QString m_text;
};

// The engine on a serial line, polling the six readings of a three-channel supply at the
// main window's 166 ms.
struct PolledLink {
    SerialTransport transport;
    CommTasker engine;
    Field field;
    QTimer poll;
    int step = 0;

    bool open(const QString &port)
    {
        if (!transport.open(port, 115200))
            return false;
        engine.CommType = QStringLiteral("RS232");
        engine.setSerialIo(&transport);
        const QStringList cycle{":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?", ":CHAN2:MEAS:VOLT?",
                                ":CHAN2:MEAS:CURR?", ":CHAN3:MEAS:VOLT?", ":CHAN3:MEAS:CURR?"};
        poll.setInterval(166);
        QObject::connect(&poll, &QTimer::timeout, [this, cycle] {
            if (engine.ExecQueryTask(cycle[step % cycle.size()], 5, &field,
                                     [this](const QString &a) { field.setText(a); }))
                ++step;
        });
        poll.start();
        return true;
    }
};

// The engine polls a supply whose line floods 1 MiB lines as fast as the program reads them;
// the resident size is compared with the same polling before the flood.
void floodMemory(int seconds)
{
    auto supply = sim::VirtualSupply::create(QStringLiteral("XPP-3202"));
    sim::PtySupplyServer server(*supply);
    server.setWireTimeEmulation(false);
    PolledLink link;
    if (!server.start() || !link.open(server.portName())) {
        std::printf("flood: cannot open the line\n");
        return;
    }
    benchWaitMs(3000);
    const long idle = vmRssKb();

    static const QByteArray noise(64 * 1024, 'x');
    qint64 sent = 0;
    int chunk = 0;
    long most = idle;
    QTimer flooder;  // 1 MiB lines: 16 chunks of noise, then a line end
    QObject::connect(&flooder, &QTimer::timeout, [&] {
        for (int i = 0; i < 64; ++i) {
            const bool end = chunk % 17 == 16;
            const qsizetype n = end ? server.inject("\n", 1) : server.inject(noise.constData(), noise.size());
            if (n <= 0)
                break;
            sent += n;
            ++chunk;
        }
        most = std::max(most, vmRssKb());
    });
    flooder.start(0);
    benchWaitMs(seconds * 1000);
    flooder.stop();
    std::printf("flood of 1 MiB lines for %d s (%.0f MiB sent, polling on): VmRSS idle %ld kB, "
                "highest %ld kB (%+ld kB)\n",
                seconds, double(sent) / (1 << 20), idle, most, most - idle);
    link.transport.close();
    server.stop();
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}


void enginePolling(int seconds)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("link"));
    QProcess sim;
    sim.start(QStringLiteral(ZEP_SIM_PATH),
              {QStringLiteral("--type"), QStringLiteral("XPP-3202"), QStringLiteral("--link"), link});
    QElapsedTimer wait;
    wait.start();
    while (!QFileInfo(link).isSymLink() && wait.elapsed() < 10000)
        benchWaitMs(20);

    PolledLink polled;
    if (!polled.open(link)) {
        std::printf("engine polling: cannot open %s\n", qPrintable(link));
        return;
    }

    const double cpu0 = cpuSeconds();
    QElapsedTimer t;
    t.start();
    benchWaitMs(seconds * 1000);
    const double wall = double(t.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - cpu0;
    polled.poll.stop();
    std::printf("engine polling (zep-sim process, 166 ms poll, 100 ms writer tick): %.1f answers/s, "
                "CPU %.1f ms per second (%.2f %%)\n",
                polled.field.deliveries / wall, cpu * 1000.0 / wall, cpu * 100.0 / wall);
    polled.transport.close();
    sim.terminate();
    sim.waitForFinished(5000);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // No windows here: what the engine would tell the user is counted instead.
    ScriptedPrompter prompter;
    ScopedPrompter scopedPrompter(prompter);
    const int seconds = 3;
    auto supply = sim::VirtualSupply::create(QStringLiteral("ZEP-2303"));
    sim::PtySupplyServer server(*supply);
    if (!server.start()) {
        std::printf("cannot open a pseudo-terminal: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::printf("round trip \"%s\" -> \"%s\" (%d bytes on the wire)\n", Query.trimmed().constData(),
                Answer.trimmed().constData(), int(Query.size() + Answer.size()));
    for (int baud : {9600, 115200}) {
        server.setWireTimeEmulation(true);
        const double emulated = eventDrivenRate(server, baud, seconds);
        server.setWireTimeEmulation(false);
        const double raw = eventDrivenRate(server, baud, seconds);
        server.setWireTimeEmulation(true);
        const double program = serialQueryRate(server, baud, seconds);
        std::printf("%6d baud: wire limit %7.1f/s | event-driven client %7.1f/s (wire time emulated), "
                    "%7.1f/s (pty alone) | program's serial query %5.1f/s\n",
                    baud, wireLimit(baud), emulated, raw, program);
    }
    enginePolling(5);
    // An argument sets the flood's length in seconds (60 by default).
    floodMemory(argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 60);
    std::printf("messages the engine raised: %lld\n", qlonglong(prompter.messages.size()));
    return 0;
}

#include "bench_transport.moc"
