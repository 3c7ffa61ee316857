#include "setup/AutoDetect.h"

#include "common/Wait.h"
#include "setup/PortProber.h"

#include <QElapsedTimer>

namespace AutoDetect {
bool AutoConnecting = false;
}

namespace {
const QByteArray IdentityQuery = QByteArrayLiteral("*IDN?\n");
const QString InvalidCharacter = QStringLiteral("Invalid Character.");

bool isCompleteReply(const QString &reply)
{
    return !reply.isEmpty() && (reply.endsWith(QLatin1Char('\n')) || reply.endsWith(QLatin1Char('\r')));
}
} // namespace

AutoDetector::AutoDetector(PortProber &prober, QObject *parent)
    : QObject(parent)
    , m_prober(prober)
{
}

void AutoDetector::pause(int ms)
{
    if (m_waiter) {
        m_waiter(ms);
        return;
    }
    // Short slices, so a cancel takes effect within one slice rather than after the full pause.
    QElapsedTimer elapsed;
    elapsed.start();
    while (!m_cancelled && elapsed.elapsed() < ms)
        Wait::ms(int(qMin<qint64>(50, ms - elapsed.elapsed())));
}

QString AutoDetector::queryOnce()
{
    m_prober.write(IdentityQuery);
    pause(ReplyWaitMs);
    if (m_cancelled)
        return {};
    const QString reply = QString::fromLatin1(m_prober.readAll());
    return isCompleteReply(reply) ? reply : QString();
}

QString AutoDetector::QueryIdentity()
{
    const QString first = queryOnce();
    if (first.contains(InvalidCharacter))
        return queryOnce();
    return first;
}

QStringList AutoDetector::usablePorts(const QStringList &candidates, int baudRate)
{
    QStringList usable;
    int done = 0;
    for (const QString &port : candidates) {
        if (m_cancelled)
            break;
        if (m_prober.open(port, baudRate))
            usable << port;
        m_prober.close();
        emit progress(++done, int(candidates.size()));
        Wait::pumpEvents();
    }
    return usable;
}

AutoDetector::Result AutoDetector::run(const QStringList &candidates, const QStringList &bauds)
{
    Result result;
    m_cancelled = false;
    m_running = true;
    emit progress(0, int(candidates.size()));
    result.usablePorts = bauds.isEmpty() ? QStringList() : usablePorts(candidates, bauds.first().toInt());

    if (!m_cancelled && result.usablePorts.isEmpty()) {
        result.outcome = Outcome::NoPorts;
    } else if (!m_cancelled) {
        const int total = int(bauds.size() * result.usablePorts.size());
        int done = 0;
        emit progress(0, total);
        for (int b = 0; b < bauds.size() && !m_cancelled; ++b) {
            for (qsizetype p = result.usablePorts.size() - 1; p >= 0 && !m_cancelled; --p) {
                m_prober.close();
                result.port = result.usablePorts.at(p);
                result.baudPos = b;
                emit probing(result.port, b);
                // A port that stopped opening since the list was built is simply passed over.
                const QString reply = m_prober.open(result.port, bauds.at(b).toInt()) ? QueryIdentity() : QString();
                emit progress(++done, total);
                Wait::pumpEvents();
                if (!m_cancelled && reply.contains(QLatin1String("NV"))) {
                    result.reply = reply;
                    result.outcome = Outcome::Found;
                    break;
                }
            }
            if (result.outcome == Outcome::Found)
                break;
        }
    }
    m_prober.close();
    if (m_cancelled)
        result.outcome = Outcome::Cancelled;
    m_running = false;
    return result;
}
