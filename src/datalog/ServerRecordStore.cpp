#include "datalog/ServerRecordStore.h"

#include "datalog/RecordStore.h"
#include "datalog/ServerSchema.h"
#include "datalog/SqlConnection.h"
#include "datalog/StoreSchema.h"

#include <QSqlQuery>
#include <QSysInfo>

namespace {

const QString Driver = QStringLiteral("QPSQL");

// Rows per insert statement while a record's samples are written: one round trip per
// thousand samples, well below the server's limit of parameters per statement.
constexpr int RowsPerInsert = 1000;

// A numeric record number as a number, for the highest number and the list's order.
const QString NumericRecNo = QStringLiteral("(CASE WHEN RecNo ~ '^[0-9]{1,18}$' THEN RecNo::bigint END)");

// The client library gives up connecting after the time-out, and finds a connection whose
// network went away within about ten seconds (TCP only; a socket on this computer fails at
// once).
QString connectOptions()
{
    return QStringLiteral("connect_timeout=%1;keepalives=1;keepalives_idle=5;keepalives_interval=2;"
                          "keepalives_count=2;tcp_user_timeout=10000")
        .arg(ServerRecordStore::ConnectTimeoutSeconds);
}

// Errors after which the connection is gone: it could not be made, it broke (class 08), or
// the server is shutting down or restarting (class 57P).
bool connectionLost(const QSqlError &error)
{
    const QString state = error.nativeErrorCode();
    if (error.type() == QSqlError::ConnectionError)
        return true;
    if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")))
        return true;
    // A broken socket gives no state, only the client library's words.
    const QString text = error.databaseText() + error.driverText();
    return state.isEmpty()
        && (text.contains(QLatin1String("connection"), Qt::CaseInsensitive)
            || text.contains(QLatin1String("could not send data"), Qt::CaseInsensitive)
            || text.contains(QLatin1String("could not receive data"), Qt::CaseInsensitive));
}

RecordInfo recordFrom(const QSqlQuery &q)
{
    RecordInfo r;
    QString *fields[] = {&r.recNo, &r.startTime, &r.endTime, &r.comment, &r.pUnit, &r.sUnit,
                         &r.recStyle, &r.showStyle, &r.hostName, &r.machineType};
    for (int i = 0; i < int(std::size(fields)); ++i)
        *fields[i] = q.value(i).toString();
    return r;
}

SampleRow sampleFrom(const QSqlQuery &q)
{
    SampleRow row;
    row.seqNo = q.value(0).toLongLong();
    row.recTime = q.value(1).toString();
    for (int c = 0; c < 4; ++c) {
        row.channels[size_t(c)] = {q.value(2 + 3 * c).toString(), q.value(3 + 3 * c).toString(),
                                   q.value(4 + 3 * c).toString()};
    }
    row.comment = q.value(14).toString();
    row.timeTick = q.value(15).toLongLong();
    row.diffLastTime = q.value(16).toLongLong();
    return row;
}

void appendValues(QVariantList &values, const QString &recNo, const SampleRow &row)
{
    values << recNo << row.seqNo << row.recTime;
    for (const ChannelReading &ch : row.channels)
        values << ch.voltage << ch.current << ch.reason;
    values << row.comment << row.timeTick << row.diffLastTime;
}

QString sampleInsert(int rows)
{
    const QString one = QStringLiteral("(?,1,") + QStringList(17, QStringLiteral("?")).join(QLatin1Char(','))
        + QLatin1Char(')');
    return QStringLiteral("INSERT INTO datadetail (recno,SeqWindow,%1) VALUES %2")
        .arg(StoreSchema::columnList(QStringLiteral("datatemp")), QStringList(rows, one).join(QLatin1Char(',')));
}

} // namespace

ServerRecordStore::ServerRecordStore(const RecordPlaceSettings &where, RecordStore &local)
    : m_where(where), m_local(local), m_hostName(QSysInfo::machineHostName())
{
}

ServerRecordStore::~ServerRecordStore() = default;

void ServerRecordStore::setError(const QSqlError &error)
{
    m_error.number = error.nativeErrorCode();
    const QString text = (error.databaseText().isEmpty() ? error.text() : error.databaseText()).simplified();
    m_error.unreachable = connectionLost(error);
    if (m_error.unreachable) {
        m_error.description = QStringLiteral("The lab server %1 cannot be reached: %2")
                                  .arg(m_where.serverName(), text);
        // Made anew by the next operation (not inside this one's transaction).
        m_broken = true;
    } else {
        m_error.description = text;
    }
}

void ServerRecordStore::setError(const QString &description)
{
    m_error.number = QStringLiteral("0");
    m_error.description = description;
    m_error.unreachable = false;
}

void ServerRecordStore::disconnect()
{
    m_conn.reset();
    m_broken = false;
}

bool ServerRecordStore::connect()
{
    if (m_conn && m_conn->isOpen() && !m_broken)
        return true;
    if (m_inTransaction)
        return false;  // the transaction went with the connection; its error is set
    disconnect();
    if (!QSqlDatabase::isDriverAvailable(Driver)) {
        setError(QStringLiteral("The lab server cannot be used: Qt's PostgreSQL driver (package "
                                "libqt6sql6-psql) is not installed."));
        m_error.unreachable = true;
        return false;
    }
    m_conn = std::make_unique<SqlConnection>(SqlConnection::Server{
        Driver, m_where.host, m_where.port, m_where.database, m_where.user, connectOptions()});
    if (!m_conn->open()) {
        setError(m_conn->lastError());
        m_error.unreachable = true;
        disconnect();
        return false;
    }
    QSqlError error;
    QSqlQuery settings(m_conn->db());
    // Another bench's save holds the table lock for as long as its samples take to write.
    if (!settings.exec(QStringLiteral("SET lock_timeout = '15s'"))) {
        setError(settings.lastError());
        disconnect();
        return false;
    }
    if (!ServerSchema::upgrade(m_conn->db(), &error)) {
        setError(error);
        disconnect();
        return false;
    }
    return true;
}

std::optional<StoreError> ServerRecordStore::probe(const RecordPlaceSettings &where)
{
    RecordStore noBuffer;
    ServerRecordStore server(where, noBuffer);
    if (server.connect())
        return std::nullopt;
    return server.lastError();
}

std::optional<QSqlQuery> ServerRecordStore::run(const QString &sql, const QVariantList &values)
{
    if (!connect())
        return std::nullopt;
    QSqlQuery q(m_conn->db());
    q.setForwardOnly(true);
    // A statement without values runs as it is: the server prepares only queries and
    // changes of rows, not commands such as LOCK.
    if (values.isEmpty()) {
        if (!q.exec(sql)) {
            setError(q.lastError());
            return std::nullopt;
        }
        return q;
    }
    if (!q.prepare(sql)) {
        setError(q.lastError());
        return std::nullopt;
    }
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    if (!q.exec()) {
        setError(q.lastError());
        return std::nullopt;
    }
    return q;
}

bool ServerRecordStore::inTransaction(const std::function<bool()> &statements)
{
    // A connection the server dropped while idle shows only when used: begin once more on a
    // new one. Nothing has been sent yet, so this cannot save anything twice.
    for (int attempt = 0;; ++attempt) {
        if (!connect())
            return false;
        if (m_conn->db().transaction())
            break;
        setError(m_conn->db().lastError());
        if (!m_error.unreachable || attempt > 0)
            return false;
    }
    Transaction transaction(m_conn->db(), Transaction::AlreadyBegun{});
    m_inTransaction = true;
    const bool done = statements();
    m_inTransaction = false;
    if (!done)
        return false;
    if (!transaction.commit()) {
        setError(m_conn->db().lastError());
        return false;
    }
    return true;
}

bool ServerRecordStore::lockRecords()
{
    // Readers still list and load; savers wait for each other until commit.
    return run(QStringLiteral("LOCK TABLE datamain IN EXCLUSIVE MODE")).has_value();
}

std::optional<QString> ServerRecordStore::nextNumber()
{
    auto q = run(QStringLiteral("SELECT coalesce(max(%1), 0) + 1 FROM datamain").arg(NumericRecNo));
    if (!q || !q->next()) {
        if (q)
            setError(q->lastError());
        return std::nullopt;
    }
    return QString::number(q->value(0).toLongLong());
}

bool ServerRecordStore::insertRecordRow(const RecordInfo &r)
{
    QVariantList values;
    // Text that was never set is stored as empty text, not as NULL.
    for (const QString &text : {r.recNo.trimmed(), r.startTime, r.endTime, r.comment, r.pUnit, r.sUnit,
                                r.recStyle, r.showStyle, m_hostName, r.machineType})
        values << (text.isNull() ? QStringLiteral("") : text);
    return run(QStringLiteral("INSERT INTO datamain (%1) VALUES (?,?,?,?,?,?,?,?,?,?)").arg(ServerSchema::recordColumns()),
               values)
        .has_value();
}

bool ServerRecordStore::insertSamples(const QString &recNo, const SampleSource &source)
{
    std::optional<QSqlQuery> full;
    QVariantList values;
    int rows = 0;
    auto flush = [&](bool whole) {
        QSqlQuery *insert = nullptr;
        std::optional<QSqlQuery> partial;
        if (whole) {
            if (!full) {
                full.emplace(m_conn->db());
                if (!full->prepare(sampleInsert(RowsPerInsert))) {
                    setError(full->lastError());
                    return false;
                }
            }
            insert = &*full;
        } else {
            partial.emplace(m_conn->db());
            if (!partial->prepare(sampleInsert(rows))) {
                setError(partial->lastError());
                return false;
            }
            insert = &*partial;
        }
        for (int i = 0; i < values.size(); ++i)
            insert->bindValue(i, values.at(i));
        if (!insert->exec()) {
            setError(insert->lastError());
            return false;
        }
        values.clear();
        rows = 0;
        return true;
    };
    bool written = true;
    const bool read = source([&](const SampleRow &row) {
        appendValues(values, recNo, row);
        if (++rows == RowsPerInsert)
            written = flush(true);
        return written;
    });
    if (!written)
        return false;
    if (!read) {
        const StoreError local = m_local.lastError();
        setError(QStringLiteral("The samples of this computer cannot be read: ") + local.description);
        return false;
    }
    return rows == 0 || flush(false);
}

ServerRecordStore::SampleSource ServerRecordStore::bufferSource()
{
    return [this](const std::function<bool(const SampleRow &)> &sink) {
        return m_local.forEachBufferSampleView([&sink](const SampleView &view) { return sink(view.toRow()); });
    };
}

bool ServerRecordStore::saveNewRecord(RecordInfo &record)
{
    m_error = {};
    QString number;
    const bool saved = inTransaction([&] {
        if (!lockRecords())
            return false;
        const std::optional<QString> next = nextNumber();
        if (!next)
            return false;
        number = *next;
        RecordInfo numbered = record;
        numbered.recNo = number;
        return insertRecordRow(numbered) && insertSamples(number, bufferSource());
    });
    if (saved) {
        record.recNo = number;
        record.hostName = m_hostName;
    }
    return saved;
}

bool ServerRecordStore::replaceRecord(const RecordInfo &record)
{
    m_error = {};
    const QString recNo = record.recNo.trimmed();
    if (recNo.isEmpty()) {
        setError(QStringLiteral("A record needs a number."));
        return false;
    }
    return inTransaction([&] {
        auto update = run(QStringLiteral("UPDATE datamain SET Comment = ? WHERE RecNo = ?"), {record.comment, recNo});
        if (!update)
            return false;
        if (update->numRowsAffected() == 0) {
            // Deleted meanwhile: saved anew under its number, which no saver takes while
            // the lock is held.
            RecordInfo again = record;
            again.recNo = recNo;
            auto exists = lockRecords() ? run(QStringLiteral("SELECT 1 FROM datamain WHERE RecNo = ?"), {recNo})
                                        : std::nullopt;
            if (!exists)
                return false;
            if (!exists->next() && !insertRecordRow(again))
                return false;
        }
        return run(QStringLiteral("DELETE FROM datadetail WHERE recno = ?"), {recNo})
            && insertSamples(recNo, bufferSource());
    });
}

std::optional<RecordInfo> ServerRecordStore::findRecord(const QString &recNo)
{
    m_error = {};
    auto q = run(QStringLiteral("SELECT %1 FROM datamain WHERE RecNo = ? LIMIT 1").arg(ServerSchema::recordColumns()),
                 {recNo.trimmed()});
    if (!q || !q->next())
        return std::nullopt;
    return recordFrom(*q);
}

SavedRecords::LoadResult ServerRecordStore::loadRecord(const QString &recNo, RecordInfo *record)
{
    const std::optional<RecordInfo> found = findRecord(recNo);
    if (!found)
        return m_error.isSet() ? LoadResult::Failed : LoadResult::NotFound;
    bool serverFailed = false;
    const bool loaded = m_local.replaceBuffer([&](const RecordStore::SampleSink &sink) {
        auto q = run(QStringLiteral("SELECT %1 FROM datadetail WHERE recno = ? ORDER BY SeqNo")
                         .arg(StoreSchema::columnList(QStringLiteral("datatemp"))),
                     {found->recNo});
        if (!q) {
            serverFailed = true;
            return false;
        }
        while (q->next()) {
            if (!sink(sampleFrom(*q)))
                return false;
        }
        if (q->lastError().isValid()) {
            setError(q->lastError());
            serverFailed = true;
            return false;
        }
        return true;
    });
    if (!loaded) {
        if (!serverFailed)
            m_error = m_local.lastError();
        return LoadResult::Failed;
    }
    if (record)
        *record = *found;
    return LoadResult::Loaded;
}

std::optional<QList<RecordInfo>> ServerRecordStore::savedRecords()
{
    m_error = {};
    auto q = run(QStringLiteral("SELECT %1 FROM datamain ORDER BY %2 DESC NULLS LAST, RecNo DESC")
                     .arg(ServerSchema::recordColumns(), NumericRecNo));
    if (!q)
        return std::nullopt;
    QList<RecordInfo> list;
    while (q->next())
        list.append(recordFrom(*q));
    if (q->lastError().isValid()) {
        setError(q->lastError());
        return std::nullopt;
    }
    return list;
}

bool ServerRecordStore::deleteRecord(const QString &recNo)
{
    m_error = {};
    return inTransaction([&] {
        return run(QStringLiteral("DELETE FROM datadetail WHERE recno = ?"), {recNo.trimmed()})
            && run(QStringLiteral("DELETE FROM datamain WHERE RecNo = ?"), {recNo.trimmed()});
    });
}

QString ServerRecordStore::copiedDescription(const RecordInfo &source, const QString &hostName)
{
    const QString origin = QStringLiteral("[record %1 of %2]").arg(source.recNo.trimmed(), hostName);
    return source.comment.isEmpty() ? origin : source.comment + QLatin1Char(' ') + origin;
}

ServerRecordStore::CopyResult ServerRecordStore::copyLocalRecord(const RecordInfo &source, QString *newNumber)
{
    m_error = {};
    RecordInfo copy = source;
    copy.comment = copiedDescription(source, m_hostName);
    bool already = false;
    const bool done = inTransaction([&] {
        if (!lockRecords())
            return false;
        auto earlier = run(QStringLiteral("SELECT RecNo FROM datamain WHERE HostName = ? AND StartTime = ? AND Comment = ?"),
                           {m_hostName, copy.startTime, copy.comment});
        if (!earlier)
            return false;
        if (earlier->next()) {
            already = true;
            copy.recNo = earlier->value(0).toString();
            return true;
        }
        const std::optional<QString> next = nextNumber();
        if (!next)
            return false;
        copy.recNo = *next;
        return insertRecordRow(copy)
            && insertSamples(copy.recNo, [&](const std::function<bool(const SampleRow &)> &sink) {
                   return m_local.forEachRecordSampleView(source.recNo,
                                                          [&sink](const SampleView &view) { return sink(view.toRow()); });
               });
    });
    if (!done)
        return CopyResult::Failed;
    if (newNumber)
        *newNumber = copy.recNo;
    return already ? CopyResult::AlreadyThere : CopyResult::Copied;
}
