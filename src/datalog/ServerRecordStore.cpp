#include "datalog/ServerRecordStore.h"

#include "datalog/RecordStore.h"
#include "datalog/ServerSchema.h"
#include "datalog/SqlConnection.h"
#include "datalog/StoreSchema.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QSysInfo>

#include <libpq-fe.h>

#include <algorithm>

namespace {

const QString Driver = QStringLiteral("QPSQL");

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

// COPY's text format: a backslash, tab, line feed or carriage return in a value is escaped.
void appendCopyText(QByteArray &out, QByteArrayView text)
{
    const char *p = text.data();
    const auto special = [](char c) { return c == '\\' || c == '\t' || c == '\n' || c == '\r'; };
    if (std::none_of(text.begin(), text.end(), special)) {
        out.append(text);
        return;
    }
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        switch (p[i]) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += p[i]; break;
        }
    }
}

// The error of a libpq call on the connection QtSql opened, in QtSql's terms.
QSqlError pgError(PGconn *conn, const PGresult *result)
{
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    QString text = QString::fromUtf8(result ? PQresultErrorMessage(result) : "").trimmed();
    if (text.isEmpty())
        text = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    const auto type = PQstatus(conn) == CONNECTION_BAD ? QSqlError::ConnectionError : QSqlError::StatementError;
    return QSqlError(QString(), text, type, state ? QString::fromLatin1(state) : QString());
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

PGconn *ServerRecordStore::pg()
{
    const QVariant handle = m_conn ? m_conn->db().driver()->handle() : QVariant();
    // Qt names the type by its struct: "pg_conn*" (PGconn* in libpq's words).
    if (handle.isValid() && (qstrcmp(handle.typeName(), "pg_conn*") == 0 || qstrcmp(handle.typeName(), "PGconn*") == 0))
        return *static_cast<PGconn *const *>(handle.constData());
    setError(QStringLiteral("The lab server connection has no PostgreSQL handle."));
    return nullptr;
}

// The samples go in through COPY, one stream per record: writing them as statements takes
// several times as long. The texts are COPY's data, not SQL: nothing in them is run.
bool ServerRecordStore::insertSamples(const QString &recNo, const SampleSource &source)
{
    PGconn *conn = pg();
    if (!conn)
        return false;
    const QByteArray sql = QStringLiteral("COPY datadetail (recno,SeqWindow,%1) FROM STDIN")
                               .arg(StoreSchema::columnList(QStringLiteral("datatemp"))).toUtf8();
    if (!startCopy(conn, sql))
        return false;
    QByteArray number;
    appendCopyText(number, recNo.toUtf8());
    number += "\t1\t";
    QByteArray chunk;
    constexpr qsizetype ChunkBytes = 1 << 20;
    chunk.reserve(ChunkBytes + 4096);
    bool sent = true;
    auto send = [&] {
        sent = PQputCopyData(conn, chunk.constData(), int(chunk.size())) == 1;
        chunk.clear();
        return sent;
    };
    const bool read = source([&](const SampleView &v) {
        chunk += number;
        chunk += QByteArray::number(v.seqNo);
        for (const QByteArrayView &text : v.texts) {
            chunk += '\t';
            appendCopyText(chunk, text);
        }
        chunk += '\t';
        appendCopyText(chunk, v.comment);
        chunk += '\t' + QByteArray::number(v.timeTick) + '\t' + QByteArray::number(v.diffLastTime) + '\n';
        return chunk.size() < ChunkBytes || send();
    });
    if (read && sent && !chunk.isEmpty())
        send();
    const std::optional<QSqlError> failure = finishCopy(conn, read, sent);
    if (!read) {
        setError(QStringLiteral("The samples of this computer cannot be read: ") + m_local.lastError().description);
        return false;
    }
    if (failure)
        setError(*failure);
    return !failure;
}

ServerRecordStore::SampleSource ServerRecordStore::bufferSource()
{
    return [this](const std::function<bool(const SampleView &)> &sink) {
        return m_local.forEachBufferSampleView(sink);
    };
}

bool ServerRecordStore::startCopy(PGconn *conn, const QByteArray &sql)
{
    const PgResult result(PQexec(conn, sql.constData()), &PQclear);
    if (PQresultStatus(result.get()) == PGRES_COPY_IN)
        return true;
    setError(pgError(conn, result.get()));
    return false;
}

// Ends the stream (aborted when the samples could not be read) and reads the server's
// verdict: the error of a stream that failed, nothing when all samples were taken.
std::optional<QSqlError> ServerRecordStore::finishCopy(PGconn *conn, bool read, bool sent)
{
    PQputCopyEnd(conn, read ? nullptr : "the samples of the bench could not be read");
    std::optional<QSqlError> failure;
    while (PGresult *raw = PQgetResult(conn)) {
        const PgResult result(raw, &PQclear);
        if (PQresultStatus(raw) != PGRES_COMMAND_OK && !failure)
            failure = pgError(conn, raw);
    }
    if (!failure && (!sent || PQstatus(conn) == CONNECTION_BAD))
        failure = pgError(conn, nullptr);
    return failure;
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
        if (!run(QStringLiteral("DELETE FROM datadetail WHERE recno = ?"), {recNo}))
            return false;
        return insertSamples(recNo, bufferSource());
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
    PGconn *conn = pg();
    if (!conn)
        return LoadResult::Failed;
    // Read whole from the server first, so this computer's store is not held while the
    // network answers; the number goes as a parameter.
    const QByteArray sql = QStringLiteral("SELECT %1 FROM datadetail WHERE recno = $1 ORDER BY SeqNo")
                               .arg(StoreSchema::columnList(QStringLiteral("datatemp"))).toUtf8();
    const QByteArray number = found->recNo.toUtf8();
    const char *parameters[] = {number.constData()};
    const PgResult rows(PQexecParams(conn, sql.constData(), 1, nullptr, parameters, nullptr, nullptr, 0), &PQclear);
    if (PQresultStatus(rows.get()) != PGRES_TUPLES_OK) {
        setError(pgError(conn, rows.get()));
        return LoadResult::Failed;
    }
    const bool loaded = m_local.replaceBuffer([&rows](const RecordStore::SampleSink &sink) {
        PGresult *r = rows.get();
        auto text = [r](int row, int column) {
            return QByteArrayView(PQgetvalue(r, row, column), PQgetlength(r, row, column));
        };
        SampleView view;
        for (int row = 0, n = PQntuples(r); row < n; ++row) {
            view.seqNo = text(row, 0).toLongLong();
            for (int i = 0; i < SampleView::Texts; ++i)
                view.texts[size_t(i)] = text(row, 1 + i);
            view.comment = text(row, 14);
            view.timeTick = text(row, 15).toLongLong();
            view.diffLastTime = text(row, 16).toLongLong();
            if (!sink(view))
                return false;
        }
        return true;
    });
    if (!loaded) {
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
    QSqlError error;
    auto list = collectRows<RecordInfo>(*q, &recordFrom, &error);
    if (!list)
        setError(error);
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
        earlier.reset();  // finished before the samples' stream starts on the connection
        const std::optional<QString> next = nextNumber();
        if (!next)
            return false;
        copy.recNo = *next;
        return insertRecordRow(copy)
            && insertSamples(copy.recNo, [&](const std::function<bool(const SampleView &)> &sink) {
                   return m_local.forEachRecordSampleView(source.recNo, sink);
               });
    });
    if (!done)
        return CopyResult::Failed;
    if (newNumber)
        *newNumber = copy.recNo;
    return already ? CopyResult::AlreadyThere : CopyResult::Copied;
}
