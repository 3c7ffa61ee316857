#pragma once

#include "cli/CliOptions.h"
#include "datalog/EnergyIntegrator.h"
#include "datalog/RecordPlace.h"
#include "datalog/RecordStore.h"
#include "datalog/RecordingSession.h"
#include "supply/SupplyReadings.h"

#include <QObject>
#include <QPointer>
#include <optional>
#include <variant>

// The recording of `zepctl log` and `zepctl run`: the desktop program's record store and
// recording session on the connected supply, each sample committed as it comes, saved as a
// numbered record (on this computer or the lab server, as the settings say) at the end.
// Questions the desktop program would ask are answered so that nothing is lost: unsaved
// samples found in the store are saved as their own record first, and a record the lab
// server cannot take is saved on this computer. No window shows the samples, so none is kept
// in memory: each goes to the store and into the running energy and charge of its channel.
class CliLog : public QObject
{
    Q_OBJECT
public:
    // A recording's length and scale as the record setup gives them to the engine.
    struct Period {
        int days = 0, hours = 0, minutes = 0, seconds = 0;
        int scale = 0;
    };
    // --every (one of the record setup's scales) and --for (0: as long as the engine records
    // at that scale) as a period; the refusal names the limit.
    static std::variant<Period, QString> period(int everyMs, qint64 forMs);

    explicit CliLog(Supply &supply, QObject *parent = nullptr);

    // Opens this computer's store for writing and the record place of the settings; the
    // desktop program's words on failure.
    std::optional<QString> open();
    // Starts recording; the status on refusal (the reason has been told).
    std::optional<ExitCode> begin(const Period &period);
    bool isRecording() const { return m_session && m_session->isRecording(); }
    bool hasBegun() const { return m_begun; }
    // Stops and saves what was recorded with `description`: the record's number, or nothing
    // when nothing was recorded or the save failed (told; the samples stay in the store).
    std::optional<QString> end(const QString &description);
    bool saveFailed() const { return m_saveFailed; }
    // Samples recorded since begin().
    qint64 sampleCount() const { return m_session ? m_session->engine().iCurrentRow() : 0; }
    // Energy and charge of channel 0..3 over the samples recorded since begin().
    const EnergyTotals &energy(int channel) const { return m_energy[size_t(channel)].totals(); }
    // The engine, for benches that drive its ticks on a fake clock.
    RecordingEngine &engine() { return m_session->engine(); }

signals:
    // The recording reached its length.
    void completed();
    // A sample could not be stored (Store) or the supply stopped running (Link); told.
    void failed(ExitCode code);

private:
    QPointer<Supply> m_supply;
    SupplyReadings m_readings;
    RecordStore m_store;
    std::unique_ptr<RecordPlace> m_place;
    std::unique_ptr<RecordingSession> m_session;
    std::array<EnergyIntegrator, 4> m_energy;
    bool m_begun = false;
    bool m_ending = false;
    bool m_failed = false;
    bool m_saveFailed = false;
};
