#pragma once

#include "resources/Catalogue.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariantList>

// Tables, columns and indexes of the record database, and the shipped machine-type rows.
namespace StoreSchema {

// The database file's name inside the data folder.
inline QString fileName() { return QStringLiteral("mtype.db"); }

// The 17 sample columns of `datatemp` in table order; `datadetail`, `datacopy` and the
// data-window tables use the same names, order and kinds.
const QStringList &sampleColumns();
// The 8 columns of `datamain` and the 13 of `data1`, in table order.
const QStringList &recordColumns();
const QStringList &machineTypeColumns();

// Names of every table the store knows, in creation order (data windows beyond the first are
// made on demand).
QStringList tableNames();

// Column list of a table, joined with ","; empty for an unknown table.
QString columnList(const QString &table);

// Name and SQL type (INTEGER, REAL or TEXT) of each column of a table, in table order;
// empty for an unknown table.
struct Column {
    QString name;
    QString type;
};
QList<Column> columnTypes(const QString &table);

// The name of data-window table n ("DataWindow" + n).
QString dataWindowTable(int n);
// True when `name` is a data-window table (any letter case), with its number in *n.
bool isDataWindowTable(const QString &name, int *n = nullptr);

// A reading column as a number, for comparisons: SQLite's leading-number conversion after a
// decimal comma has become a point ("12,5" and "12.5V" are 12.5, "" is 0).
QString numericReading(const QString &column);

// Creates every missing table and index and drops the indexes of earlier versions. Returns false with *error on failure.
bool create(QSqlDatabase &db, QSqlError *error);
// Creates data-window table n unless it exists.
bool createDataWindow(QSqlDatabase &db, int n, QSqlError *error);
// Adds the shipped machine-type rows whose MTYPE the table does not hold yet; rows already
// there (including ones edited by hand) stay as they are.
bool addMissingCatalogueRows(QSqlDatabase &db, QSqlError *error);

// Conversions between a `data1` row read by position and the catalogue type.
QVariantList toFields(const MachineTypeRow &row);
MachineTypeRow fromFields(const QVariantList &fields);

} // namespace StoreSchema
