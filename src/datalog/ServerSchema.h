#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

// The lab server's tables: `datamain` and `datadetail` with the columns of this computer's
// store, `datamain` also with the saving bench's host name and machine type, and a table
// holding the schema's version. Versions:
//   1  the two tables as this computer has them (what the first server version made);
//   2  HostName and MType on datamain, and the indexes of the record queries.
namespace ServerSchema {

inline constexpr int Version = 2;

// The version the server's tables are at: 0 when there are none.
int version(QSqlDatabase &db, QSqlError *error);
// Creates the tables, or brings older ones to Version, in one transaction; concurrent callers
// wait for each other. False with *error on failure (nothing changed then).
bool upgrade(QSqlDatabase &db, QSqlError *error);

// The statements that make the tables of `version` from those of `version - 1`.
QStringList steps(int version);

// "datamain" columns the record queries read, in RecordInfo order (the store's 8, then
// HostName and MType).
QString recordColumns();

} // namespace ServerSchema
