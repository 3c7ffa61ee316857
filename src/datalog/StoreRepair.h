#pragma once

#include <QDate>
#include <QString>

// Start-up repair of a damaged record database in `folder`:
//  1. copy mtype.db (with its journal files) to the dated backup mtypeYYYYMMDD.db, replacing a
//     backup of the same day;
//  2. remove mtypenew.db;
//  3. rebuild into mtypenew.db, with the full schema, every row that can still be read;
//  4. copy mtypenew.db over mtype.db.
// Nothing is changed in mtype.db before its backup exists. Returns false with a reason in
// *error when a step fails.
namespace StoreRepair {

QString backupFileName(const QDate &day);   // "mtype" + "YYYYMMDD" + ".db"
QString rebuiltFileName();                  // "mtypenew.db"

bool repair(const QString &folder, const QDate &today, QString *error);

// Step 3 alone: copies what `source` still yields into a fresh database at `target`.
bool rebuild(const QString &source, const QString &target, QString *error);

} // namespace StoreRepair
