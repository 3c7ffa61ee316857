#pragma once

#include "datalog/SavedRecords.h"
#include "settings/RecordPlaceSettings.h"

#include <QSqlError>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QSqlQuery;
class RecordStore;
namespace SampleCopy {
class Received;
class Rows;
}
class SqlConnection;
struct pg_conn;
struct pg_result;

// Saved records on the lab's PostgreSQL server, shared by every bench. The sample buffer
// stays in this computer's store (`local`): a save reads it, a load fills it.
//
// A save takes the next record number and writes the record with all its samples in one
// transaction, under a table lock, so two benches saving at once get two numbers. The
// connection is made on first use and made again after the server went away; connecting
// gives up after ConnectTimeoutSeconds. When the server cannot be reached, lastError() says
// so and has `unreachable` set; nothing was changed then.
//
// The connection lives on a thread of the store's own and every operation runs there while
// the caller waits. An operation that hears nothing from the server for AnswerTimeoutSeconds,
// or that the user cancels, is stopped by closing the connection: its transaction is rolled
// back, and lastError() says so with `unreachable` set.
class ServerRecordStore : public SavedRecords
{
public:
    static constexpr int ConnectTimeoutSeconds = 4;
    // The server ends a statement that waits this long for another bench's lock, or that runs
    // this long (except the stream of samples, which may rightly take longer).
    static constexpr int LockTimeoutSeconds = 8;
    static constexpr int StatementTimeoutSeconds = 10;
    // An operation that has heard nothing from the server for this long is stopped.
    static constexpr int AnswerTimeoutSeconds = 12;

    ServerRecordStore(const RecordPlaceSettings &where, RecordStore &local);
    ~ServerRecordStore() override;
    ServerRecordStore(const ServerRecordStore &) = delete;
    ServerRecordStore &operator=(const ServerRecordStore &) = delete;

    // With `shown`, waits go through the prompter (a progress box with a Cancel button, the
    // windows working meanwhile): for operations started by a user action. Otherwise the
    // calling thread just waits.
    void setProgressShown(bool shown) { m_progressShown = shown; }

    // Connects (when not connected) and creates or upgrades the server's tables.
    bool connect();
    void disconnect();
    // Connects to the server `where` names and prepares its tables; the error when that fails.
    static std::optional<StoreError> probe(const RecordPlaceSettings &where, bool showProgress = false);

    StoreError lastError() const override { return m_error; }
    bool saveNewRecord(RecordInfo &record) override;
    bool replaceRecord(const RecordInfo &record) override;
    std::optional<RecordInfo> findRecord(const QString &recNo) override;
    LoadResult loadRecord(const QString &recNo, RecordInfo *record = nullptr) override;
    std::optional<QList<RecordInfo>> savedRecords() override;
    bool deleteRecord(const QString &recNo) override;

    // Copies record `source` of this computer's store to the server under a new number,
    // its old number and this computer's name added to the description. A record copied
    // before (same bench, start time and description) is not copied again.
    enum class CopyResult { Copied, AlreadyThere, Failed };
    CopyResult copyLocalRecord(const RecordInfo &source, QString *newNumber);
    // The description a copied record gets.
    static QString copiedDescription(const RecordInfo &source, const QString &hostName);

private:
    class Job;
    enum Abort { NotAborted, Cancelled, TimedOut };

    // Runs `body` on the store's thread and waits for it; `what` is shown while waiting.
    template<class Body>
    auto onWorker(const QString &what, Body body) -> decltype(body());
    void workerLoop();
    void noteAnswer();
    void abortOperation(Abort why);
    void checkAnswerTimeout();
    bool connectHere();
    void disconnectHere();
    std::optional<RecordInfo> findHere(const QString &recNo);

    using SampleSource = std::function<bool(const std::function<bool(const SampleView &)> &)>;
    using PgResult = std::unique_ptr<pg_result, void (*)(pg_result *)>;

    // `statements` in one transaction on the store's thread.
    bool inTransaction(const QString &what, const std::function<bool()> &statements);
    bool transactionHere(const std::function<bool()> &statements);
    std::optional<QSqlQuery> run(const QString &sql, const QVariantList &values = {});
    bool lockRecords();
    std::optional<QString> nextNumber();
    bool insertRecordRow(const RecordInfo &record);
    // The samples of `source` as COPY rows waiting for their record number; read on the
    // caller's thread, where this computer's store lives.
    std::optional<SampleCopy::Rows> copyRows(const SampleSource &source);
    bool insertSamples(const QString &recNo, const SampleCopy::Rows &rows);
    bool receiveSamples(const QString &recNo, SampleCopy::Received &samples);
    SampleSource bufferSource();
    pg_conn *pg();
    pg_result *awaitResult(pg_conn *conn);
    bool awaitInput(pg_conn *conn);
    bool startCopy(pg_conn *conn, const QByteArray &sql);
    std::optional<QSqlError> finishCopy(pg_conn *conn, bool read, bool sent);
    void setError(const QSqlError &error);
    void setError(const QString &description);
    QString refusal(const QSqlError &error) const;

    RecordPlaceSettings m_where;
    RecordStore &m_local;
    QString m_hostName;
    std::unique_ptr<SqlConnection> m_conn;
    bool m_broken = false;         // the connection failed: made anew by the next operation
    bool m_inTransaction = false;
    StoreError m_error;
    bool m_progressShown = false;
    QString m_heldRecNo;  // the record last loaded, whose samples the buffer may still hold

    std::mutex m_taskMutex;
    std::condition_variable m_taskReady;
    std::function<void()> m_task;
    bool m_stopping = false;
    std::atomic<qint64> m_lastAnswerMs{0};
    std::atomic<int> m_abort{NotAborted};
    std::mutex m_socketMutex;
    int m_socket = -1;  // of the open connection, for stopping an operation from outside
    std::thread m_thread;  // last: started once everything above exists
};
