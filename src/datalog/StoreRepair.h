#pragma once

#include <QDate>
#include <QString>

#include <optional>

// Start-up repair of a damaged record database in `folder`:
//  1. copy mtype.db (with its journal files) to the dated backup mtypeYYYYMMDD.db; a backup of
//     the same day is never overwritten, a further one is named mtypeYYYYMMDD-2.db, -3, ...;
//  2. remove mtypenew.db;
//  3. rebuild into mtypenew.db, with the full schema, every row that can still be read (a
//     damaged range of a table is skipped, the rows after it are kept);
//  4. copy mtypenew.db over mtype.db, then remove mtypenew.db.
// Nothing is changed in mtype.db before its backup exists. Returns false with a reason in
// *error when a step fails.
namespace StoreRepair {

// What a rebuild kept of the samples (of saved records and of the unsaved buffer).
struct Salvage {
    qint64 samples = 0;                  // copied into the rebuilt file
    std::optional<qint64> samplesBefore; // counted in the damaged file, when it could be
};

// "mtype" + "YYYYMMDD" + ".db" for the first backup of a day, "mtypeYYYYMMDD-n.db" after.
QString backupFileName(const QDate &day, int n = 1);
// The first backup name of `day` not yet taken in `folder`.
QString freeBackupPath(const QString &folder, const QDate &day);
QString rebuiltFileName();                  // "mtypenew.db"

// `backup` receives the path of the backup made.
bool repair(const QString &folder, const QDate &today, QString *backup, QString *error,
            Salvage *salvage = nullptr);

// Step 3 alone: copies what `source` still yields into a fresh database at `target`.
bool rebuild(const QString &source, const QString &target, QString *error, Salvage *salvage = nullptr);

} // namespace StoreRepair
