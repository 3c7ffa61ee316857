#pragma once

#include "datalog/RecordTypes.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <array>
#include <optional>

class ReadingSource;
class RecordStore;
class SampleBuffer;

// The recording: once a second it reads the supply's voltage and current texts,
// reduces them over each sample interval (maximum, minimum or average) and stores one sample
// per interval, in `datatemp` (committed before the tick ends) and in the sample buffer.
// Time comes from the program's Clock, so a recording can be driven without waiting.
// A tick never waits in place: stopping between two ticks takes effect before the next.
class RecordingEngine : public QObject
{
    Q_OBJECT
public:
    static constexpr int TickMs = 1000;

    RecordingEngine(RecordStore &store, SampleBuffer &buffer, const ReadingSource &source,
                    QObject *parent = nullptr);

    // Number of channels recorded, minus one (0..3).
    void setChannelIndex(int contrlIdx);
    int ContrlIdx() const { return m_contrlIdx; }

    // Arms a recording of ((d × 24 + h) × 60 + m) × 60 + s seconds at scale position
    // `iScale` with point operation `iOpmode` (0 maximum, 1 minimum, 2 average).
    void RecordPeriod(int d, int h, int m, int s, int iScale, int iOpmode);
    // Empties the buffer, then starts when a supply is running with its output on; a refusal
    // is told through the prompter. True when recording.
    bool BeginRecordData();
    // Stops the ticks; the remaining length stays armed for the next start.
    void EndRecordData(int idx = 0);
    bool isRecording() const { return TimerRecordData.isActive(); }

    // Whether stored samples are also appended to the sample buffer (the default). A recording
    // no window shows keeps them in `datatemp` alone, so its memory stays flat however long
    // it runs; each still comes by sampleRecorded().
    void setKeepsSamples(bool keep) { m_keepsSamples = keep; }
    // The time of the last sample of the running or last recording (empty before the first).
    QString lastSampleTime() const;

    // The in-memory buffer alone, or the buffer and `datatemp`.
    void ClearBuffer();
    bool ClearData();
    // The buffer rows were replaced from `datatemp` (a load or a filter): later samples go on
    // from its last sample.
    void bufferReplaced(const QString &startTime);

    // One timer tick: read the supply, store a sample at the end of an interval, count down.
    void TimerRecordData_Timer();

    // Sample idx of the buffer; empty outside 0..size-1.
    QString GetDate(qint64 idx) const;
    QString GetValuePrimary(qint64 idx) const;
    QString GetValueSecond(qint64 idx) const;

    qint64 iCurrentRow() const { return m_iCurrentRow; }
    qint64 CountRecordCount() const { return m_countRecordCount; }
    int scale() const { return m_scale; }
    int pointOperation() const { return m_pointOperation; }
    // Latch of channel 0..3, voltage or current: what the running interval will store.
    QString latch(int channel, bool current) const;
    int tickInInterval() const { return m_tickInInterval; }
    QDateTime RecordStart() const { return m_recordStart; }

    QTimer TimerRecordData;

signals:
    // A recording started at `startTime` that ends at `endTime` ("YYYY/MM/DD HH:MM:SS").
    void started(const QString &startTime, const QString &endTime);
    // Sample `row` of the buffer was stored.
    void sampleStored(int row);
    // A sample was stored in `datatemp` (and in the buffer when it keeps samples).
    void sampleRecorded(const SampleRow &sample);
    // The recording ended (its length reached, stopped, or failed).
    void stopped();
    // A tick failed; shown once the tick has returned.
    void failed(const QString &message);

private:
    bool AppendData(double tickSeconds);
    void combine(QString &latch, double &sum, const QString &reading);
    void resetLatches();
    bool storeSample(double tickSeconds);
    void finish();

    RecordStore &m_store;
    SampleBuffer &m_buffer;
    const ReadingSource &m_source;

    int m_contrlIdx = 0;
    qint64 m_iCurrentRow = 0;
    bool m_keepsSamples = true;
    qint64 m_countRecordCount = 0;
    int m_scale = 0;
    int m_pointOperation = 0;
    int m_intervalLastTick = 0;
    int m_tickInInterval = 0;
    QDateTime m_recordStart;
    qint64 m_elapsedSeconds = 0;
    std::optional<double> m_lastTickSeconds;  // none until the first sample is stored
    std::array<QString, 8> m_latch;            // ch1 V, ch1 A, ch2 V, ...
    std::array<double, 8> m_sums{};
};
