#pragma once

#include <QDate>
#include <QString>

// Start-up repair of a damaged record database in `folder`:
//  1. copy mtype.db (with its journal files) to the dated backup mtypeYYYYMMDD.db; a backup of
//     the same day is never overwritten, a further one is named mtypeYYYYMMDD-2.db, -3, ...;
//  2. remove mtypenew.db;
//  3. rebuild into mtypenew.db, with the full schema, every row that can still be read (a
//     damaged range of a table is skipped, the rows after it are kept);
//  4. copy mtypenew.db over mtype.db.
// Nothing is changed in mtype.db before its backup exists. Returns false with a reason in
// *error when a step fails.
namespace StoreRepair {

// "mtype" + "YYYYMMDD" + ".db" for the first backup of a day, "mtypeYYYYMMDD-n.db" after.
QString backupFileName(const QDate &day, int n = 1);
// The first backup name of `day` not yet taken in `folder`.
QString freeBackupPath(const QString &folder, const QDate &day);
QString rebuiltFileName();                  // "mtypenew.db"

// `backup` receives the path of the backup made.
bool repair(const QString &folder, const QDate &today, QString *backup, QString *error);

// Step 3 alone: copies what `source` still yields into a fresh database at `target`.
bool rebuild(const QString &source, const QString &target, QString *error);

} // namespace StoreRepair
