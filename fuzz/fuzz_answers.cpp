// The answer path of the engine: received bytes, in chunks as the port delivers them, through
// the serial input bound and the engine's line assembly, then the pairing that gives a query
// its answer. Checked against a plain model: the answer is the newest whole line (up to the
// ring's size); lines that are empty, too long or mention "bit" never count, not even in
// part; and the unfinished tail waits for the next chunk.

#include "FuzzSupport.h"

#include "link/CommTasker.h"
#include "link/transport/BoundedInput.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QStringList>

namespace {

constexpr int MaxLine = 4096;

struct Model {
    QStringList pushed;
    QString tail;
    bool tailTooLong = false;
};

Model expected(const QByteArray &stream)
{
    Model m;
    QByteArray line;
    bool tooLong = false;
    for (char c : stream) {
        if (c == '\n' || c == '\r') {
            const QString text = QString::fromLatin1(line);
            if (!tooLong && !text.isEmpty() && !text.contains(QLatin1String("bit"), Qt::CaseInsensitive)
                && m.pushed.size() < CommTasker::RingSize)
                m.pushed << text;
            line.clear();
            tooLong = false;
        } else if (!tooLong) {
            line.append(c);
            if (line.size() > MaxLine) {
                tooLong = true;
                line.clear();
            }
        }
    }
    m.tail = QString::fromLatin1(line);
    m.tailTooLong = tooLong;
    return m;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::ensureApplication();
    if (size > 60000)  // the input bound keeps 64 KiB between reads; stay inside it
        return 0;
    FuzzedDataProvider in(data, size);
    // Serial: bytes through the input bound; GPIB: the text handed to the engine directly.
    const bool serial = in.ConsumeBool();

    static CommTasker engine;
    engine.writerTimer().stop();
    engine.ResetRspArray();
    engine.RspLine.clear();
    BoundedInput input;

    QByteArray stream;
    while (in.remaining_bytes() > 0) {
        const std::string chunk = in.ConsumeRandomLengthString(in.remaining_bytes());
        stream.append(chunk.data(), qsizetype(chunk.size()));
        if (serial) {
            input.append(chunk.data(), qsizetype(chunk.size()));
            Fuzz::check(input.size() <= BoundedInput::MaxBufferBytes, "the input bound holds");
            engine.RspTask(QString::fromLatin1(input.take()));
        } else {
            engine.RspTask(QString::fromLatin1(chunk.data(), qsizetype(chunk.size())));
        }
    }

    const Model m = expected(stream);
    Fuzz::check(engine.RspCount == m.pushed.size(), "the number of whole lines",
                QString::number(engine.RspCount) + QLatin1String(" vs ") + QString::number(m.pushed.size()));
    // The unfinished line waits: in the serial input, or in the engine's assembly.
    const bool waiting = !m.tailTooLong && !m.tail.isEmpty();
    if (serial) {
        Fuzz::check(engine.RspLine.isEmpty(), "only whole lines leave the serial input", engine.RspLine);
        Fuzz::check(input.hasPartialLine() == waiting, "the serial input keeps the unfinished line");
    } else {
        Fuzz::check(engine.RspLine == (waiting ? m.tail : QString()), "the unfinished line waits",
                    engine.RspLine);
    }
    const QString answer = engine.RspPop();
    Fuzz::check(answer == (m.pushed.isEmpty() ? QString() : m.pushed.last()), "the paired answer", answer);
    Fuzz::check(engine.RspCount == 0, "pairing empties the answers");
    return 0;
}
