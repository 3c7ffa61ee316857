#include "datalog/RecordingEngine.h"

#include "common/Clock.h"
#include "common/NumberFormat.h"
#include "common/Prompter.h"
#include "datalog/RecordScale.h"
#include "datalog/RecordStore.h"
#include "datalog/RecordingInterfaces.h"
#include "datalog/SampleBuffer.h"

#include <cmath>

namespace {

constexpr double SecondsPerDay = 24 * 60 * 60;
// A time-driven sample's condition code, in every channel.
const QString TimeCondition = QStringLiteral("0");

} // namespace

RecordingEngine::RecordingEngine(RecordStore &store, SampleBuffer &buffer, const ReadingSource &source,
                                 QObject *parent)
    : QObject(parent), m_store(store), m_buffer(buffer), m_source(source)
{
    TimerRecordData.setInterval(TickMs);
    connect(&TimerRecordData, &QTimer::timeout, this, &RecordingEngine::TimerRecordData_Timer);
    resetLatches();
}

void RecordingEngine::setChannelIndex(int contrlIdx)
{
    m_contrlIdx = std::clamp(contrlIdx, 0, SampleBuffer::MaxChannels - 1);
}

void RecordingEngine::RecordPeriod(int d, int h, int m, int s, int iScale, int iOpmode)
{
    m_countRecordCount = ((qint64(d) * 24 + h) * 60 + m) * 60 + s;
    TimerRecordData.setInterval(TickMs);
    m_scale = std::clamp(iScale, 0, RecordScale::Positions - 1);
    m_pointOperation = std::clamp(iOpmode, 0, 2);
    m_intervalLastTick = RecordScale::secondsPerPoint(m_scale) - 1;
}

bool RecordingEngine::BeginRecordData()
{
    ClearData();
    if (!m_source.isRunning()) {
        Prompter::current().message(QStringLiteral("Please check connection with device and then try again!"));
        return false;
    }
    if (!m_source.isOutputOn()) {
        Prompter::current().message(QStringLiteral("Please setup Device into Auto Run mode and then try again!"));
        return false;
    }
    m_recordStart = Clock::current().now();
    // The recording ends after CountRecordCount one-second ticks past its first sample.
    const QDateTime end = m_recordStart.addSecs(m_countRecordCount);
    resetLatches();
    TimerRecordData.start();
    emit started(NumberFormat::timeStamp(m_recordStart), NumberFormat::timeStamp(end));
    return true;
}

void RecordingEngine::EndRecordData(int)
{
    if (!TimerRecordData.isActive())
        return;
    finish();
}

void RecordingEngine::finish()
{
    TimerRecordData.stop();
    emit stopped();
}

QString RecordingEngine::lastSampleTime() const
{
    return m_lastTickSeconds ? NumberFormat::timeStamp(m_recordStart.addSecs(m_elapsedSeconds)) : QString();
}

void RecordingEngine::ClearBuffer()
{
    m_buffer.clear();
    m_iCurrentRow = 0;
    m_tickInInterval = 0;
}

bool RecordingEngine::ClearData()
{
    ClearBuffer();
    const bool cleared = m_store.clearBuffer();
    m_elapsedSeconds = 0;
    m_lastTickSeconds.reset();
    return cleared;
}

void RecordingEngine::bufferReplaced(const QString &startTime)
{
    if (isRecording())
        return;
    m_iCurrentRow = m_buffer.size();
    const QDateTime start = NumberFormat::parseTimeStamp(startTime);
    if (start.isValid())
        m_recordStart = start;
}

QString RecordingEngine::latch(int channel, bool current) const
{
    const int i = 2 * channel + (current ? 1 : 0);
    return i >= 0 && i < int(m_latch.size()) ? m_latch[size_t(i)] : QString();
}

void RecordingEngine::resetLatches()
{
    const QString value = m_pointOperation == RecordScale::Minimum ? QStringLiteral("99999")
                                                                   : QStringLiteral("0");
    m_latch.fill(value);
    m_sums.fill(0);
}

// ---------------------------------------------------------------- ticks

void RecordingEngine::TimerRecordData_Timer()
{
    if (!TimerRecordData.isActive())
        return;  // stopped since this tick was queued
    const double tickSeconds = Clock::current().secondsSinceMidnight();
    if (!AppendData(tickSeconds))
        return;
    if (--m_countRecordCount < 0)
        finish();
}

void RecordingEngine::combine(QString &latch, double &sum, const QString &reading)
{
    const double value = SampleBuffer::readingValue(reading);
    if (m_tickInInterval == 0) {
        // The first reading of an interval opens it, whatever the operation.
        latch = reading;
        sum = value;
        return;
    }
    switch (m_pointOperation) {
    case RecordScale::Maximum:
        if (SampleBuffer::readingValue(latch) < value)
            latch = reading;
        break;
    case RecordScale::Minimum:
        if (SampleBuffer::readingValue(latch) > value)
            latch = reading;
        break;
    default:
        sum += value;
        latch = NumberFormat::format(sum / (m_tickInInterval + 1), QStringLiteral("###0.00#"));
        break;
    }
}

bool RecordingEngine::AppendData(double tickSeconds)
{
    if (!m_source.isRunning()) {
        emit failed(QStringLiteral("The supply is no longer running; the recording has stopped."));
        finish();
        return false;
    }
    for (int c = 0; c <= m_contrlIdx; ++c) {
        const QString volts = m_source.voltageText(c);
        const QString amps = m_source.currentText(c);
        if (m_scale == 0) {
            m_latch[size_t(2 * c)] = volts;
            m_latch[size_t(2 * c + 1)] = amps;
        } else {
            combine(m_latch[size_t(2 * c)], m_sums[size_t(2 * c)], volts);
            combine(m_latch[size_t(2 * c + 1)], m_sums[size_t(2 * c + 1)], amps);
        }
    }
    if (m_scale != 0 && m_tickInInterval < m_intervalLastTick) {
        ++m_tickInInterval;
        return true;
    }
    m_tickInInterval = 0;
    const bool stored = storeSample(tickSeconds);
    resetLatches();
    return stored;
}

bool RecordingEngine::storeSample(double tickSeconds)
{
    SampleRow row;
    row.seqNo = m_iCurrentRow;
    qint64 diff = 0;
    if (m_lastTickSeconds)
        diff = std::llround(Clock::elapsedSeconds(*m_lastTickSeconds, tickSeconds));
    row.diffLastTime = diff;
    row.timeTick = m_elapsedSeconds + diff;
    // Sample times are the start plus the sum of the rounded gaps, not the tick's clock time.
    row.recTime = NumberFormat::timeStamp(m_recordStart.addSecs(row.timeTick));
    for (int c = 0; c < SampleBuffer::MaxChannels; ++c)
        row.channels[size_t(c)] = {m_latch[size_t(2 * c)], m_latch[size_t(2 * c + 1)], TimeCondition};

    if (!m_store.appendSample(row)) {
        const StoreError error = m_store.lastError();
        emit failed(error.cause.isEmpty()
                        ? QStringLiteral("The sample could not be stored (%1: %2); the recording has stopped.")
                              .arg(error.number, error.description)
                        : QStringLiteral("The sample could not be stored; the recording has stopped. %1")
                              .arg(error.cause));
        finish();
        return false;
    }
    m_elapsedSeconds = row.timeTick;
    m_lastTickSeconds = tickSeconds;
    ++m_iCurrentRow;
    if (m_keepsSamples) {
        m_buffer.append(row);
        emit sampleStored(m_buffer.size() - 1);
    }
    emit sampleRecorded(row);
    return true;
}

// ---------------------------------------------------------------- reading the buffer

QString RecordingEngine::GetDate(qint64 idx) const
{
    return idx < m_buffer.size() ? m_buffer.recTime(int(idx)) : QString();
}

QString RecordingEngine::GetValuePrimary(qint64 idx) const
{
    return idx < m_buffer.size() ? m_buffer.voltage(int(idx), 0) : QString();
}

QString RecordingEngine::GetValueSecond(qint64 idx) const
{
    return idx < m_buffer.size() ? m_buffer.current(int(idx), 0) : QString();
}
