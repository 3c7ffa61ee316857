#include "datalog/RecordingSession.h"

#include "common/Prompter.h"
#include "datalog/RecordPlace.h"
#include "datalog/RecordScale.h"
#include "datalog/RecordStore.h"
#include "datalog/RecordingInterfaces.h"
#include "datalog/StoreMessages.h"

RecordingSession::RecordingSession(RecordStore &store, RecordPlace *place, const ReadingSource &source,
                                   QObject *parent)
    : QObject(parent), m_store(store), m_place(place), m_source(source), m_engine(store, m_buffer, source)
{
    connect(&m_engine, &RecordingEngine::started, this, [this](const QString &start, const QString &end) {
        RecordInfo record;
        record.startTime = start;
        record.endTime = end;
        setRecord(record);
    });
    // A recording stopped early ends at its last sample, not at the planned end.
    connect(&m_engine, &RecordingEngine::stopped, this, [this] {
        const QString last = m_engine.lastSampleTime();
        if (m_engine.iCurrentRow() > 0 && !last.isEmpty()) {
            m_record.endTime = last;
            emit recordChanged();
        }
    });
    connect(&m_engine, &RecordingEngine::failed, this, [](const QString &message) {
        // Shown without waiting in the tick; the engine has already stopped.
        Prompter::current().notify(message, QString(), Prompter::Severity::Critical);
    });
}

SavedRecords &RecordingSession::records()
{
    if (m_place)
        return m_place->current();
    return m_store;
}

void RecordingSession::setChannelCount(int channels)
{
    m_engine.setChannelIndex(channels - 1);
    m_buffer.setChannelCount(m_engine.ContrlIdx() + 1);
}

int RecordingSession::secondsPerPoint() const
{
    return RecordScale::secondsPerPoint(m_engine.scale());
}

void RecordingSession::setRecord(const RecordInfo &record)
{
    m_record = record;
    m_recordPlace = placeKey();
    emit recordChanged();
}

void RecordingSession::setRecordNumber(const QString &text)
{
    // A number typed now names a record of the place in use.
    if (text != m_record.recNo)
        m_recordPlace = placeKey();
    m_record.recNo = text;
}

QString RecordingSession::placeKey() const
{
    return m_place && m_place->onServer() ? m_place->settings().serverName() : QString();
}

// ---------------------------------------------------------------- the recording

void RecordingSession::RecordPeriod(int d, int h, int m, int s, int iScale, int iOpmode)
{
    m_engine.RecordPeriod(d, h, m, s, iScale, iOpmode);
}

bool RecordingSession::BeginRecordData()
{
    // Refused before anything is asked or emptied: nothing may be written yet, or here.
    if (refuseWrites() || !mayDiscardUnsaved())
        return false;
    setRecord(RecordInfo());
    return m_engine.BeginRecordData();
}

void RecordingSession::EndRecordData()
{
    m_engine.EndRecordData();
}

// ---------------------------------------------------------------- the buffer and the store

void RecordingSession::reload()
{
    m_buffer.beginRebuild();
    const bool ok = m_store.forEachBufferSampleView([this](const SampleView &row) {
        m_buffer.add(row);
        return true;
    });
    m_buffer.endRebuild();
    if (!ok)
        storeFailed();
    // Samples of a recording never saved are saved with the times of its first and last.
    if (m_buffer.size() > 0 && m_record.startTime.isEmpty()) {
        RecordInfo record;
        record.startTime = m_buffer.recTime(0);
        record.endTime = m_buffer.recTime(m_buffer.size() - 1);
        setRecord(record);
    }
    m_engine.bufferReplaced(m_record.startTime);
}

void RecordingSession::ClearData()
{
    // The samples of a running recording would go on from a start that is no longer shown.
    m_engine.EndRecordData();
    if (!m_engine.ClearData())
        storeFailed();
    setRecord(RecordInfo());
}

bool RecordingSession::clearAsked()
{
    if (refuseWrites())
        return false;
    const std::optional<qint64> count = m_store.bufferCount();
    const std::optional<qint64> unsaved = m_store.unsavedCount();
    if (!count || !unsaved) {
        storeFailed();
        return false;
    }
    if (*unsaved > 0) {
        if (!mayDiscardUnsaved())
            return false;
    } else if (*count > 0 && !Prompter::current().question(QStringLiteral("Do you want to clear all of data records?"))) {
        return false;
    }
    ClearData();
    return true;
}

void RecordingSession::MoveData(int n)
{
    if (!m_store.moveBufferToWindow(n)) {
        storeFailed();
        return;
    }
    m_engine.ClearBuffer();
}

bool RecordingSession::mayDiscardUnsaved()
{
    const std::optional<qint64> unsaved = m_store.unsavedCount();
    if (!unsaved) {
        storeFailed();
        return false;
    }
    if (*unsaved == 0)
        return true;
    const QString text = QStringLiteral("%1 unsaved samples will be deleted. Save them first?").arg(*unsaved);
    switch (Prompter::current().saveDiscardCancel(text)) {
    case Prompter::Choice::Discard:
        return true;
    case Prompter::Choice::Cancel:
        return false;
    case Prompter::Choice::Save:
        break;
    }
    switch (saveRecord(RecordSaver::Texts::dataTable(), true)) {
    case RecordSaver::Outcome::Saved:
    case RecordSaver::Outcome::Replaced:
    case RecordSaver::Outcome::SavedHere:
        return true;
    default:
        return false;
    }
}

RecordSaver::Outcome RecordingSession::saveRecord(const RecordSaver::Texts &texts, bool confirmed)
{
    RecordSaver saver(records(), m_store, texts);
    // A record loaded or saved before the place was switched is a new record in this one:
    // the same number here names another record, which must not be replaced.
    const QString recNo = m_recordPlace == placeKey() ? m_record.recNo : QString();
    RecordSaver::Form form{recNo, m_record.startTime, m_record.endTime, m_record.comment,
                           m_engine.scale(), m_xLengthPosition, m_source.machineType()};
    const RecordSaver::Outcome outcome = saver.save(form, confirmed);
    if (outcome == RecordSaver::Outcome::Saved || outcome == RecordSaver::Outcome::SavedHere) {
        m_record.recNo = form.recNo;
        m_recordPlace = placeKey();
        emit recordChanged();
    }
    return outcome;
}

std::optional<RecordInfo> RecordingSession::loadRecord(const QString &recNo, bool discardConfirmed)
{
    // Read-only, a load only reads; otherwise it empties the buffer first.
    if (!m_store.isReadOnly() && refuseWrites())
        return std::nullopt;
    if (!discardConfirmed && !mayDiscardUnsaved())
        return std::nullopt;
    // A recording would go on into the loaded record's samples.
    m_engine.EndRecordData();
    // A long record takes a moment to read and show.
    const BusyScope busy;
    RecordInfo record;
    SavedRecords &place = records();
    switch (place.loadRecord(recNo, &record)) {
    case SavedRecords::LoadResult::NotFound:
        return std::nullopt;
    case SavedRecords::LoadResult::Failed:
        storeFailed(place.lastError());
        return std::nullopt;
    case SavedRecords::LoadResult::Loaded:
        break;
    }
    record.recNo = record.recNo.trimmed();
    setRecord(record);
    reload();
    return record;
}

bool RecordingSession::listRecords()
{
    const auto records = this->records().savedRecords();
    if (!records)
        return false;
    m_saved.setRecords(*records);
    return true;
}

bool RecordingSession::setComment(int row, const QString &text)
{
    if (refuseWrites() || row < 0 || row >= m_buffer.size())
        return false;
    // Keyed by sample number: two samples may share a time stamp when a tick was late.
    if (!m_store.updateComment(m_buffer.seqNo(row), text)) {
        storeFailed();
        return false;
    }
    return m_buffer.setComment(row, text);
}

void RecordingSession::selectRow(int row)
{
    if (row < 0 || row >= m_buffer.size())
        return;
    m_buffer.setHighlightedRow(row);
    emit rowSelected(row);
}

bool RecordingSession::refuseWrites()
{
    const std::optional<QString> why = m_store.writeRefusal();
    if (why)
        Prompter::current().message(*why, QString(), Prompter::Severity::Warning);
    return why.has_value();
}

void RecordingSession::storeFailed()
{
    storeFailed(m_store.lastError());
}

void RecordingSession::storeFailed(const StoreError &error)
{
    Prompter::current().message(storeFailureText(QStringLiteral("DataTable: "), error), QString(),
                                Prompter::Severity::Critical);
}
