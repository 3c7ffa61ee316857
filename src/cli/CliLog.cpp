#include "cli/CliLog.h"

#include "common/Prompter.h"
#include "datalog/RecordScale.h"
#include "datalog/RecordSaver.h"

#include <cmath>

namespace {

constexpr int SecondsPerDay = 24 * 3600;

// "1h", "30s", "7d23h59m59s".
QString lengthText(qint64 seconds)
{
    QString text;
    const qint64 parts[] = {seconds / SecondsPerDay, seconds / 3600 % 24, seconds / 60 % 60, seconds % 60};
    const char *units[] = {"d", "h", "m", "s"};
    for (int i = 0; i < 4; ++i)
        if (parts[i] > 0)
            text += QString::number(parts[i]) + QLatin1String(units[i]);
    return text.isEmpty() ? QStringLiteral("0s") : text;
}

// Answers for a run nobody watches: keep everything. Messages go to the prompter outside.
class UnattendedPrompter : public Prompter
{
public:
    UnattendedPrompter() : m_outer(Prompter::current()), m_scope(*this) {}
    void message(const QString &text, const QString &title, Severity severity) override
    {
        m_outer.message(text, title, severity);
    }
    void notify(const QString &text, const QString &title, Severity severity) override
    {
        m_outer.notify(text, title, severity);
    }
    // Save here when the lab server is away.
    bool question(const QString &, const QString &) override { return true; }
    // Unsaved samples are saved before anything could delete them.
    Choice saveDiscardCancel(const QString &, const QString &) override { return Choice::Save; }
    std::optional<QColor> chooseColor(const QColor &) override { return std::nullopt; }
    QString saveFileName(const QString &, const QString &, const QString &) override { return QString(); }

private:
    Prompter &m_outer;
    ScopedPrompter m_scope;
};

} // namespace

std::variant<CliLog::Period, QString> CliLog::period(int everyMs, qint64 forMs)
{
    Period p;
    p.scale = -1;
    QStringList scales;
    for (int i = 0; i < RecordScale::Positions; ++i) {
        scales << lengthText(RecordScale::SecondsPerPoint[size_t(i)]);
        if (qint64(RecordScale::SecondsPerPoint[size_t(i)]) * 1000 == everyMs)
            p.scale = i;
    }
    if (p.scale < 0)
        return QStringLiteral("--every: a recording takes one sample every %1").arg(scales.join(QStringLiteral(", ")));
    const int every = RecordScale::secondsPerPoint(p.scale);
    const qint64 longest = qint64(RecordScale::daysAllowed(p.scale) + 1) * SecondsPerDay - 1;
    const qint64 seconds = forMs > 0 ? (forMs + 999) / 1000 : longest;
    if (seconds < every)
        return QStringLiteral("--for: a recording lasts at least one sample, %1 at --every %1").arg(lengthText(every));
    if (seconds > longest)
        return QStringLiteral("--for: at --every %1 a recording lasts at most %2 (about %3 samples)")
            .arg(lengthText(every), lengthText(longest))
            .arg(longest / every);
    p.days = int(seconds / SecondsPerDay);
    p.hours = int(seconds / 3600 % 24);
    p.minutes = int(seconds / 60 % 60);
    p.seconds = int(seconds % 60);
    return p;
}

CliLog::CliLog(Supply &supply, QObject *parent) : QObject(parent), m_supply(&supply), m_readings(m_supply) {}

std::optional<QString> CliLog::open()
{
    const StoreOpenResult opened = m_store.open(RecordStore::defaultFolder());
    if (!opened.ok())
        return opened.message;
    if (!opened.message.isEmpty())
        Prompter::current().notify(opened.message, QString(), Prompter::Severity::Warning);
    if (const std::optional<QString> why = m_store.writeRefusal())
        return why;
    // Appending touches the last pages of the file only.
    m_store.limitPageCache(1024);
    m_place = std::make_unique<RecordPlace>(m_store);
    m_session = std::make_unique<RecordingSession>(m_store, m_place.get(), m_readings);
    RecordingEngine &engine = m_session->engine();
    engine.setKeepsSamples(false);
    connect(&engine, &RecordingEngine::sampleRecorded, this, [this](const SampleRow &sample) {
        for (size_t c = 0; c < m_energy.size(); ++c)
            m_energy[c].add(double(sample.timeTick), PowerSeries::reading(sample.channels[c].voltage.toUtf8()),
                            PowerSeries::reading(sample.channels[c].current.toUtf8()));
    });
    // Handled once the tick has returned: the engine finishes its own stop first.
    connect(&engine, &RecordingEngine::failed, this, [this] {
        m_failed = true;
        emit failed(m_readings.isRunning() ? ExitCode::Store : ExitCode::Link);
    }, Qt::QueuedConnection);
    connect(&engine, &RecordingEngine::stopped, this, [this] {
        if (!m_ending && !m_failed)
            emit completed();
    }, Qt::QueuedConnection);
    return std::nullopt;
}

std::optional<ExitCode> CliLog::begin(const Period &period)
{
    if (!m_supply->isOutput()) {
        Prompter::current().message(QStringLiteral("The output is off: a recording runs while it is on "
                                                   "(zepctl set output=on)."),
                                    QString(), Prompter::Severity::Warning);
        return ExitCode::Refused;
    }
    UnattendedPrompter unattended;
    // Samples a recording left unsaved are saved as their record, with their own times.
    if (m_store.unsavedCount().value_or(0) > 0) {
        m_session->reload();
        Prompter::current().notify(QStringLiteral("The record store held %1 unsaved samples; they are "
                                                  "saved as a record first.").arg(m_session->buffer().size()),
                                   QString(), Prompter::Severity::Information);
    }
    m_session->setChannelCount(m_supply->channelCount());
    m_session->RecordPeriod(period.days, period.hours, period.minutes, period.seconds, period.scale,
                            RecordScale::Average);
    if (!m_session->BeginRecordData())
        return ExitCode::Store;
    m_energy.fill(EnergyIntegrator(m_session->secondsPerPoint()));
    m_begun = true;
    return std::nullopt;
}

std::optional<QString> CliLog::end(const QString &description)
{
    m_ending = true;
    if (!m_session)
        return std::nullopt;
    m_session->EndRecordData();
    if (!m_begun || sampleCount() == 0)
        return std::nullopt;
    UnattendedPrompter unattended;
    m_session->setDescription(description);
    switch (m_session->saveRecord(RecordSaver::Texts::dataTable(), true)) {
    case RecordSaver::Outcome::Saved:
        return m_session->record().recNo;
    case RecordSaver::Outcome::SavedHere: {
        // The newest record of this computer's store (listed highest number first).
        const auto records = m_store.savedRecords();
        if (records && !records->isEmpty())
            return records->first().recNo;
        return std::nullopt;
    }
    case RecordSaver::Outcome::EmptyBuffer:
        return std::nullopt;
    default:
        m_saveFailed = true;
        return std::nullopt;
    }
}
