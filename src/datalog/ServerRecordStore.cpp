#include "datalog/ServerRecordStore.h"

#include "datalog/RecordStore.h"
#include "datalog/SampleCopy.h"
#include "datalog/ServerSchema.h"
#include "datalog/SqlConnection.h"
#include "datalog/StoreSchema.h"
#include "common/Prompter.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QSysInfo>

#include <libpq-fe.h>

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include <algorithm>
#include <chrono>

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

qint64 monotonicMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
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

// The user name the server was asked for: the settings' or, when empty, the login name the
// client library takes.
QString userOf(const RecordPlaceSettings &where)
{
    if (!where.user.isEmpty())
        return where.user;
    const QString login = qEnvironmentVariable("PGUSER");
    return login.isEmpty() ? qEnvironmentVariable("USER") : login;
}

} // namespace

// A server that answered but would not let the user in says what to fix: the password is
// looked up in ~/.pgpass, never in the settings. Empty for every other failure.
QString ServerRecordStore::refusal(const QSqlError &error) const
{
    const QString text = (error.databaseText() + QLatin1Char(' ') + error.driverText()).simplified();
    const QString server = m_where.serverName();
    const QString user = userOf(m_where);
    const QString where = QStringLiteral("~/.pgpass (a line host:port:database:user:password, readable "
                                         "by you alone); the program never keeps the password in its "
                                         "settings.");
    if (text.contains(QLatin1String("no password supplied"))) {
        return QStringLiteral("The lab server %1 asks for the password of user %2, and ~/.pgpass holds "
                              "none for it. Put it in %3").arg(server, user, where);
    }
    if (text.contains(QLatin1String("password authentication failed"))) {
        return QStringLiteral("The lab server %1 did not accept the password of user %2. Correct it in %3")
            .arg(server, user, where);
    }
    if (text.contains(QLatin1String("authentication failed")) || text.contains(QLatin1String("no pg_hba.conf entry"))
        || (text.contains(QLatin1String("role \"")) && text.contains(QLatin1String("does not exist")))) {
        return QStringLiteral("The lab server %1 does not let user %2 in (%3). Ask its administrator for "
                              "access, or choose another user under File > Record Place.")
            .arg(server, user, text);
    }
    return QString();
}

namespace {

RecordInfo serverRecordFrom(const QSqlQuery &q)
{
    RecordInfo r;
    QString *fields[] = {&r.recNo, &r.startTime, &r.endTime, &r.comment, &r.pUnit, &r.sUnit,
                         &r.recStyle, &r.showStyle, &r.hostName, &r.machineType};
    for (int i = 0; i < int(std::size(fields)); ++i)
        *fields[i] = q.value(i).toString();
    return r;
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

// One operation on the store's thread, as its caller waits for it.
class ServerRecordStore::Job : public BackgroundWork
{
public:
    explicit Job(ServerRecordStore &store) : m_store(store) {}

    bool wait(int ms) override
    {
        std::unique_lock lock(m_mutex);
        if (m_done.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_finished; }))
            return true;
        lock.unlock();
        m_store.checkAnswerTimeout();
        return false;
    }
    void cancel() override { m_store.abortOperation(Cancelled); }
    void finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
    }

private:
    ServerRecordStore &m_store;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
};

ServerRecordStore::ServerRecordStore(const RecordPlaceSettings &where, RecordStore &local)
    : m_where(where), m_local(local), m_hostName(QSysInfo::machineHostName()),
      m_thread([this] { workerLoop(); })
{
}

ServerRecordStore::~ServerRecordStore()
{
    // The connection belongs to the store's thread and is closed there.
    m_progressShown = false;
    onWorker(QString(), [this] {
        disconnectHere();
        return true;
    });
    {
        std::lock_guard lock(m_taskMutex);
        m_stopping = true;
    }
    m_taskReady.notify_all();
    m_thread.join();
}

void ServerRecordStore::workerLoop()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_taskMutex);
            m_taskReady.wait(lock, [this] { return bool(m_task) || m_stopping; });
            if (!m_task)
                return;
            task = std::exchange(m_task, nullptr);
        }
        task();
    }
}

template<class Body>
auto ServerRecordStore::onWorker(const QString &what, Body body) -> decltype(body())
{
    using Result = decltype(body());
    std::optional<Result> result;
    Job job(*this);
    m_abort = NotAborted;
    noteAnswer();
    {
        std::lock_guard lock(m_taskMutex);
        m_task = [&] {
            result.emplace(body());
            job.finish();
        };
    }
    m_taskReady.notify_all();
    if (m_progressShown) {
        Prompter::current().waitFor(what, job);
        // A wait that ended early (the program quitting under it) stops the work.
        if (!job.wait(0))
            job.cancel();
    }
    while (!job.wait(200)) {
    }
    const int aborted = m_abort;
    if (aborted != NotAborted && m_error.isSet()) {
        // The connection was closed under the operation: the server rolls it back.
        m_broken = true;
        m_error.number = QStringLiteral("0");
        m_error.unreachable = true;
        m_error.description = aborted == Cancelled
            ? QStringLiteral("The work on the lab server %1 was cancelled; nothing was changed there.")
                  .arg(m_where.serverName())
            : QStringLiteral("The lab server %1 did not answer for %2 seconds; the work was stopped "
                             "and nothing was changed there.")
                  .arg(m_where.serverName())
                  .arg(AnswerTimeoutSeconds);
    }
    return std::move(*result);
}

void ServerRecordStore::noteAnswer()
{
    m_lastAnswerMs = monotonicMs();
}

void ServerRecordStore::checkAnswerTimeout()
{
    if (m_abort == NotAborted && monotonicMs() - m_lastAnswerMs > AnswerTimeoutSeconds * 1000)
        abortOperation(TimedOut);
}

// Shutting the socket down ends whatever the store's thread waits for on it at once.
void ServerRecordStore::abortOperation(Abort why)
{
    int none = NotAborted;
    m_abort.compare_exchange_strong(none, why);
    std::lock_guard lock(m_socketMutex);
    if (m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR);
}

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
    onWorker(QString(), [this] {
        disconnectHere();
        return true;
    });
}

bool ServerRecordStore::connect()
{
    m_error = {};
    return onWorker(QStringLiteral("Connecting to the lab server %1...").arg(m_where.serverName()),
                    [this] { return connectHere(); });
}

void ServerRecordStore::disconnectHere()
{
    {
        std::lock_guard lock(m_socketMutex);
        m_socket = -1;
    }
    m_conn.reset();
    m_broken = false;
}

bool ServerRecordStore::connectHere()
{
    if (m_conn && m_conn->isOpen() && !m_broken)
        return true;
    if (m_inTransaction)
        return false;  // the transaction went with the connection; its error is set
    disconnectHere();
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
        if (const QString refused = refusal(m_conn->lastError()); !refused.isEmpty())
            m_error.description = refused;
        // Nothing was changed: the record may still be saved elsewhere.
        m_error.unreachable = true;
        disconnectHere();
        return false;
    }
    noteAnswer();
    if (PGconn *conn = pg()) {
        std::lock_guard lock(m_socketMutex);
        m_socket = PQsocket(conn);
        if (m_abort != NotAborted && m_socket >= 0)
            ::shutdown(m_socket, SHUT_RDWR);
    }
    QSqlError error;
    QSqlQuery settings(m_conn->db());
    // Another bench's save holds the table lock for as long as its samples take to write;
    // a server that works but is stuck ends the statement itself.
    if (!settings.exec(QStringLiteral("SET lock_timeout = '%1s'").arg(LockTimeoutSeconds))
        || !settings.exec(QStringLiteral("SET statement_timeout = '%1s'").arg(StatementTimeoutSeconds))) {
        setError(settings.lastError());
        disconnectHere();
        return false;
    }
    if (!ServerSchema::upgrade(m_conn->db(), &error)) {
        setError(error);
        disconnectHere();
        return false;
    }
    noteAnswer();
    return true;
}

std::optional<StoreError> ServerRecordStore::probe(const RecordPlaceSettings &where, bool showProgress)
{
    RecordStore noBuffer;
    ServerRecordStore server(where, noBuffer);
    server.setProgressShown(showProgress);
    if (server.connect())
        return std::nullopt;
    return server.lastError();
}

std::optional<QSqlQuery> ServerRecordStore::run(const QString &sql, const QVariantList &values)
{
    if (!connectHere())
        return std::nullopt;
    noteAnswer();
    // After the previous statement's answer, so that it is not counted as this one's wait.
    struct Answered {
        ServerRecordStore *store;
        ~Answered() { store->noteAnswer(); }
    } answered{this};
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

bool ServerRecordStore::inTransaction(const QString &what, const std::function<bool()> &statements)
{
    return onWorker(what, [&] { return transactionHere(statements); });
}

bool ServerRecordStore::transactionHere(const std::function<bool()> &statements)
{
    // A connection the server dropped while idle shows only when used: begin once more on a
    // new one. Nothing has been sent yet, so this cannot save anything twice.
    for (int attempt = 0;; ++attempt) {
        if (!connectHere())
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

std::optional<SampleCopy::Rows> ServerRecordStore::copyRows(const SampleSource &source)
{
    SampleCopy::Rows rows;
    const bool read = source([&](const SampleView &v) {
        rows.append(v);
        return true;
    });
    if (!read) {
        setError(QStringLiteral("The samples of this computer cannot be read: ") + m_local.lastError().description);
        return std::nullopt;
    }
    return rows;
}

// The samples go in through COPY, one stream per record: writing them as statements takes
// several times as long. Binary COPY: texts go as their bytes, not as SQL (nothing in them is
// run), and the server parses no numbers.
bool ServerRecordStore::insertSamples(const QString &recNo, const SampleCopy::Rows &rows)
{
    PGconn *conn = pg();
    if (!conn)
        return false;
    // The stream may rightly run long; a stalled one is stopped by the answer time-out.
    if (!run(QStringLiteral("SET LOCAL statement_timeout = 0")))
        return false;
    const QByteArray sql = QStringLiteral("COPY datadetail (recno,SeqWindow,%1) FROM STDIN (FORMAT binary)")
                               .arg(StoreSchema::columnList(QStringLiteral("datatemp"))).toUtf8();
    if (!startCopy(conn, sql))
        return false;
    const QByteArray number = recNo.toUtf8();
    bool sent = true;
    auto send = [&](const QByteArray &chunk) {
        sent = PQputCopyData(conn, chunk.constData(), int(chunk.size())) == 1;
        noteAnswer();
        return sent;
    };
    constexpr qsizetype ChunkBytes = 1 << 20;
    send(SampleCopy::header());
    for (qsizetype row = 0; row < rows.count() && sent;)
        send(rows.rowsFor(number, row, ChunkBytes, &row));
    if (sent)
        send(SampleCopy::trailer());
    const std::optional<QSqlError> failure = finishCopy(conn, true, sent);
    noteAnswer();
    if (failure)
        setError(*failure);
    return !failure;
}

// The samples of record `recNo` in one binary COPY out of the server, in SeqNo order.
bool ServerRecordStore::receiveSamples(const QString &recNo, SampleCopy::Received &samples)
{
    PGconn *conn = pg();
    // A long record may rightly take longer than a statement may; the rows that keep
    // arriving count as answers. Read in order along the index on (recno, SeqNo), the first
    // rows go out at once instead of after a sort of them all.
    if (!conn || !run(QStringLiteral("SET LOCAL statement_timeout = 0")) || !run(QStringLiteral("SET LOCAL enable_sort = off")))
        return false;
    // COPY takes no parameters: the number goes in as a literal the client library quotes.
    const QByteArray number = recNo.toUtf8();
    const std::unique_ptr<char, void (*)(void *)> quoted(PQescapeLiteral(conn, number.constData(), size_t(number.size())),
                                                         &PQfreemem);
    if (!quoted) {
        setError(pgError(conn, nullptr));
        return false;
    }
    const QByteArray sql = QStringLiteral("COPY (SELECT %1 FROM datadetail WHERE recno = %2 ORDER BY SeqNo) "
                                          "TO STDOUT (FORMAT binary)")
                               .arg(StoreSchema::columnList(QStringLiteral("datatemp")), QString::fromUtf8(quoted.get()))
                               .toUtf8();
    if (!PQsendQuery(conn, sql.constData())) {
        setError(pgError(conn, nullptr));
        return false;
    }
    QByteArray stream;
    const PgResult started(awaitResult(conn), &PQclear);
    bool received = PQresultStatus(started.get()) == PGRES_COPY_OUT;
    while (received) {
        char *data = nullptr;
        const int size = PQgetCopyData(conn, &data, 1);
        if (size > 0) {
            stream.append(data, size);
            PQfreemem(data);
        } else if (size < 0 || !awaitInput(conn)) {
            received = size == -1;
            break;
        }
    }
    std::optional<QSqlError> failure;
    if (!received)
        failure = pgError(conn, PQresultStatus(started.get()) == PGRES_COPY_OUT ? nullptr : started.get());
    // The COPY's own result: done, or the error that ended it.
    while (PGresult *raw = PQgetResult(conn)) {
        const PgResult result(raw, &PQclear);
        const ExecStatusType status = PQresultStatus(raw);
        if (status != PGRES_COMMAND_OK && !failure)
            failure = pgError(conn, raw);
        if (status == PGRES_COPY_OUT)
            break;  // still streaming after a failure: the connection is given up
    }
    noteAnswer();
    if (failure) {
        setError(*failure);
        return false;
    }
    if (!samples.take(std::move(stream))) {
        setError(QStringLiteral("The lab server sent the samples of record %1 in a form this program does not read.")
                     .arg(recNo));
        return false;
    }
    return true;
}

// Waits for more of the answer on `conn` and reads it; false when the connection failed.
bool ServerRecordStore::awaitInput(PGconn *conn)
{
    for (;;) {
        pollfd socket{PQsocket(conn), POLLIN, 0};
        const int ready = ::poll(&socket, 1, 1000);
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready > 0) {
            if (!PQconsumeInput(conn))
                return false;
            noteAnswer();
            return true;
        }
    }
}

// The result of the query just sent on `conn`, noting each part of the answer as it arrives
// (a long result is no stalled server). Null when the connection failed meanwhile.
PGresult *ServerRecordStore::awaitResult(PGconn *conn)
{
    while (PQisBusy(conn) && awaitInput(conn)) {
    }
    return PQgetResult(conn);
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
    const std::optional<SampleCopy::Rows> rows = copyRows(bufferSource());
    if (!rows)
        return false;
    QString number;
    const bool saved = inTransaction(QStringLiteral("Saving the record on the lab server %1...").arg(m_where.serverName()), [&] {
        if (!lockRecords())
            return false;
        const std::optional<QString> next = nextNumber();
        if (!next)
            return false;
        number = *next;
        RecordInfo numbered = record;
        numbered.recNo = number;
        return insertRecordRow(numbered) && insertSamples(number, *rows);
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
    const std::optional<SampleCopy::Rows> rows = copyRows(bufferSource());
    if (!rows)
        return false;
    return inTransaction(QStringLiteral("Saving record %1 on the lab server %2...").arg(recNo, m_where.serverName()), [&] {
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
        return insertSamples(recNo, *rows);
    });
}

std::optional<RecordInfo> ServerRecordStore::findRecord(const QString &recNo)
{
    m_error = {};
    return onWorker(QStringLiteral("Looking for record %1 on the lab server %2...").arg(recNo.trimmed(), m_where.serverName()),
                    [&] { return findHere(recNo); });
}

std::optional<RecordInfo> ServerRecordStore::findHere(const QString &recNo)
{
    auto q = run(QStringLiteral("SELECT %1 FROM datamain WHERE RecNo = ? LIMIT 1").arg(ServerSchema::recordColumns()),
                 {recNo.trimmed()});
    if (!q || !q->next())
        return std::nullopt;
    return serverRecordFrom(*q);
}

SavedRecords::LoadResult ServerRecordStore::loadRecord(const QString &recNo, RecordInfo *record)
{
    m_error = {};
    // Read whole from the server first, so that a failure leaves the buffer as it was and
    // this computer's store is not held while the network answers.
    std::optional<RecordInfo> found;
    auto samples = std::make_shared<SampleCopy::Received>();
    const bool read = onWorker(
        QStringLiteral("Loading record %1 from the lab server %2...").arg(recNo.trimmed(), m_where.serverName()), [&] {
            return transactionHere([&] {
                found = findHere(recNo);
                return found && receiveSamples(found->recNo, *samples);
            });
        });
    if (!read)
        return m_error.isSet() ? LoadResult::Failed : LoadResult::NotFound;
    // The buffer reads the samples where they arrived; they go into this computer's store
    // only when something changes the buffer.
    const bool held = m_local.holdBuffer(samples->count(), [samples](const RecordStore::SampleSink &sink) {
        return samples->forEach(sink);
    });
    if (!held) {
        m_error = m_local.lastError();
        return LoadResult::Failed;
    }
    m_heldRecNo = found->recNo.trimmed();
    if (record)
        *record = *found;
    return LoadResult::Loaded;
}

std::optional<QList<RecordInfo>> ServerRecordStore::savedRecords()
{
    m_error = {};
    return onWorker(QStringLiteral("Reading the records of the lab server %1...").arg(m_where.serverName()),
                    [this]() -> std::optional<QList<RecordInfo>> {
        auto q = run(QStringLiteral("SELECT %1 FROM datamain ORDER BY %2 DESC NULLS LAST, RecNo DESC")
                         .arg(ServerSchema::recordColumns(), NumericRecNo));
        if (!q)
            return std::nullopt;
        QSqlError error;
        auto list = collectRows<RecordInfo>(*q, &serverRecordFrom, &error);
        if (!list)
            setError(error);
        return list;
    });
}

bool ServerRecordStore::deleteRecord(const QString &recNo)
{
    m_error = {};
    // Samples the buffer still reads from this record are kept on this computer first.
    if (recNo.trimmed() == m_heldRecNo && !m_local.keepHeldHere()) {
        m_error = m_local.lastError();
        return false;
    }
    return inTransaction(QStringLiteral("Deleting record %1 on the lab server %2...").arg(recNo.trimmed(), m_where.serverName()), [&] {
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
    const std::optional<SampleCopy::Rows> rows = copyRows([&](const std::function<bool(const SampleView &)> &sink) {
        return m_local.forEachRecordSampleView(source.recNo, sink);
    });
    if (!rows)
        return CopyResult::Failed;
    bool already = false;
    const bool done = inTransaction(QStringLiteral("Copying record %1 to the lab server %2...").arg(source.recNo, m_where.serverName()), [&] {
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
        return insertRecordRow(copy) && insertSamples(copy.recNo, *rows);
    });
    if (!done)
        return CopyResult::Failed;
    if (newNumber)
        *newNumber = copy.recNo;
    return already ? CopyResult::AlreadyThere : CopyResult::Copied;
}
