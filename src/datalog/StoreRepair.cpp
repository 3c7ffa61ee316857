#include "datalog/StoreRepair.h"

#include "datalog/SqlConnection.h"
#include "datalog/StoreSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include <filesystem>
#include <optional>
#include <system_error>

namespace StoreRepair {

namespace {

// Files SQLite keeps beside a database; a backup takes the journals along, because committed
// data may still live there.
const QStringList &journalSuffixes()
{
    static const QStringList list{QStringLiteral("-wal"), QStringLiteral("-journal")};
    return list;
}

const QStringList &allSidecarSuffixes()
{
    static const QStringList list{QStringLiteral("-wal"), QStringLiteral("-journal"),
                                  QStringLiteral("-shm")};
    return list;
}

bool removeIfPresent(const QString &path, QString *error)
{
    if (!QFile::exists(path) || QFile::remove(path))
        return true;
    *error = QStringLiteral("cannot remove [%1]").arg(path);
    return false;
}

bool removeWithSidecars(const QString &path, QString *error)
{
    if (!removeIfPresent(path, error))
        return false;
    for (const QString &suffix : allSidecarSuffixes()) {
        if (!removeIfPresent(path + suffix, error))
            return false;
    }
    return true;
}

bool copyFile(const QString &from, const QString &to, QString *error)
{
    if (QFile::copy(from, to))
        return true;
    *error = QStringLiteral("cannot copy [%1] to [%2]").arg(from, to);
    return false;
}

bool makeBackup(const QString &db, const QString &backup, QString *error)
{
    if (!copyFile(db, backup, error))
        return false;
    for (const QString &suffix : journalSuffixes()) {
        if (QFile::exists(db + suffix) && !copyFile(db + suffix, backup + suffix, error))
            return false;
    }
    return true;
}

// Puts `fresh` in place of `db` so that a crash in between leaves either the old or the new
// file, never a half-copied one.
bool replaceWith(const QString &db, const QString &fresh, QString *error)
{
    for (const QString &suffix : allSidecarSuffixes()) {
        if (!removeIfPresent(db + suffix, error))
            return false;
    }
    const QString part = db + QStringLiteral(".part");
    if (!removeIfPresent(part, error) || !copyFile(fresh, part, error))
        return false;
    std::error_code ec;
    std::filesystem::rename(part.toStdString(), db.toStdString(), ec);
    if (ec) {
        *error = QStringLiteral("cannot replace [%1]: %2").arg(db, QString::fromStdString(ec.message()));
        return false;
    }
    return true;
}

QStringList dataWindowTablesOf(QSqlDatabase &source)
{
    QStringList out;
    QSqlQuery q(source);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
        return out;
    while (q.next()) {
        const QString name = q.value(0).toString();
        int n = 0;
        if (StoreSchema::isDataWindowTable(name, &n) && n != 1)
            out << StoreSchema::dataWindowTable(n);
    }
    return out;
}

// Copies the rows of one table that can still be read, in rowid order. A range of rowids
// that fails to read is halved until the unreadable rows alone are left out, so a damaged
// page costs only its own rows, not every row after it.
class TableCopy
{
public:
    static constexpr qint64 Chunk = 512;
    // Without a readable highest rowid, reading stops after this many rowids without a row.
    static constexpr qint64 EmptyRunEnd = 1 << 14;

    TableCopy(QSqlDatabase &source, QSqlDatabase &target, const QString &table)
        : m_source(source), m_target(target), m_table(table),
          m_columns(StoreSchema::columnList(table)), m_count(int(m_columns.count(QLatin1Char(',')) + 1))
    {
    }

    qint64 copied() const { return m_copied; }

    // Only a failure to write the target counts as an error.
    bool run(QString *error)
    {
        m_write = QSqlQuery(m_target);
        const QString placeholders = QStringList(m_count, QStringLiteral("?")).join(QLatin1Char(','));
        if (!m_write.prepare(QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                                 .arg(m_table, m_columns, placeholders))) {
            *error = m_write.lastError().text();
            return false;
        }
        if (!readable())
            return true;  // not even the table's definition can be read
        const std::optional<qint64> top = highestRowid();
        qint64 lastSeen = 0;
        for (qint64 low = 1; top ? low <= *top : low - lastSeen <= EmptyRunEnd; low += Chunk) {
            const Outcome outcome = copyRange(low, low + Chunk - 1, error);
            if (outcome == Outcome::WriteFailed)
                return false;
            if (outcome == Outcome::Copied)
                lastSeen = low + Chunk - 1;
        }
        return true;
    }

private:
    enum class Outcome { Copied, Empty, Unreadable, WriteFailed };

    bool readable()
    {
        QSqlQuery q(m_source);
        return q.exec(QStringLiteral("SELECT %1 FROM %2 LIMIT 0").arg(m_columns, m_table));
    }

    std::optional<qint64> highestRowid()
    {
        QSqlQuery q(m_source);
        if (!q.exec(QStringLiteral("SELECT max(rowid) FROM %1").arg(m_table)) || !q.next())
            return std::nullopt;
        return q.value(0).isNull() ? 0 : q.value(0).toLongLong();
    }

    // Reads rowids low..high whole, or not at all.
    std::optional<QList<QVariantList>> read(qint64 low, qint64 high)
    {
        QSqlQuery q(m_source);
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid BETWEEN ? AND ? ORDER BY rowid")
                           .arg(m_columns, m_table)))
            return std::nullopt;
        q.addBindValue(low);
        q.addBindValue(high);
        if (!q.exec())
            return std::nullopt;
        QList<QVariantList> rows;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < m_count; ++i)
                row << q.value(i);
            rows << row;
        }
        if (q.lastError().isValid())
            return std::nullopt;
        return rows;
    }

    Outcome copyRange(qint64 low, qint64 high, QString *error)
    {
        const std::optional<QList<QVariantList>> rows = read(low, high);
        if (!rows) {
            if (low == high)
                return Outcome::Unreadable;
            const qint64 middle = low + (high - low) / 2;
            const Outcome first = copyRange(low, middle, error);
            if (first == Outcome::WriteFailed)
                return first;
            const Outcome second = copyRange(middle + 1, high, error);
            if (first == Outcome::Copied || second == Outcome::WriteFailed)
                return second == Outcome::WriteFailed ? second : Outcome::Copied;
            return second == Outcome::Copied ? second : Outcome::Unreadable;
        }
        for (const QVariantList &row : *rows) {
            for (int i = 0; i < m_count; ++i)
                m_write.bindValue(i, row.at(i));
            if (!m_write.exec()) {
                *error = m_write.lastError().text();
                return Outcome::WriteFailed;
            }
            m_copied += m_write.numRowsAffected();
        }
        return rows->isEmpty() ? Outcome::Empty : Outcome::Copied;
    }

    QSqlDatabase &m_source;
    QSqlDatabase &m_target;
    QString m_table;
    QString m_columns;
    int m_count;
    QSqlQuery m_write;
    qint64 m_copied = 0;
};

bool isSampleTable(const QString &table)
{
    return table == QLatin1String("datadetail") || table == QLatin1String("datatemp");
}

// The samples the damaged file says it holds; nullopt when a count cannot be read.
std::optional<qint64> countSamples(QSqlDatabase &source)
{
    qint64 total = 0;
    for (const char *table : {"datadetail", "datatemp"}) {
        QSqlQuery q(source);
        if (!q.exec(QStringLiteral("SELECT count(*) FROM %1 NOT INDEXED").arg(QLatin1String(table))) || !q.next())
            return std::nullopt;
        total += q.value(0).toLongLong();
    }
    return total;
}

// Samples whose record row was lost get a record row again, so they can still be loaded.
bool recoverOrphanSamples(QSqlDatabase &target, QString *error)
{
    QSqlQuery q(target);
    if (q.exec(QStringLiteral(
            "INSERT INTO datamain (RecNo,StartTime,EndTime,Comment,PUnit,SUnit,RecStyle,ShowStyle) "
            "SELECT recno, min(RecTime), max(RecTime), '', 'V', 'A', '0', '0' FROM datadetail "
            "WHERE recno NOT IN (SELECT RecNo FROM datamain) GROUP BY recno")))
        return true;
    *error = q.lastError().text();
    return false;
}

} // namespace

QString backupFileName(const QDate &day, int n)
{
    const QString date = day.toString(QStringLiteral("yyyyMMdd"));
    return n <= 1 ? QStringLiteral("mtype%1.db").arg(date) : QStringLiteral("mtype%1-%2.db").arg(date).arg(n);
}

QString freeBackupPath(const QString &folder, const QDate &day)
{
    const QDir dir(folder);
    for (int n = 1;; ++n) {
        const QString path = dir.filePath(backupFileName(day, n));
        if (!QFileInfo::exists(path) && !QFileInfo::exists(path + QStringLiteral("-wal")))
            return path;
    }
}

QString rebuiltFileName()
{
    return QStringLiteral("mtypenew.db");
}

bool rebuild(const QString &sourcePath, const QString &targetPath, QString *error, Salvage *salvage)
{
    Salvage kept;
    SqlConnection target(targetPath);
    QSqlError sqlError;
    if (!target.open() || !StoreSchema::create(target.db(), &sqlError)) {
        *error = sqlError.isValid() ? sqlError.text() : target.lastError().text();
        return false;
    }
    SqlConnection source(sourcePath);
    if (!source.open()) {
        if (salvage)
            *salvage = kept;
        return true;  // nothing readable: the rebuilt file keeps the bare schema
    }
    kept.samplesBefore = countSamples(source.db());

    Transaction transaction(target.db());
    QStringList tables = StoreSchema::tableNames();
    tables += dataWindowTablesOf(source.db());
    for (const QString &table : tables) {
        int n = 0;
        if (StoreSchema::isDataWindowTable(table, &n)
            && !StoreSchema::createDataWindow(target.db(), n, &sqlError)) {
            *error = sqlError.text();
            return false;
        }
        TableCopy copy(source.db(), target.db(), table);
        if (!copy.run(error))
            return false;
        if (isSampleTable(table))
            kept.samples += copy.copied();
    }
    if (!recoverOrphanSamples(target.db(), error))
        return false;
    if (!transaction.commit()) {
        *error = target.lastError().text();
        return false;
    }
    if (salvage)
        *salvage = kept;
    return true;
}

bool repair(const QString &folder, const QDate &today, QString *backupPath, QString *error, Salvage *salvage)
{
    const QDir dir(folder);
    const QString db = dir.filePath(StoreSchema::fileName());
    const QString backup = freeBackupPath(folder, today);
    *backupPath = backup;
    const QString fresh = dir.filePath(rebuiltFileName());

    QString why;
    if (!makeBackup(db, backup, &why)) {
        *error = QStringLiteral("The backup could not be made (%1); nothing was changed.").arg(why);
        return false;
    }
    const QString kept = QStringLiteral(" The damaged file is kept as [%1].").arg(backup);
    const bool done = removeWithSidecars(fresh, &why) && rebuild(db, fresh, &why, salvage)
        && replaceWith(db, fresh, &why);
    // The rebuilt copy has served its purpose either way: the backup keeps the damaged file.
    QString ignored;
    removeWithSidecars(fresh, &ignored);
    if (!done) {
        *error = QStringLiteral("The repair failed: %1.").arg(why) + kept;
        return false;
    }
    return true;
}

} // namespace StoreRepair
