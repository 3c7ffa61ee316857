#pragma once

#include "datalog/RecordTypes.h"

#include <QList>
#include <QString>

#include <optional>

// A place that keeps saved records (`datamain` with their samples `datadetail`): this
// computer's store or the lab server. The sample buffer always stays in this computer's
// store; a save takes the buffer's samples, a load puts the record's samples there.
// Failed operations return false (or nullopt) and leave the reason in lastError().
class SavedRecords
{
public:
    enum class LoadResult { Loaded, NotFound, Failed };

    virtual ~SavedRecords() = default;

    virtual StoreError lastError() const = 0;

    // Saves the buffer as a new record under the next free number, taken in the same
    // transaction as the save; record.recNo receives it. All samples are saved or none.
    virtual bool saveNewRecord(RecordInfo &record) = 0;
    // The record's description becomes `record.comment` and its samples the buffer's. A
    // record that no longer exists is saved anew from `record`.
    virtual bool replaceRecord(const RecordInfo &record) = 0;
    // The saved record `recNo`; nullopt when there is none, or on failure (lastError() set).
    virtual std::optional<RecordInfo> findRecord(const QString &recNo) = 0;
    // The buffer becomes the samples of record `recNo`. A missing record (or a failure)
    // leaves the buffer untouched.
    virtual LoadResult loadRecord(const QString &recNo, RecordInfo *record = nullptr) = 0;
    // Every saved record, highest number first (numbers compared as numbers).
    virtual std::optional<QList<RecordInfo>> savedRecords() = 0;
    // The record and its samples.
    virtual bool deleteRecord(const QString &recNo) = 0;
};
