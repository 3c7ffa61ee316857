#pragma once

#include "datalog/SavedRecords.h"
#include "settings/RecordPlaceSettings.h"

#include <QSqlError>

#include <functional>
#include <memory>

class QSqlQuery;
class RecordStore;
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
class ServerRecordStore : public SavedRecords
{
public:
    static constexpr int ConnectTimeoutSeconds = 4;

    ServerRecordStore(const RecordPlaceSettings &where, RecordStore &local);
    ~ServerRecordStore() override;
    ServerRecordStore(const ServerRecordStore &) = delete;
    ServerRecordStore &operator=(const ServerRecordStore &) = delete;

    // Connects (when not connected) and creates or upgrades the server's tables.
    bool connect();
    void disconnect();
    // Connects to the server `where` names and prepares its tables; the error when that fails.
    static std::optional<StoreError> probe(const RecordPlaceSettings &where);

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
    using SampleSource = std::function<bool(const std::function<bool(const SampleView &)> &)>;
    using PgResult = std::unique_ptr<pg_result, void (*)(pg_result *)>;

    bool inTransaction(const std::function<bool()> &statements);
    std::optional<QSqlQuery> run(const QString &sql, const QVariantList &values = {});
    bool lockRecords();
    std::optional<QString> nextNumber();
    bool insertRecordRow(const RecordInfo &record);
    bool insertSamples(const QString &recNo, const SampleSource &source);
    SampleSource bufferSource();
    pg_conn *pg();
    bool startCopy(pg_conn *conn, const QByteArray &sql);
    std::optional<QSqlError> finishCopy(pg_conn *conn, bool read, bool sent);
    void setError(const QSqlError &error);
    void setError(const QString &description);

    RecordPlaceSettings m_where;
    RecordStore &m_local;
    QString m_hostName;
    std::unique_ptr<SqlConnection> m_conn;
    bool m_broken = false;         // the connection failed: made anew by the next operation
    bool m_inTransaction = false;
    StoreError m_error;
};
