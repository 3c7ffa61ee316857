#pragma once

#include "datalog/RecordSaver.h"
#include "datalog/RecordTypes.h"
#include "datalog/RecordingEngine.h"
#include "datalog/SampleBuffer.h"
#include "datalog/SavedRecordModel.h"

#include <QObject>

#include <optional>

class ReadingSource;
class RecordPlace;
class RecordStore;
class SavedRecords;

// The recording of the program, apart from any window: the sample buffer, the engine that
// fills it, the record shown (number, times, description), where records are saved and the
// list of saved records. The table and graph windows are views of it; closing them neither
// stops nor loses a recording. Questions and messages go through the prompter.
class RecordingSession : public QObject
{
    Q_OBJECT
public:
    // Records are saved, listed and loaded through `place`; without one, in `store`.
    RecordingSession(RecordStore &store, RecordPlace *place, const ReadingSource &source,
                     QObject *parent = nullptr);

    SampleBuffer &buffer() { return m_buffer; }
    const SampleBuffer &buffer() const { return m_buffer; }
    RecordingEngine &engine() { return m_engine; }
    const ReadingSource &source() const { return m_source; }
    RecordStore &store() { return m_store; }
    SavedRecords &records();
    // The saved records as last listed (listRecords()).
    SavedRecordModel &savedRecords() { return m_saved; }

    // 1..4 channels recorded and shown.
    void setChannelCount(int channels);
    // Seconds one sample stands for at the engine's scale.
    int secondsPerPoint() const;

    // The record shown: number (empty until saved or loaded), start, end and description.
    const RecordInfo &record() const { return m_record; }
    // What the user typed over the record's number and description.
    void setRecordNumber(const QString &text);
    void setDescription(const QString &text) { m_record.comment = text; }
    // The graph's x-length position, saved with a record.
    void setXLengthPosition(int position) { m_xLengthPosition = position; }
    int xLengthPosition() const { return m_xLengthPosition; }

    // --- the recording
    void RecordPeriod(int d, int h, int m, int s, int iScale, int iOpmode);
    // Refused while the store takes no writes or when the user keeps unsaved samples; then
    // empties the buffer and starts (see RecordingEngine::BeginRecordData).
    bool BeginRecordData();
    void EndRecordData();
    bool isRecording() const { return m_engine.isRecording(); }

    // --- the buffer and the store
    // The buffer becomes what `datatemp` holds (samples of a recording never saved are kept).
    void reload();
    // Stops a recording and empties the buffer and `datatemp`.
    void ClearData();
    // The same after asking: unsaved samples get the question with Save, saved ones "Do you
    // want to clear all of data records?". False when refused or kept. For user actions only.
    bool clearAsked();
    // Copies the buffer into `DataWindow`n.
    void MoveData(int n);
    // Before samples that are saved nowhere are deleted: "N unsaved samples will be deleted.
    // Save them first?" True when the caller may go on (nothing unsaved, Discard, or saved).
    bool mayDiscardUnsaved();
    // Saves or replaces the buffer as a record, with the questions of `texts`.
    RecordSaver::Outcome saveRecord(const RecordSaver::Texts &texts, bool confirmed = false);
    // Loads saved record `recNo`; nullopt when it is not there, or when the user kept unsaved
    // samples the load would delete (asked unless `discardConfirmed`).
    std::optional<RecordInfo> loadRecord(const QString &recNo, bool discardConfirmed = false);
    // Lists the saved records into savedRecords(); false (and told) on failure.
    bool listRecords();
    // The comment of buffer row `row`, kept in the store.
    bool setComment(int row, const QString &text);
    // Highlights buffer row `row`; the views bring it into view.
    void selectRow(int row);

signals:
    // The record shown changed: its number, times or description.
    void recordChanged();
    void rowSelected(int row);

private:
    void setRecord(const RecordInfo &record);
    void storeFailed();
    void storeFailed(const StoreError &error);
    bool refuseWrites();
    // The place records are saved in now: "" for this computer, the server's name otherwise.
    QString placeKey() const;

    RecordStore &m_store;
    RecordPlace *m_place;
    const ReadingSource &m_source;
    SampleBuffer m_buffer;
    RecordingEngine m_engine;
    SavedRecordModel m_saved;
    RecordInfo m_record;
    // The place the shown record number belongs to; in another place it names another record.
    QString m_recordPlace;
    int m_xLengthPosition = 0;
};
