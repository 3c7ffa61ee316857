#include "cli/LoggedRun.h"

#include "cli/CliConnection.h"
#include "cli/RunSummary.h"
#include "common/Clock.h"
#include "common/Prompter.h"
#include "supply/Supply.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace {

// Longest wait for every channel's first readings before a log begins anyway.
constexpr int FirstReadingsWaitMs = 5000;
// Longest wait for the outputs' switch-off to be answered at the end of a run.
constexpr int SwitchOffWaitMs = 5000;

bool allRead(const Supply &supply)
{
    for (int i = 0; i < supply.channelCount(); ++i)
        if (supply.channel(i).voltageReading.text.isEmpty() || supply.channel(i).currentReading.text.isEmpty())
            return false;
    return true;
}

} // namespace

bool LoggedRun::handles(const QString &command)
{
    return command == QLatin1String("log") || command == QLatin1String("run");
}

std::variant<LoggedRun::Plan, QString> LoggedRun::prepare(const CliOptions &options)
{
    Plan plan;
    const bool run = options.command == QLatin1String("run");
    if (run && options.forMs > 0)
        return QStringLiteral("run takes no --for: its steps say how long it lasts");
    auto period = CliLog::period(options.everyMs, run ? 0 : options.forMs);
    if (const QString *error = std::get_if<QString>(&period))
        return *error;
    plan.period = std::get<CliLog::Period>(period);
    if (run) {
        auto steps = SequenceFile::read(options.words.value(0));
        if (const QString *error = std::get_if<QString>(&steps))
            return *error;
        plan.steps = std::get<QList<SequenceStep>>(steps);
    }
    return plan;
}

LoggedRun::LoggedRun(const CliOptions &options, Plan plan, CliConnection &connection, Supply &supply,
                     QTextStream &out, QObject *parent)
    : QObject(parent), m_options(options), m_plan(std::move(plan)), m_connection(connection), m_supply(&supply),
      m_out(out), m_log(supply)
{
    m_firstReadings.setSingleShot(true);
    m_switchOffWait.setSingleShot(true);
    connect(&m_firstReadings, &QTimer::timeout, this, &LoggedRun::beginRecording);
    connect(&m_switchOffWait, &QTimer::timeout, this, &LoggedRun::conclude);
    connect(&m_log, &CliLog::failed, this, [this](ExitCode code) { end(code); });
    connect(&m_log, &CliLog::completed, this, [this] {
        if (!m_runner) {
            if (m_options.forMs == 0)
                Prompter::current().notify(QStringLiteral("The recording has reached the longest length at "
                                                          "this --every."),
                                           QString(), Prompter::Severity::Information);
            end(ExitCode::Done);
            return;
        }
        Prompter::current().notify(QStringLiteral("The recording has reached its longest length; the sequence "
                                                  "goes on unrecorded."),
                                   QString(), Prompter::Severity::Warning);
    });
}

void LoggedRun::start()
{
    m_startMs = Clock::current().monotonicMs();
    std::variant<QList<SequenceRunner::Planned>, std::pair<ExitCode, QString>> checked = QList<SequenceRunner::Planned>();
    if (!m_plan.steps.isEmpty()) {
        checked = SequenceRunner::check(*m_supply, m_plan.steps, m_options.words.value(0));
        if (const auto *refusal = std::get_if<std::pair<ExitCode, QString>>(&checked)) {
            m_concluded = m_ending = true;
            emit ended(refusal->first, refusal->second);
            return;
        }
    }
    if (const std::optional<QString> why = m_log.open()) {
        m_concluded = m_ending = true;
        emit ended(ExitCode::Store, *why);
        return;
    }
    // The readings are polled as the desktop program polls them, whatever the output.
    m_connection.connection().QueryTimer.start();
    if (m_plan.steps.isEmpty()) {
        connect(m_supply.data(), &Supply::readingChanged, this, [this] {
            if (m_firstReadings.isActive() && allRead(*m_supply)) {
                m_firstReadings.stop();
                beginRecording();
            }
        });
        m_firstReadings.start(FirstReadingsWaitMs);
        return;
    }
    connect(m_supply.data(), &Supply::errorDetected, this, [this](const QString &answer) {
        end(ExitCode::Refused, QStringLiteral("the supply reported an error: %1").arg(answer));
    });
    m_runner = std::make_unique<SequenceRunner>(*m_supply, m_connection,
                                                std::get<QList<SequenceRunner::Planned>>(checked));
    connect(m_runner.get(), &SequenceRunner::stepBegun, this, &LoggedRun::stepBegun);
    // The recording begins with the first step that leaves the output on.
    connect(m_runner.get(), &SequenceRunner::stepApplied, this, [this] {
        if (!m_log.hasBegun() && m_supply && m_supply->isOutput())
            beginRecording();
    });
    connect(m_runner.get(), &SequenceRunner::finished, this, [this] { end(ExitCode::Done); });
    connect(m_runner.get(), &SequenceRunner::timedOut, this, [this](const QString &why) { end(ExitCode::Refused, why); });
    m_runner->start();
}

void LoggedRun::beginRecording()
{
    if (m_ending || m_log.hasBegun())
        return;
    if (const std::optional<ExitCode> refused = m_log.begin(m_plan.period))
        end(*refused);
}

void LoggedRun::stepBegun(int number, int count, int round, const SequenceStep &step)
{
    if (m_options.quiet)
        return;
    const QString rounds = step.repeat > 1 ? QStringLiteral(" (%1 of %2)").arg(round).arg(step.repeat) : QString();
    QStringList parts{step.assignments.join(QLatin1Char(' ')), step.endText};
    parts.removeAll(QString());
    std::fprintf(stderr, "zepctl: step %d/%d%s: %s\n", number, count, qPrintable(rounds),
                 qPrintable(parts.join(QStringLiteral(", "))));
}

void LoggedRun::end(ExitCode code, const QString &message)
{
    // A sequence that ran to its end leaves the outputs as its last step set them; a lost
    // link takes nothing more.
    endWith(code, message, code != ExitCode::Done && code != ExitCode::Link);
}

void LoggedRun::interrupt()
{
    if (m_runner)
        endWith(ExitCode::Link, QStringLiteral("interrupted"), true);
    else
        end(ExitCode::Done);
}

void LoggedRun::endWith(ExitCode code, const QString &message, bool switchOff)
{
    if (m_concluded)
        return;
    if (m_ending) {
        // The link went while the outputs were being switched off: nothing more comes.
        if (code == ExitCode::Link) {
            m_code = code;
            if (m_message.isEmpty())
                m_message = message;
            conclude();
        }
        return;
    }
    m_ending = true;
    m_code = code;
    m_message = message;
    m_firstReadings.stop();
    if (!m_runner || !switchOff || m_options.leaveOutput || !m_supply || !m_supply->isRunning()) {
        conclude();
        return;
    }
    m_runner->stop();
    m_supply->setOutput(false);
    m_switchOffWait.start(SwitchOffWaitMs);
    m_connection.whenIdle([this] { conclude(); });
}

void LoggedRun::conclude()
{
    if (m_concluded)
        return;
    m_concluded = true;
    m_switchOffWait.stop();
    if (m_runner)
        m_runner->stop();
    const std::optional<QString> record = m_log.end(m_options.description);
    if (m_log.saveFailed() && m_code != ExitCode::Link)
        m_code = ExitCode::Store;
    if (!record && !m_log.saveFailed() && (m_log.hasBegun() || m_code == ExitCode::Done) && !m_options.quiet)
        std::fprintf(stderr, "zepctl: nothing was recorded\n");
    if (m_runner) {
        RunSummary::Totals totals;
        for (int c = 0; c < (m_supply ? m_supply->channelCount() : 0); ++c)
            totals.channels << RunSummary::Totals::Channel{c + 1, m_log.energy(c).wattHours, m_log.energy(c).ampHours};
        totals.record = record.value_or(QString());
        totals.seconds = (Clock::current().monotonicMs() - m_startMs) / 1000.0;
        m_out << (m_options.json ? RunSummary::json(totals) : RunSummary::text(totals));
    } else if (record) {
        if (m_options.json)
            m_out << QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("record"), *record},
                                                                 {QStringLiteral("samples"), m_log.sampleCount()}})
                                           .toJson(QJsonDocument::Compact))
                  << '\n';
        else
            m_out << *record << '\n';
    }
    m_out.flush();
    emit ended(m_code, m_message);
}
