#include "datalog/StoreRepair.h"

#include "datalog/SqlConnection.h"
#include "datalog/StoreSchema.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>

#include <filesystem>
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
    if (!removeWithSidecars(backup, error) || !copyFile(db, backup, error))
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

// Copies the rows of `table` that can be read; stops quietly at the first unreadable row.
// Only a failure to write the target counts as an error.
bool copyTable(QSqlDatabase &source, QSqlDatabase &target, const QString &table, QString *error)
{
    const QString cols = StoreSchema::columnList(table);
    const int count = int(cols.count(QLatin1Char(',')) + 1);
    QSqlQuery read(source);
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("SELECT %1 FROM %2").arg(cols, table)))
        return true;
    QSqlQuery write(target);
    const QString placeholders = QStringList(count, QStringLiteral("?")).join(QLatin1Char(','));
    if (!write.prepare(QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                           .arg(table, cols, placeholders))) {
        *error = write.lastError().text();
        return false;
    }
    while (read.next()) {
        for (int i = 0; i < count; ++i)
            write.bindValue(i, read.value(i));
        if (!write.exec()) {
            *error = write.lastError().text();
            return false;
        }
    }
    return true;
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

QString backupFileName(const QDate &day)
{
    return QStringLiteral("mtype%1.db").arg(day.toString(QStringLiteral("yyyyMMdd")));
}

QString rebuiltFileName()
{
    return QStringLiteral("mtypenew.db");
}

bool rebuild(const QString &sourcePath, const QString &targetPath, QString *error)
{
    SqlConnection target(targetPath);
    QSqlError sqlError;
    if (!target.open() || !StoreSchema::create(target.db(), &sqlError)) {
        *error = sqlError.isValid() ? sqlError.text() : target.lastError().text();
        return false;
    }
    SqlConnection source(sourcePath);
    if (!source.open())
        return true;  // nothing readable: the rebuilt file keeps the bare schema

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
        if (!copyTable(source.db(), target.db(), table, error))
            return false;
    }
    if (!recoverOrphanSamples(target.db(), error))
        return false;
    if (!transaction.commit()) {
        *error = target.lastError().text();
        return false;
    }
    return true;
}

bool repair(const QString &folder, const QDate &today, QString *error)
{
    const QDir dir(folder);
    const QString db = dir.filePath(StoreSchema::fileName());
    const QString backup = dir.filePath(backupFileName(today));
    const QString fresh = dir.filePath(rebuiltFileName());

    QString why;
    if (!makeBackup(db, backup, &why)) {
        *error = QStringLiteral("The backup could not be made (%1); nothing was changed.").arg(why);
        return false;
    }
    const QString kept = QStringLiteral(" The damaged file is kept as [%1].").arg(backup);
    if (!removeWithSidecars(fresh, &why) || !rebuild(db, fresh, &why) || !replaceWith(db, fresh, &why)) {
        *error = QStringLiteral("The repair failed: %1.").arg(why) + kept;
        return false;
    }
    return true;
}

} // namespace StoreRepair
