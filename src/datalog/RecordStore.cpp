#include "datalog/RecordStore.h"
#include "datalog/StoreMessages.h"

#include "common/Clock.h"
#include "datalog/SqlConnection.h"
#include "datalog/StoreMessages.h"
#include "datalog/StoreRepair.h"
#include "datalog/StoreSchema.h"
#include "datalog/WalCheckpointer.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlQuery>

#include <sqlite3.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

const QString NotOpen = QStringLiteral("The record database is not open.");

QString columns(const QString &table)
{
    return StoreSchema::columnList(table);
}

QString sampleColumns()
{
    return columns(QStringLiteral("datatemp"));
}

QVariantList sampleValues(const SampleRow &row)
{
    QVariantList v{row.seqNo, row.recTime};
    for (const ChannelReading &ch : row.channels)
        v << ch.voltage << ch.current << ch.reason;
    v << row.comment << row.timeTick << row.diffLastTime;
    return v;
}

RecordInfo recordFrom(const QSqlQuery &q)
{
    RecordInfo r;
    r.recNo = q.value(0).toString();
    r.startTime = q.value(1).toString();
    r.endTime = q.value(2).toString();
    r.comment = q.value(3).toString();
    r.pUnit = q.value(4).toString();
    r.sUnit = q.value(5).toString();
    r.recStyle = q.value(6).toString();
    r.showStyle = q.value(7).toString();
    return r;
}

QVariantList fieldsFrom(const QSqlQuery &q)
{
    QVariantList fields;
    const int n = int(StoreSchema::machineTypeColumns().size());
    for (int i = 0; i < n; ++i)
        fields << q.value(i);
    return fields;
}

// The stored text of the reading with the largest or smallest value.
QString extremeOf(const QString &column, const char *direction)
{
    return QStringLiteral("(SELECT %1 FROM datatemp WHERE %2 IS NOT NULL ORDER BY %2 %3 LIMIT 1)")
        .arg(column, StoreSchema::numericReading(column), QLatin1String(direction));
}

} // namespace

RecordStore::RecordStore() = default;

RecordStore::~RecordStore()
{
    close();
}

QString RecordStore::defaultFolder()
{
    const QString overridden = qEnvironmentVariable("ZEP_DATA_DIR");
    if (!overridden.isEmpty())
        return overridden;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QLatin1Char('/') + QLatin1String(SettingsStore::ApplicationName);
}

QString RecordStore::filePath() const
{
    return QDir(m_folder).filePath(StoreSchema::fileName());
}

bool RecordStore::isOpen() const
{
    return m_conn != nullptr;
}

void RecordStore::disconnect()
{
    m_checkpointer.reset();
    m_conn.reset();
}

void RecordStore::close()
{
    disconnect();
    m_claim.reset();
    m_checkPending = false;
    m_readOnly = false;
    m_bufferSaved = false;
    m_bufferRecord.clear();
    m_held = nullptr;
}

std::optional<QString> RecordStore::writeRefusal() const
{
    if (m_readOnly)
        return QStringLiteral("The record database is open read-only: another zep (%1) holds it. "
                              "Records can be looked at here, but not recorded, saved, cleared or "
                              "deleted.").arg(m_holder.describe());
    if (m_checkPending)
        return QStringLiteral("The record database is still being checked after the start of the "
                              "program. Recording, saving and clearing are possible once the check "
                              "has finished, in a few seconds.");
    return std::nullopt;
}

bool RecordStore::writable()
{
    const std::optional<QString> why = writeRefusal();
    if (!why)
        return true;
    setError(*why);
    return false;
}

StoreOpenResult RecordStore::cannotFind() const
{
    const QString folder = QDir::cleanPath(m_folder);
    StoreOpenResult result;
    result.status = StoreOpenResult::Status::CannotOpen;
    result.message = QStringLiteral("System cannot find [%1].\n Please copy %2 to [%3/] directory.")
                         .arg(QDir(folder).filePath(StoreSchema::fileName()), StoreSchema::fileName(),
                              folder);
    return result;
}

StoreOpenResult RecordStore::cannotOpen() const
{
    const QString file = QDir::cleanPath(filePath());
    const QString folder = QDir::cleanPath(m_folder);
    const QFileInfo info(file);
    // "Cannot find" only where the file is truly missing: telling the user to copy a file
    // over one that is there would overwrite the records in it.
    if (!info.isFile()) {
        const QByteArray where = QFile::encodeName(folder);
        if (QFileInfo(folder).isDir() && ::access(where.constData(), W_OK) != 0) {
            return {StoreOpenResult::Status::CannotOpen,
                    QStringLiteral("The record database [%1] cannot be created in the folder [%2]: %3.")
                        .arg(file, folder, systemReason(errno))};
        }
        return cannotFind();
    }
    QString message;
    switch (m_cause) {
    case Cause::Foreign:
        message = QStringLiteral("[%1] is not a record database of this program: %2\n"
                                 "Move or rename that file, then start the program again; a new "
                                 "record database will be created.").arg(file, m_error.description);
        break;
    case Cause::Locked:
        message = QStringLiteral("The record database [%1] is locked by another program (is the "
                                 "program running twice?).\nClose the other program, then start "
                                 "this one again.").arg(file);
        break;
    case Cause::DiskFull:
        message = QStringLiteral("The disk holding the record database [%1] is full.\n"
                                 "Free some space on it, then start the program again.").arg(file);
        break;
    case Cause::NoPermission:
        message = QStringLiteral("The record database [%1] cannot be written: no permission to "
                                 "change the file or its folder [%2].\nGive your user write "
                                 "access to both, then start the program again.").arg(file, folder);
        break;
    case Cause::Other:
        message = QStringLiteral("The record database [%1] cannot be opened: %2 (%3).")
                      .arg(file, m_error.description, m_error.number);
        break;
    }
    return {StoreOpenResult::Status::CannotOpen, message};
}

StoreOpenResult RecordStore::open(const QString &folder, IntegrityCheck check, Access access)
{
    close();
    m_error = {};
    m_folder = folder;
    m_holder = {};
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(folder).toStdString()), ec);
    if (ec || !QFileInfo(folder).isDir()) {
        const QString reason = ec ? QString::fromLocal8Bit(ec.message().c_str()) : systemReason(ENOTDIR);
        return {StoreOpenResult::Status::CannotOpen,
                QStringLiteral("The data folder [%1] cannot be created: %2.\nGive your user the right "
                               "to create it, or name another folder in ZEP_DATA_DIR.")
                    .arg(QDir::cleanPath(folder), reason)};
    }

    if (access == Access::ReadOnly) {
        m_readOnly = true;
        m_holder = StoreClaim::readHolder(StoreClaim::lockPath(filePath()));
        if (attach(false) == Attach::Ok)
            return {StoreOpenResult::Status::Opened, QString()};
        disconnect();
        StoreOpenResult result = cannotOpen();
        m_readOnly = false;
        return result;
    }

    m_claim = std::make_unique<StoreClaim>();
    switch (m_claim->claim(filePath())) {
    case StoreClaim::Result::Claimed:
        break;
    case StoreClaim::Result::HeldElsewhere: {
        StoreOpenResult held{StoreOpenResult::Status::HeldElsewhere,
                             QStringLiteral("The record database [%1] is in use by another zep (%2).")
                                 .arg(QDir::cleanPath(filePath()), m_claim->holder().describe())};
        held.holder = m_claim->holder();
        m_claim.reset();
        return held;
    }
    case StoreClaim::Result::Failed: {
        const QString why = m_claim->error();
        m_claim.reset();
        return {StoreOpenResult::Status::CannotOpen,
                QStringLiteral("The record database [%1] cannot be claimed for this program: its "
                               "lock file [%2] cannot be made (%3).")
                    .arg(QDir::cleanPath(filePath()), StoreClaim::lockPath(QDir::cleanPath(filePath())), why)};
    }
    }

    const Attach attached = attach(check == IntegrityCheck::Now);
    if (attached == Attach::Ok) {
        m_checkPending = check == IntegrityCheck::Later;
        return {StoreOpenResult::Status::Opened, QString()};
    }
    disconnect();
    if (attached == Attach::Failed) {
        m_claim.reset();
        return cannotOpen();
    }
    return repairAndReopen();
}

StoreOpenResult RecordStore::verify()
{
    if (!isOpen())
        return cannotFind();
    if (m_readOnly)
        return {StoreOpenResult::Status::Opened, QString()};  // the holder checks it
    return applyCheck(StoreCheck::run(filePath()));
}

StoreOpenResult RecordStore::applyCheck(const StoreCheck::Outcome &outcome)
{
    if (!isOpen())
        return cannotFind();
    if (m_readOnly)
        return {StoreOpenResult::Status::Opened, QString()};
    const Attach result = checked(outcome);
    if (result == Attach::Ok) {
        m_checkPending = false;
        return {StoreOpenResult::Status::Opened, QString()};
    }
    disconnect();
    if (result == Attach::Failed) {
        m_claim.reset();
        return cannotOpen();
    }
    return repairAndReopen();
}

StoreOpenResult RecordStore::repairAndReopen()
{
    QString why;
    QString backup;
    StoreRepair::Salvage salvage;
    m_checkPending = false;
    m_bufferRecord.clear();
    m_held = nullptr;
    const QDate today = Clock::current().now().date();
    if (StoreRepair::repair(m_folder, today, &backup, &why, &salvage)) {
        if (attach(true) == Attach::Ok) {
            return {StoreOpenResult::Status::Repaired,
                    storeRepairedText(QDir::cleanPath(filePath()), QDir::cleanPath(backup), salvage)};
        }
        disconnect();
        why = QStringLiteral("The rebuilt file cannot be opened either.");
    }
    m_claim.reset();
    StoreOpenResult result;
    result.status = StoreOpenResult::Status::RepairFailed;
    result.message = QStringLiteral("The record database [%1] is damaged and could not be repaired. %2")
                         .arg(filePath(), why);
    return result;
}

RecordStore::Attach RecordStore::classify(const QSqlError &error)
{
    setError(error);
    if (isDamage(error))
        return Attach::Damaged;
    m_cause = causeOf(error);
    return Attach::Failed;
}

RecordStore::Cause RecordStore::causeOf(const QSqlError &error) const
{
    switch (sqliteCode(error)) {
    case 3:   // SQLITE_PERM
    case 8:   // SQLITE_READONLY
    case 14:  // SQLITE_CANTOPEN
    case 23:  // SQLITE_AUTH
        return Cause::NoPermission;
    case 5:   // SQLITE_BUSY
    case 6:   // SQLITE_LOCKED
        return Cause::Locked;
    case 13:  // SQLITE_FULL
        return Cause::DiskFull;
    default:
        break;
    }
    const QFileInfo info(filePath());
    if (info.isFile() && (!info.isWritable() || !QFileInfo(m_folder).isWritable()))
        return Cause::NoPermission;
    return Cause::Other;
}

// A table of ours that exists with other columns than ours: the file belongs to another
// program (or another version of it that we cannot read).
bool RecordStore::foreignTables()
{
    for (const QString &table : StoreSchema::tableNames()) {
        QSqlQuery q(db());
        if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table)))
            return false;
        QStringList present;
        while (q.next())
            present << q.value(1).toString().toLower();
        if (present.isEmpty())
            continue;
        for (const QString &column : StoreSchema::columnList(table).split(QLatin1Char(','))) {
            if (!present.contains(column.toLower())) {
                setError(QStringLiteral("its table %1 has no column %2.").arg(table, column));
                m_cause = Cause::Foreign;
                return true;
            }
        }
    }
    return false;
}

// The structural check of every table and index page (StoreCheck); the full integrity_check
// also compares every index entry with its row and takes about six times as long.
RecordStore::Attach RecordStore::checked(const StoreCheck::Outcome &outcome)
{
    switch (outcome.kind) {
    case StoreCheck::Outcome::Kind::Ok:
        return Attach::Ok;
    case StoreCheck::Outcome::Kind::Damaged:
        m_error.number = outcome.number;
        m_error.description = outcome.description;
        return Attach::Damaged;
    case StoreCheck::Outcome::Kind::Failed:
        break;
    }
    m_error.number = outcome.number;
    m_error.description = outcome.description;
    m_cause = causeOf(QSqlError(QString(), outcome.description, QSqlError::ConnectionError, outcome.number));
    return Attach::Failed;
}

RecordStore::Attach RecordStore::attach(bool check)
{
    m_cause = Cause::Other;
    m_bufferSaved = false;
    const QString options = m_readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000")
                                       : QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000");
    m_conn = std::make_unique<SqlConnection>(filePath(), options);
    if (!m_conn->open())
        return classify(m_conn->lastError());
    if (check) {
        const Attach result = checked(StoreCheck::run(filePath()));
        if (result != Attach::Ok)
            return result;
    }
    if (foreignTables())
        return Attach::Failed;
    if (m_readOnly) {
        // Reading alone; whatever the holder writes meanwhile is seen at the next read.
        QSqlQuery probe(db());
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM data1")))
            return classify(probe.lastError());
        return Attach::Ok;
    }
    // Write-ahead log: a sample is committed when its insert returns, and a process killed in
    // the middle of a write leaves the file consistent. FULL syncs the log at every commit, so
    // a sample also survives a power cut; at one sample a second the few milliseconds of the
    // sync do not matter.
    // A 32 MB page cache keeps loading a long record in memory.
    for (const char *pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL",
                               "PRAGMA cache_size=-32768"}) {
        QSqlQuery q(db());
        if (!q.exec(QLatin1String(pragma)))
            return classify(q.lastError());
    }
    // The log of a long save is copied into the file off this thread.
    if (sqlite3 *raw = rawHandle())
        m_checkpointer = std::make_unique<WalCheckpointer>(raw, QFile::encodeName(filePath()));
    Transaction transaction(db());
    QSqlError error;
    if (!StoreSchema::create(db(), &error) || !StoreSchema::addMissingCatalogueRows(db(), &error))
        return classify(error);
    if (!transaction.commit())
        return classify(db().lastError());
    QSqlQuery saved(db());
    if (!saved.exec(QStringLiteral("SELECT count(*) FROM datatempsaved")) || !saved.next())
        return classify(saved.lastError());
    m_bufferSaved = saved.value(0).toLongLong() > 0;
    return Attach::Ok;
}

QSqlDatabase &RecordStore::db()
{
    return m_conn->db();
}

void RecordStore::setError(const QSqlError &error)
{
    m_error.number = error.nativeErrorCode();
    m_error.description = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    m_error.cause = diskProblem(m_error, m_folder, filePath());
}

void RecordStore::setError(const QString &description)
{
    m_error.number = QStringLiteral("0");
    m_error.description = description;
    m_error.cause.clear();
}

bool RecordStore::exec(QSqlQuery &query)
{
    if (query.exec())
        return true;
    setError(query.lastError());
    return false;
}

bool RecordStore::exec(const QString &sql, const QVariantList &values)
{
    return select(sql, values).has_value();
}

std::optional<QSqlQuery> RecordStore::select(const QString &sql, const QVariantList &values)
{
    if (!isOpen()) {
        setError(NotOpen);
        return std::nullopt;
    }
    QSqlQuery q(db());
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        setError(q.lastError());
        return std::nullopt;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!exec(q))
        return std::nullopt;
    return q;
}

bool RecordStore::runInTransaction(const std::function<bool()> &statements)
{
    if (!isOpen()) {
        setError(NotOpen);
        return false;
    }
    Transaction transaction(db());
    if (!transaction.started()) {
        setError(db().lastError());
        return false;
    }
    if (!statements())
        return false;
    if (!transaction.commit()) {
        setError(db().lastError());
        return false;
    }
    return true;
}

// --- sample buffer ---

// Inside a transaction of the caller.
bool RecordStore::setBufferSaved(const QString &recNo)
{
    return exec(QStringLiteral("DELETE FROM datatempsaved"))
        && exec(QStringLiteral("INSERT INTO datatempsaved (RecNo) VALUES (?)"), {recNo.trimmed()});
}

bool RecordStore::materializeHeld()
{
    if (!m_held)
        return true;
    const SampleSource held = m_held;
    return replaceBuffer(held);
}

bool RecordStore::materialize()
{
    if (m_held)
        return materializeHeld();
    if (m_bufferRecord.isEmpty())
        return true;
    if (!writable())
        return false;
    const QString cols = sampleColumns();
    const bool ok = runInTransaction([&] {
        return exec(QStringLiteral("DELETE FROM datatemp"))
            && exec(QStringLiteral("INSERT INTO datatemp (%1) SELECT %1 FROM datadetail "
                                   "WHERE recno = ? ORDER BY SeqNo").arg(cols),
                    {m_bufferRecord})
            && setBufferSaved(m_bufferRecord);
    });
    if (ok) {
        m_bufferRecord.clear();
        m_bufferSaved = true;
    }
    return ok;
}

bool RecordStore::clearBuffer()
{
    m_error = {};
    if (!writable() || !exec(QStringLiteral("DELETE FROM datatemp")))
        return false;
    m_bufferRecord.clear();
    m_held = nullptr;
    return true;
}

std::optional<qint64> RecordStore::unsavedCount()
{
    m_error = {};
    if (m_readOnly || !m_bufferRecord.isEmpty() || m_held || m_bufferSaved)
        return isOpen() ? std::optional<qint64>(0) : std::nullopt;
    return bufferCount();
}

bool RecordStore::markBufferSaved(const QString &recNo)
{
    m_error = {};
    // A loaded record's samples are saved already.
    if (!m_bufferRecord.isEmpty() || m_held)
        return true;
    if (!writable() || !runInTransaction([&] { return setBufferSaved(recNo); }))
        return false;
    m_bufferSaved = true;
    return true;
}

bool RecordStore::appendSample(const SampleRow &row)
{
    m_error = {};
    if (!writable() || !materialize())
        return false;
    // The first sample after a save starts samples that are saved nowhere.
    if (m_bufferSaved) {
        if (!exec(QStringLiteral("DELETE FROM datatempsaved")))
            return false;
        m_bufferSaved = false;
    }
    const QString cols = sampleColumns();
    const QString placeholders =
        QStringList(int(StoreSchema::sampleColumns().size()), QStringLiteral("?")).join(QLatin1Char(','));
    return exec(QStringLiteral("INSERT INTO datatemp (%1) VALUES (%2)").arg(cols, placeholders),
                sampleValues(row));
}

bool RecordStore::updateComment(qint64 seqNo, const QString &comment)
{
    m_error = {};
    if (!writable() || !materialize())
        return false;
    return exec(QStringLiteral("UPDATE datatemp SET Comment = ? WHERE SeqNo = ?"), {comment, seqNo});
}

void RecordStore::limitPageCache(int kib)
{
    QSqlQuery q(db());
    q.exec(QStringLiteral("PRAGMA cache_size=-%1").arg(std::max(kib, 1)));
}

std::optional<qint64> RecordStore::bufferCount()
{
    m_error = {};
    if (m_held)
        return m_heldCount;
    auto q = m_bufferRecord.isEmpty()
        ? select(QStringLiteral("SELECT count(*) FROM datatemp"))
        : select(QStringLiteral("SELECT count(*) FROM datadetail WHERE recno = ?"), {m_bufferRecord});
    if (!q || !q->next())
        return std::nullopt;
    return q->value(0).toLongLong();
}

bool RecordStore::forEachBufferSample(const std::function<bool(const SampleRow &)> &visit,
                                      const std::optional<QString> &reason)
{
    return forEachBufferSampleView([&visit](const SampleView &view) { return visit(view.toRow()); }, reason);
}

bool RecordStore::forEachBufferSampleView(const std::function<bool(const SampleView &)> &visit,
                                          const std::optional<QString> &reason)
{
    m_error = {};
    if (m_held) {
        const QByteArray code = reason ? reason->toUtf8() : QByteArray();
        return m_held([&](const SampleView &view) { return (reason && view.texts[3] != code) || visit(view); });
    }
    // A loaded record nothing has changed yet is read where it is saved.
    return forEachSampleView(m_bufferRecord, reason, visit);
}

bool RecordStore::forEachRecordSampleView(const QString &recNo,
                                          const std::function<bool(const SampleView &)> &visit)
{
    m_error = {};
    if (recNo.trimmed().isEmpty()) {
        setError(QStringLiteral("A record needs a number."));
        return false;
    }
    return forEachSampleView(recNo.trimmed(), std::nullopt, visit);
}

sqlite3 *RecordStore::rawHandle()
{
    if (!isOpen()) {
        setError(NotOpen);
        return nullptr;
    }
    const QVariant handle = db().driver()->handle();
    sqlite3 *raw = handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0
        ? *static_cast<sqlite3 *const *>(handle.constData()) : nullptr;
    if (!raw)
        setError(QStringLiteral("The record database has no SQLite connection."));
    return raw;
}

bool RecordStore::rawFailure(sqlite3 *raw)
{
    m_error.number = QString::number(sqlite3_extended_errcode(raw));
    m_error.description = QString::fromUtf8(sqlite3_errmsg(raw));
    m_error.cause = diskProblem(m_error, m_folder, filePath());
    return false;
}

// Reads through SQLite itself (the handle of the driver's connection): QtSql makes a variant
// and a string of every cell, which takes longer than the whole read. An empty `recNo` reads
// datatemp, any other the saved record's samples.
bool RecordStore::forEachSampleView(const QString &recNo, const std::optional<QString> &reason,
                                    const std::function<bool(const SampleView &)> &visit)
{
    sqlite3 *raw = rawHandle();
    if (!raw)
        return false;
    const bool saved = !recNo.isEmpty();
    QStringList where;
    if (saved)
        where << QStringLiteral("recno = ?");
    if (reason)
        where << QStringLiteral("Reason = ?");
    const QByteArray sql = QStringLiteral("SELECT %1 FROM %2 %3 ORDER BY SeqNo")
                               .arg(sampleColumns(), saved ? QStringLiteral("datadetail") : QStringLiteral("datatemp"),
                                    where.isEmpty() ? QString() : QStringLiteral("WHERE ") + where.join(QStringLiteral(" AND ")))
                               .toUtf8();
    sqlite3_stmt *statement = nullptr;
    auto fail = [this, raw] { return rawFailure(raw); };
    if (sqlite3_prepare_v2(raw, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK)
        return fail();
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> owner(statement, &sqlite3_finalize);
    const QByteArray number = recNo.toUtf8();
    const QByteArray code = reason ? reason->toUtf8() : QByteArray();
    int parameter = 0;
    for (const QByteArray *value : {saved ? &number : nullptr, reason ? &code : nullptr}) {
        if (value && sqlite3_bind_text(statement, ++parameter, value->constData(), int(value->size()),
                                       SQLITE_STATIC) != SQLITE_OK)
            return fail();
    }
    auto text = [statement](int column) {
        const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
        return QByteArrayView(bytes, bytes ? sqlite3_column_bytes(statement, column) : 0);
    };
    SampleView view;
    for (;;) {
        const int step = sqlite3_step(statement);
        if (step == SQLITE_DONE)
            return true;
        if (step != SQLITE_ROW)
            return fail();
        view.seqNo = sqlite3_column_int64(statement, 0);
        for (int i = 0; i < SampleView::Texts; ++i)
            view.texts[size_t(i)] = text(1 + i);
        view.comment = text(14);
        view.timeTick = sqlite3_column_int64(statement, 15);
        view.diffLastTime = sqlite3_column_int64(statement, 16);
        if (!visit(view))
            return true;
    }
}

bool RecordStore::replaceBuffer(const std::function<bool(const SampleSink &)> &fill)
{
    m_error = {};
    const QString cols = sampleColumns();
    const QString placeholders =
        QStringList(int(StoreSchema::sampleColumns().size()), QStringLiteral("?")).join(QLatin1Char(','));
    // Written through SQLite itself, as the buffer is read: a long record loads in a
    // fraction of the time QtSql's values take.
    if (!writable())
        return false;
    sqlite3 *raw = rawHandle();
    if (!raw)
        return false;
    // The samples come from a saved record.
    const bool ok = runInTransaction([&] {
        if (!exec(QStringLiteral("DELETE FROM datatemp")) || !exec(QStringLiteral("DELETE FROM datatempsaved"))
            || !exec(QStringLiteral("INSERT INTO datatempsaved (RecNo) VALUES ('')")))
            return false;
        const QByteArray sql = QStringLiteral("INSERT INTO datatemp (%1) VALUES (%2)").arg(cols, placeholders).toUtf8();
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(raw, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK)
            return rawFailure(raw);
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> owner(statement, &sqlite3_finalize);
        auto text = [statement](int parameter, QByteArrayView value) {
            return sqlite3_bind_text(statement, parameter, value.data() ? value.data() : "", int(value.size()),
                                     SQLITE_STATIC) == SQLITE_OK;
        };
        return fill([&](const SampleView &row) {
            bool bound = sqlite3_bind_int64(statement, 1, row.seqNo) == SQLITE_OK;
            for (int i = 0; i < SampleView::Texts; ++i)
                bound = bound && text(2 + i, row.texts[size_t(i)]);
            bound = bound && text(15, row.comment) && sqlite3_bind_int64(statement, 16, row.timeTick) == SQLITE_OK
                && sqlite3_bind_int64(statement, 17, row.diffLastTime) == SQLITE_OK;
            if (!bound || sqlite3_step(statement) != SQLITE_DONE)
                return rawFailure(raw);
            sqlite3_reset(statement);
            return true;
        });
    });
    if (ok) {
        m_bufferRecord.clear();
        m_held = nullptr;
        m_bufferSaved = true;
    }
    return ok;
}

bool RecordStore::holdBuffer(qint64 count, SampleSource samples)
{
    m_error = {};
    // Read-only, nothing is written: the samples are only read.
    if (!m_readOnly && (!writable() || !exec(QStringLiteral("DELETE FROM datatemp"))))
        return false;
    m_bufferRecord.clear();
    m_held = std::move(samples);
    m_heldCount = count;
    return true;
}

std::optional<QList<SampleRow>> RecordStore::bufferSamples(const std::optional<QString> &reason)
{
    QList<SampleRow> rows;
    const bool ok = forEachBufferSample([&rows](const SampleRow &row) {
        rows.append(row);
        return true;
    }, reason);
    if (!ok)
        return std::nullopt;
    return rows;
}

std::optional<ChannelExtremes> RecordStore::channelExtremes(int channel)
{
    m_error = {};
    if (channel < 1 || channel > 4) {
        setError(QStringLiteral("There is no channel %1.").arg(channel));
        return std::nullopt;
    }
    if (!materialize())
        return std::nullopt;
    const QString suffix = channel == 1 ? QString() : QString::number(channel);
    const QString v = QStringLiteral("PVal") + suffix;
    const QString a = QStringLiteral("SVal") + suffix;
    auto q = select(QStringLiteral("SELECT %1, %2, %3, %4")
                        .arg(extremeOf(v, "DESC"), extremeOf(v, "ASC"), extremeOf(a, "DESC"),
                             extremeOf(a, "ASC")));
    if (!q || !q->next())
        return std::nullopt;
    return ChannelExtremes{q->value(0).toString(), q->value(1).toString(), q->value(2).toString(),
                           q->value(3).toString()};
}

bool RecordStore::moveBufferToWindow(int n)
{
    m_error = {};
    if (n < 0) {
        setError(QStringLiteral("There is no data window %1.").arg(n));
        return false;
    }
    if (!writable() || !materialize())
        return false;
    return runInTransaction([this, n] {
        QSqlError error;
        if (!StoreSchema::createDataWindow(db(), n, &error)) {
            setError(error);
            return false;
        }
        const QString cols = sampleColumns();
        return exec(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM datatemp ORDER BY SeqNo")
                        .arg(StoreSchema::dataWindowTable(n), cols))
            && exec(QStringLiteral("DELETE FROM datatemp"));
    });
}

// --- saved records ---

std::optional<QString> RecordStore::nextRecordNumber()
{
    m_error = {};
    auto q = select(QStringLiteral("SELECT max(CAST(RecNo AS INTEGER)) FROM datamain"));
    if (!q || !q->next())
        return std::nullopt;
    const QVariant highest = q->value(0);
    if (highest.isNull())
        return QStringLiteral("1");
    return QString::number(highest.toLongLong() + 1);
}

bool RecordStore::insertRecordRow(const RecordInfo &r)
{
    return exec(QStringLiteral("INSERT INTO datamain (%1) VALUES (?,?,?,?,?,?,?,?)")
                    .arg(columns(QStringLiteral("datamain"))),
                {r.recNo.trimmed(), r.startTime, r.endTime, r.comment, r.pUnit, r.sUnit,
                 r.recStyle, r.showStyle});
}

bool RecordStore::copyBufferToRecord(const QString &recNo)
{
    const QString cols = sampleColumns();
    return exec(QStringLiteral("INSERT INTO datadetail (recno,SeqWindow,%1) "
                               "SELECT ?, 1, %1 FROM datatemp ORDER BY SeqNo").arg(cols),
                {recNo.trimmed()});
}

bool RecordStore::saveRecord(const RecordInfo &record)
{
    m_error = {};
    if (record.recNo.trimmed().isEmpty()) {
        setError(QStringLiteral("A record needs a number."));
        return false;
    }
    if (!writable() || !materialize())
        return false;
    const bool saved = runInTransaction([this, &record] {
        return insertRecordRow(record) && copyBufferToRecord(record.recNo) && setBufferSaved(record.recNo);
    });
    if (saved)
        m_bufferSaved = true;
    return saved;
}

bool RecordStore::saveNewRecord(RecordInfo &record)
{
    m_error = {};
    if (!writable() || !materialize())
        return false;
    QString number;
    const bool saved = runInTransaction([this, &record, &number] {
        const std::optional<QString> next = nextRecordNumber();
        if (!next)
            return false;
        number = *next;
        RecordInfo numbered = record;
        numbered.recNo = number;
        return insertRecordRow(numbered) && copyBufferToRecord(number) && setBufferSaved(number);
    });
    if (saved) {
        record.recNo = number;
        m_bufferSaved = true;
    }
    return saved;
}

bool RecordStore::replaceRecord(const RecordInfo &record)
{
    m_error = {};
    const QString recNo = record.recNo.trimmed();
    if (recNo.isEmpty()) {
        setError(QStringLiteral("A record needs a number."));
        return false;
    }
    if (!writable())
        return false;
    // The buffer still is that record's saved samples: only the description changes.
    const bool samplesSaved = m_bufferRecord == recNo;
    if (!samplesSaved && !materialize())
        return false;
    const bool replaced = runInTransaction([this, &record, &recNo, samplesSaved] {
        QSqlQuery update(db());
        update.prepare(QStringLiteral("UPDATE datamain SET Comment = ? WHERE RecNo = ?"));
        update.addBindValue(record.comment);
        update.addBindValue(recNo);
        if (!exec(update))
            return false;
        if (update.numRowsAffected() == 0 && !insertRecordRow(record))
            return false;
        if (samplesSaved)
            return true;
        return exec(QStringLiteral("DELETE FROM datadetail WHERE recno = ?"), {recNo})
            && copyBufferToRecord(recNo) && setBufferSaved(recNo);
    });
    if (replaced && !samplesSaved)
        m_bufferSaved = true;
    return replaced;
}

std::optional<RecordInfo> RecordStore::findRecord(const QString &recNo)
{
    m_error = {};
    auto q = select(QStringLiteral("SELECT %1 FROM datamain WHERE RecNo = ? LIMIT 1")
                        .arg(columns(QStringLiteral("datamain"))),
                    {recNo.trimmed()});
    if (!q || !q->next())
        return std::nullopt;
    return recordFrom(*q);
}

RecordStore::LoadResult RecordStore::loadRecord(const QString &recNo, RecordInfo *record)
{
    const std::optional<RecordInfo> found = findRecord(recNo);
    if (!found)
        return m_error.isSet() ? LoadResult::Failed : LoadResult::NotFound;
    // The samples are copied into datatemp only when something changes them: a long record
    // loads without writing it a second time, and datatemp keeps holding only samples that
    // are saved nowhere else. Read-only, the record is read where it is saved. After another
    // load nothing changed, datatemp is empty already: no write, no sync.
    if (!m_readOnly && (!writable() || (m_bufferRecord.isEmpty() && !exec(QStringLiteral("DELETE FROM datatemp")))))
        return LoadResult::Failed;
    m_bufferRecord = found->recNo.trimmed();
    m_held = nullptr;
    if (record)
        *record = *found;
    return LoadResult::Loaded;
}

std::optional<QList<RecordInfo>> RecordStore::savedRecords()
{
    m_error = {};
    auto q = select(QStringLiteral("SELECT %1 FROM datamain ORDER BY CAST(RecNo AS INTEGER) DESC, RecNo DESC")
                        .arg(columns(QStringLiteral("datamain"))));
    if (!q)
        return std::nullopt;
    QSqlError error;
    auto list = collectRows<RecordInfo>(*q, &recordFrom, &error);
    if (!list)
        setError(error);
    return list;
}

bool RecordStore::deleteRecord(const QString &recNo)
{
    m_error = {};
    if (!writable() || (m_bufferRecord == recNo.trimmed() && !materialize()))
        return false;
    return runInTransaction([this, &recNo] {
        return exec(QStringLiteral("DELETE FROM datadetail WHERE recno = ?"), {recNo.trimmed()})
            && exec(QStringLiteral("DELETE FROM datamain WHERE RecNo = ?"), {recNo.trimmed()});
    });
}

// --- machine types ---

std::optional<QVariantList> RecordStore::machineTypeFields(const QString &mtype)
{
    m_error = {};
    auto q = select(QStringLiteral("SELECT %1 FROM data1 WHERE MTYPE = ? ORDER BY rowid LIMIT 1")
                        .arg(columns(QStringLiteral("data1"))),
                    {mtype});
    if (!q || !q->next())
        return std::nullopt;
    return fieldsFrom(*q);
}

std::optional<MachineTypeRow> RecordStore::findMachineType(const QString &mtype)
{
    const auto fields = machineTypeFields(mtype);
    if (!fields)
        return std::nullopt;
    return StoreSchema::fromFields(*fields);
}

std::optional<QList<MachineTypeRow>> RecordStore::machineTypes()
{
    m_error = {};
    auto q = select(QStringLiteral("SELECT %1 FROM data1 ORDER BY rowid").arg(columns(QStringLiteral("data1"))));
    if (!q)
        return std::nullopt;
    QSqlError error;
    auto rows = collectRows<MachineTypeRow>(*q, [](const QSqlQuery &row) {
        return StoreSchema::fromFields(fieldsFrom(row));
    }, &error);
    if (!rows)
        setError(error);
    return rows;
}
