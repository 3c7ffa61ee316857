#include "cli/SequenceRunner.h"

#include "cli/CliConnection.h"
#include "common/Clock.h"
#include "supply/Supply.h"

#include <limits>

std::variant<QList<SequenceRunner::Planned>, std::pair<ExitCode, QString>>
SequenceRunner::check(const Supply &supply, const QList<SequenceStep> &steps, const QString &fileName)
{
    QList<Planned> planned;
    for (const SequenceStep &step : steps) {
        const auto at = [&](const QString &what) { return QStringLiteral("%1:%2: %3").arg(fileName).arg(step.line).arg(what); };
        Planned p{step, {}};
        for (const QString &word : step.assignments) {
            auto parsed = SupplyValues::parse(supply, word);
            if (const QString *refusal = std::get_if<QString>(&parsed))
                return std::pair{ExitCode::Refused, at(*refusal)};
            p.assignments << std::get<SupplyValues::Assignment>(parsed);
        }
        if (step.end == SequenceStep::End::Condition && step.channel > supply.channelCount())
            return std::pair{ExitCode::Usage, at(QStringLiteral("this supply has %1 channels").arg(supply.channelCount()))};
        planned << p;
    }
    return planned;
}

SequenceRunner::SequenceRunner(Supply &supply, CliConnection &connection, QList<Planned> steps, QObject *parent)
    : QObject(parent), m_supply(&supply), m_connection(connection), m_steps(std::move(steps))
{
    // A step of hours may not drift by the coarse timers' few percent.
    for (QTimer *t : {&m_stepTimer, &m_timeoutTimer}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_stepTimer, &QTimer::timeout, this, &SequenceRunner::nextStep);
    connect(&m_timeoutTimer, &QTimer::timeout, this, [this] {
        const SequenceStep &step = m_steps.at(m_index).step;
        stop();
        emit timedOut(QStringLiteral("step %1 (line %2): \"%3\" not reached within its time-out")
                          .arg(m_index + 1)
                          .arg(step.line)
                          .arg(step.endText));
    });
    connect(&supply, &Supply::readingChanged, this, &SequenceRunner::readingTaken);
}

void SequenceRunner::start()
{
    m_index = 0;
    m_round = 1;
    beginStep();
}

void SequenceRunner::stop()
{
    m_stopped = true;
    m_watching = false;
    m_stepTimer.stop();
    m_timeoutTimer.stop();
}

void SequenceRunner::beginStep()
{
    if (m_stopped || !m_supply)
        return;
    const Planned &p = m_steps.at(m_index);
    emit stepBegun(m_index + 1, int(m_steps.size()), m_round, p.step);
    SupplyValues::applyInOrder(*m_supply, p.assignments);
    // Judged only on readings polled after the values were answered: those before are of
    // the step before.
    m_connection.whenIdle([this] {
        if (m_stopped)
            return;
        emit stepApplied();
        waitForEnd();
    });
}

void SequenceRunner::waitForEnd()
{
    const SequenceStep &step = m_steps.at(m_index).step;
    switch (step.end) {
    case SequenceStep::End::Set:
        nextStep();
        break;
    case SequenceStep::End::Time:
        m_stepTimer.start(int(std::min<qint64>(step.forMs, std::numeric_limits<int>::max())));
        break;
    case SequenceStep::End::Condition:
        m_heldSinceMs.reset();
        m_watching = true;
        if (step.timeoutMs > 0)
            m_timeoutTimer.start(int(std::min<qint64>(step.timeoutMs, std::numeric_limits<int>::max())));
        break;
    }
}

std::optional<double> SequenceRunner::reading(const SequenceStep &step) const
{
    const Supply::Channel &c = m_supply->channel(step.channel - 1);
    if (c.voltageReading.text.isEmpty() && step.quantity != SequenceStep::Quantity::Current)
        return std::nullopt;
    if (c.currentReading.text.isEmpty() && step.quantity != SequenceStep::Quantity::Voltage)
        return std::nullopt;
    switch (step.quantity) {
    case SequenceStep::Quantity::Voltage:
        return c.voltageReading.value;
    case SequenceStep::Quantity::Current:
        return c.currentReading.value;
    case SequenceStep::Quantity::Power:
        return c.voltageReading.value * c.currentReading.value;
    }
    return std::nullopt;
}

void SequenceRunner::readingTaken(int index)
{
    if (!m_watching || !m_supply)
        return;
    const SequenceStep &step = m_steps.at(m_index).step;
    if (index != step.channel - 1)
        return;
    const std::optional<double> value = reading(step);
    if (!value || !step.met(*value)) {
        m_heldSinceMs.reset();
        return;
    }
    const qint64 now = Clock::current().monotonicMs();
    if (!m_heldSinceMs)
        m_heldSinceMs = now;
    if (now - *m_heldSinceMs >= step.forMs) {
        m_watching = false;
        m_timeoutTimer.stop();
        nextStep();
    }
}

void SequenceRunner::nextStep()
{
    if (m_stopped)
        return;
    if (m_round < m_steps.at(m_index).step.repeat) {
        ++m_round;
    } else {
        m_round = 1;
        if (++m_index >= m_steps.size()) {
            stop();
            emit finished();
            return;
        }
    }
    // Begun once the answer or timer that ended this step has been delivered.
    QTimer::singleShot(0, this, &SequenceRunner::beginStep);
}
