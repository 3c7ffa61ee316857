#pragma once

#include "datalog/RecordTypes.h"
#include "datalog/SavedRecords.h"
#include "datalog/StoreCheck.h"
#include "datalog/StoreClaim.h"
#include "resources/Catalogue.h"

#include <QList>
#include <QSqlError>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>

class QSqlDatabase;
class QSqlQuery;
class SqlConnection;
class WalCheckpointer;
struct sqlite3;

// The outcome of opening the record database at start-up.
struct StoreOpenResult {
    enum class Status {
        Opened,        // opened (created on first run)
        Repaired,      // was damaged; a dated backup was made and the readable content restored
        CannotOpen,    // folder or file cannot be created or opened: `message`, then stop
        RepairFailed,  // damaged and the repair failed: `message`, then stop
        HeldElsewhere, // another program holds the store (`holder`); it may be opened read-only
    };
    StoreOpenResult() = default;
    StoreOpenResult(Status s, const QString &text) : status(s), message(text) {}

    Status status = Status::CannotOpen;
    // What to tell the user: why the program cannot go on, or, after a repair, how much was
    // recovered and where the damaged file was kept. Empty after a plain open.
    QString message;
    StoreClaim::Holder holder;

    bool ok() const { return status == Status::Opened || status == Status::Repaired; }
};

// The record database `mtype.db`: the machine-type table `data1`, the sample buffer
// `datatemp`, the saved records `datamain` with their samples `datadetail`, and the auxiliary
// tables. One instance holds one connection for the whole run, and claims the store for its
// program (StoreClaim): a second program on the same store may only open it read-only.
//
// Every value is bound as a parameter, so text is stored exactly as typed. The statements of
// one operation run in one transaction: a failure leaves the tables as they were. Each
// sample append is committed when it returns. Failed operations return false (or nullopt)
// and leave the reason in lastError().
class RecordStore : public SavedRecords
{
public:
    RecordStore();
    ~RecordStore() override;
    RecordStore(const RecordStore &) = delete;
    RecordStore &operator=(const RecordStore &) = delete;

    // $ZEP_DATA_DIR when set, else $XDG_DATA_HOME/ZEP-1-0 (~/.local/share/ZEP-1-0).
    static QString defaultFolder();

    // Opens (creating on first run, repairing when damaged) `mtype.db` in `folder`: schema
    // and shipped machine types are added where missing; saved records are kept. With
    // IntegrityCheck::Later the check of every page, which grows with the store, is left to
    // verify() or applyCheck(), so that the program's window can show first; until then
    // nothing is written (see writeRefusal()).
    // Access::Claim takes the store for this program, or gives HeldElsewhere when another
    // holds it; Access::ReadOnly reads a store another program holds, and writes nothing.
    enum class IntegrityCheck { Now, Later };
    enum class Access { Claim, ReadOnly };
    StoreOpenResult open(const QString &folder = defaultFolder(), IntegrityCheck check = IntegrityCheck::Now,
                         Access access = Access::Claim);
    // The integrity check put off by open(), run here: a damaged store is repaired as open()
    // would.
    StoreOpenResult verify();
    // The same with the outcome of a check run elsewhere (StoreCheck in a worker thread).
    StoreOpenResult applyCheck(const StoreCheck::Outcome &outcome);
    bool checkPending() const { return m_checkPending; }
    bool isReadOnly() const { return m_readOnly; }
    // Why nothing may be written now (read-only, or the check has not finished), in words for
    // the user; nullopt when writing is allowed. Writes refused for it fail with this text.
    std::optional<QString> writeRefusal() const;
    bool isOpen() const;
    // Keeps at most `kib` KiB of the file's pages in memory (32 MB by default, for loading
    // long records). A program that only appends needs few, and then stays flat.
    void limitPageCache(int kib);
    // Closes the connection and lets the store's claim go.
    void close();
    QString filePath() const;

    StoreError lastError() const override { return m_error; }

    // --- sample buffer (datatemp) ---
    bool clearBuffer();                                             // operation 1
    bool appendSample(const SampleRow &row);                        // operation 2
    // Operation 3: the comment of the sample numbered `seqNo`. Keyed by number, not time
    // stamp: two samples share a time stamp when a tick was late.
    bool updateComment(qint64 seqNo, const QString &comment);
    std::optional<qint64> bufferCount();                            // operation 4
    // Samples recorded into the buffer and not saved as a record since (they survive a
    // restart); 0 for a loaded record and in read-only.
    std::optional<qint64> unsavedCount();
    // The buffer's samples were saved as a record elsewhere (the lab server).
    bool markBufferSaved(const QString &recNo);
    // Operation 11: the buffer in SeqNo order; with `reason`, only the rows whose channel-1
    // condition code equals it. `visit` returns false to stop early.
    bool forEachBufferSample(const std::function<bool(const SampleRow &)> &visit,
                             const std::optional<QString> &reason = std::nullopt);
    // The same without a string object per cell, for filling the in-memory buffer.
    bool forEachBufferSampleView(const std::function<bool(const SampleView &)> &visit,
                                 const std::optional<QString> &reason = std::nullopt);
    // The samples of saved record `recNo` in SeqNo order, read the same way.
    bool forEachRecordSampleView(const QString &recNo, const std::function<bool(const SampleView &)> &visit);
    // The buffer becomes the rows `fill` hands to its sink (a saved record's samples), in one
    // transaction: when `fill` or a write fails the buffer keeps what it held.
    using SampleSink = std::function<bool(const SampleView &)>;
    bool replaceBuffer(const std::function<bool(const SampleSink &)> &fill);
    // The buffer becomes the `count` samples `samples` hands to its sink (a record read from
    // the lab server), held where they are: datatemp is emptied, and they are copied into it
    // only when an operation changes the buffer. A crash meanwhile leaves no unsaved samples;
    // they are saved where they came from.
    using SampleSource = std::function<bool(const SampleSink &)>;
    bool holdBuffer(qint64 count, SampleSource samples);
    // Copies held samples into datatemp now (before the record they came from is deleted).
    bool keepHeldHere() { return materializeHeld(); }
    std::optional<QList<SampleRow>> bufferSamples(const std::optional<QString> &reason = std::nullopt);
    // Channel 1..4's extremes over the whole buffer: readings compared as numbers (a decimal
    // comma counts as a point), each result the stored text of that reading. A scan; the
    // windows read the extremes the SampleBuffer keeps instead.
    std::optional<ChannelExtremes> channelExtremes(int channel);
    // The table window's MoveData: the buffer is copied into `DataWindow`n (created when first
    // used) and emptied.
    bool moveBufferToWindow(int n);

    // --- saved records (datamain, datadetail) ---
    std::optional<QString> nextRecordNumber();                      // operation 5
    // Operation 6: `record` (its number from nextRecordNumber()) with the buffer's samples.
    bool saveRecord(const RecordInfo &record);
    // Operations 5 and 6 in one transaction.
    bool saveNewRecord(RecordInfo &record) override;
    // Operation 7.
    bool replaceRecord(const RecordInfo &record) override;
    std::optional<RecordInfo> findRecord(const QString &recNo) override;
    // Operation 8. The samples are read from the record itself until an operation changes
    // the buffer; then they are copied into datatemp first.
    LoadResult loadRecord(const QString &recNo, RecordInfo *record = nullptr) override;
    // Operation 9.
    std::optional<QList<RecordInfo>> savedRecords() override;
    // Operation 10.
    bool deleteRecord(const QString &recNo) override;

    // --- machine types (data1) ---
    // Every row in table order.
    std::optional<QList<MachineTypeRow>> machineTypes();
    // The first row whose MTYPE equals `mtype` (exact match); nullopt when there is none, or
    // on failure (lastError() set).
    std::optional<MachineTypeRow> findMachineType(const QString &mtype);
    // The same row as its fields by position (0 MTYPE .. 12 OVPFORMAT).
    std::optional<QVariantList> machineTypeFields(const QString &mtype);

private:
    enum class Attach { Ok, Damaged, Failed };
    // Why a store that is there cannot be used.
    enum class Cause { Other, NoPermission, Locked, DiskFull, Foreign };
    Attach attach(bool check);
    Attach checked(const StoreCheck::Outcome &outcome);
    bool foreignTables();
    Attach classify(const QSqlError &error);
    Cause causeOf(const QSqlError &error) const;
    StoreOpenResult cannotFind() const;
    StoreOpenResult cannotOpen() const;
    StoreOpenResult repairAndReopen();
    void disconnect();
    bool writable();
    bool setBufferSaved(const QString &recNo);

    QSqlDatabase &db();
    bool exec(QSqlQuery &query);
    bool exec(const QString &sql, const QVariantList &values = {});
    std::optional<QSqlQuery> select(const QString &sql, const QVariantList &values = {});
    void setError(const QSqlError &error);
    void setError(const QString &description);
    bool copyBufferToRecord(const QString &recNo);
    sqlite3 *rawHandle();
    bool rawFailure(sqlite3 *raw);
    bool forEachSampleView(const QString &recNo, const std::optional<QString> &reason,
                           const std::function<bool(const SampleView &)> &visit);
    bool insertRecordRow(const RecordInfo &record);
    bool runInTransaction(const std::function<bool()> &statements);
    bool materialize();
    bool materializeHeld();

    QString m_folder;
    std::unique_ptr<SqlConnection> m_conn;
    std::unique_ptr<WalCheckpointer> m_checkpointer;  // after m_conn: it goes first
    std::unique_ptr<StoreClaim> m_claim;
    StoreClaim::Holder m_holder;  // who holds the store when it is open read-only
    bool m_readOnly = false;
    bool m_checkPending = false;
    // datatemp's samples are saved as a record (a row in datatempsaved).
    bool m_bufferSaved = false;
    StoreError m_error;
    Cause m_cause = Cause::Other;
    // A loaded record whose samples the buffer holds but datatemp does not yet (they are
    // copied there before anything changes them); empty when datatemp is the buffer.
    QString m_bufferRecord;
    // Samples held by holdBuffer() (copied into datatemp before anything changes them); empty
    // when they are not held elsewhere.
    SampleSource m_held;
    qint64 m_heldCount = 0;
};
