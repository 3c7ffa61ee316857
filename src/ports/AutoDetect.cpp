#include "ports/AutoDetect.h"

#include "ports/PortProber.h"

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
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &AutoDetector::runStep);
}

void AutoDetector::start(const QStringList &candidates, const QStringList &bauds)
{
    if (isRunning())
        return;
    m_candidates = candidates;
    m_bauds = bauds;
    m_result = Result();
    m_index = 0;
    m_baudPos = 0;
    m_done = 0;
    m_step = Step::ListPorts;
    emit progress(0, int(candidates.size()));
    if (!isRunning())
        return;  // cancelled by a receiver
    if (bauds.isEmpty()) {
        finish(Outcome::NoPorts);
        return;
    }
    schedule(Step::ListPorts, 0);
}

void AutoDetector::cancel()
{
    if (isRunning())
        finish(Outcome::Cancelled);
}

void AutoDetector::schedule(Step step, int ms)
{
    m_step = step;
    m_timer.start(ms);
}

void AutoDetector::runStep()
{
    switch (m_step) {
    case Step::Idle: return;
    case Step::ListPorts: return listNextPort();
    case Step::Probe: return probeNext();
    case Step::FirstReply:
    case Step::RepeatedReply: return readReply();
    }
}

// One candidate per step, so the window paints between them.
void AutoDetector::listNextPort()
{
    if (m_index < m_candidates.size()) {
        const QString &port = m_candidates.at(m_index);
        if (m_prober.open(port, m_bauds.first().toInt()))
            m_result.usablePorts << port;
        m_prober.close();
        emit progress(++m_index, int(m_candidates.size()));
        if (isRunning())
            schedule(Step::ListPorts, 0);
        return;
    }
    if (m_result.usablePorts.isEmpty())
        return finish(Outcome::NoPorts);
    emit progress(0, int(m_bauds.size() * m_result.usablePorts.size()));
    if (!isRunning())
        return;
    m_baudPos = 0;
    m_index = int(m_result.usablePorts.size()) - 1;
    schedule(Step::Probe, 0);
}

void AutoDetector::probeNext()
{
    m_prober.close();
    m_result.port = m_result.usablePorts.at(m_index);
    m_result.baudPos = m_baudPos;
    emit probing(m_result.port, m_baudPos);
    if (!isRunning())
        return;
    // A port that stopped opening since the list was built is simply passed over.
    if (!m_prober.open(m_result.port, m_bauds.at(m_baudPos).toInt()))
        return probeDone(QString());
    m_prober.write(IdentityQuery);
    schedule(Step::FirstReply, m_replyWaitMs);
}

void AutoDetector::readReply()
{
    QString reply = QString::fromLatin1(m_prober.readAll());
    if (!isCompleteReply(reply))
        reply.clear();
    // A supply that did not understand the first query gets exactly one more.
    if (m_step == Step::FirstReply && reply.contains(InvalidCharacter)) {
        m_prober.write(IdentityQuery);
        schedule(Step::RepeatedReply, m_replyWaitMs);
        return;
    }
    probeDone(reply);
}

void AutoDetector::probeDone(const QString &reply)
{
    emit progress(++m_done, int(m_bauds.size() * m_result.usablePorts.size()));
    if (!isRunning())
        return;
    if (reply.contains(QLatin1String("NV"))) {
        m_result.reply = reply;
        return finish(Outcome::Found);
    }
    if (--m_index < 0) {
        m_index = int(m_result.usablePorts.size()) - 1;
        if (++m_baudPos >= m_bauds.size())
            return finish(Outcome::NotFound);
    }
    schedule(Step::Probe, 0);
}

void AutoDetector::finish(Outcome outcome)
{
    m_timer.stop();
    m_prober.close();
    m_step = Step::Idle;
    m_result.outcome = outcome;
    emit finished(m_result);
}
