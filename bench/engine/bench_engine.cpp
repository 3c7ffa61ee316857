// Queues and consumes one million query tasks through the engine over a serial line that
// answers at once, and shows the time per task and that memory stays flat.

#include "BenchSupport.h"
#include "link/CommTasker.h"
#include "link/SerialIo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

// A serial line that answers every query as soon as the bench lets it.
class InstantSerial : public SerialIo
{
public:
    void serialWrite(const QString &) override {}
    void startQuery(const QString &) override { m_pending = true; }
    void cancelQuery() override { m_pending = false; }
    void answerPending()
    {
        if (std::exchange(m_pending, false))
            emit queryFinished(m_answer);
    }

private:
    const QString m_answer = QStringLiteral("12.345V\n");
    bool m_pending = false;
};

// Where answers go: a declared "text" property, reached by the name "Text".
class Readout : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    QString text() const { return m_text; }
    void setText(const QString &t)
    {
        m_text = t;
        ++received;
    }
    long received = 0;

private:
    QString m_text;
};

// Queues up to the ring limit, then ticks until the ring is empty; `total` tasks in all.
double run(CommTasker &engine, InstantSerial &serial, Readout &target, long total)
{
    const QString query = QStringLiteral("VOUT1?");
    QElapsedTimer timer;
    timer.start();
    long queued = 0;
    while (queued < total) {
        while (queued < total && engine.ExecQueryTask(query, 5, &target, [&target](const QString &a) { target.setText(a); }))
            ++queued;
        while (engine.QueryCount > 0) {
            engine.DoWriterTimer(100);
            serial.answerPending();
        }
    }
    return double(timer.nsecsElapsed());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    InstantSerial serial;
    Readout target;
    CommTasker engine;
    engine.writerTimer().stop();
    engine.setSerialIo(&serial);
    engine.CommType = QStringLiteral("RS232");

    // An argument sets the number of tasks (one million by default).
    constexpr long Warmup = 10000;
    const long Tasks = argc > 1 ? std::max(1L, QByteArray(argv[1]).toLong()) : 1000000;
    run(engine, serial, target, Warmup);
    const long rssBefore = vmRssKb();
    const double ns = run(engine, serial, target, Tasks);
    const long rssAfter = vmRssKb();

    // The writer tick alone, with nothing to do (most ticks while polling).
    QElapsedTimer idle;
    idle.start();
    for (long i = 0; i < Tasks; ++i)
        engine.DoWriterTimer(100);
    const double idleNs = double(idle.nsecsElapsed()) / double(Tasks);

    std::printf("tasks:            %ld (plus %ld warm-up)\n", Tasks, Warmup);
    std::printf("ns per idle tick: %.0f (DoWriterTimer with empty rings)\n", idleNs);
    std::printf("delivered:        %ld\n", target.received);
    std::printf("ns per task:      %.0f (queue, write, pair, hand to its handler)\n", ns / Tasks);
    std::printf("VmRSS before:     %ld kB\n", rssBefore);
    std::printf("VmRSS after:      %ld kB (change %+ld kB)\n", rssAfter, rssAfter - rssBefore);
    return target.received == Tasks + Warmup ? 0 : 1;
}

#include "bench_engine.moc"
