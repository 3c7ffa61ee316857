#include "datalog/ServerSchema.h"

#include "datalog/SqlConnection.h"
#include "datalog/StoreSchema.h"

#include <QSqlQuery>

namespace ServerSchema {

namespace {

// Held by whoever creates or upgrades the tables, so two benches starting together do not
// both add the same column.
constexpr qint64 UpgradeLockKey = 0x7a65705f73636801;

QString serverType(const QString &localType)
{
    if (localType == QLatin1String("INTEGER"))
        return QStringLiteral("bigint");
    if (localType == QLatin1String("REAL"))
        return QStringLiteral("double precision");
    return QStringLiteral("text");
}

QString createTable(const QString &table)
{
    QStringList cols;
    for (const StoreSchema::Column &c : StoreSchema::columnTypes(table))
        cols << c.name + QLatin1Char(' ') + serverType(c.type);
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)").arg(table, cols.join(QLatin1Char(',')));
}

bool exec(QSqlDatabase &db, const QString &sql, QSqlError *error)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    *error = q.lastError();
    return false;
}

std::optional<QVariant> scalar(QSqlDatabase &db, const QString &sql, QSqlError *error)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next()) {
        *error = q.lastError();
        return std::nullopt;
    }
    return q.value(0);
}

} // namespace

QStringList steps(int version)
{
    switch (version) {
    case 1:
        return {createTable(QStringLiteral("datamain")), createTable(QStringLiteral("datadetail"))};
    case 2:
        // Record numbers stay unique through the table lock of every insert; the index on
        // RecNo is not unique so that a server an older version filled with a duplicate
        // number still upgrades.
        return {QStringLiteral("ALTER TABLE datamain ADD COLUMN IF NOT EXISTS HostName text NOT NULL DEFAULT ''"),
                QStringLiteral("ALTER TABLE datamain ADD COLUMN IF NOT EXISTS MType text NOT NULL DEFAULT ''"),
                QStringLiteral("CREATE INDEX IF NOT EXISTS datamain_recno ON datamain (RecNo)"),
                QStringLiteral("CREATE INDEX IF NOT EXISTS datadetail_recno ON datadetail (recno, SeqNo)")};
    default:
        return {};
    }
}

QString recordColumns()
{
    return StoreSchema::columnList(QStringLiteral("datamain")) + QStringLiteral(",HostName,MType");
}

int version(QSqlDatabase &db, QSqlError *error)
{
    // A server made by the first version has the record tables but no version table.
    const auto found = scalar(db, QStringLiteral(
        "SELECT CASE WHEN to_regclass('zep_schema') IS NOT NULL THEN -1 "
        "WHEN to_regclass('datamain') IS NOT NULL THEN 1 ELSE 0 END"), error);
    if (!found)
        return -1;
    if (found->toInt() >= 0)
        return found->toInt();
    const auto stored = scalar(db, QStringLiteral("SELECT coalesce(max(version), 0) FROM zep_schema"), error);
    return stored ? stored->toInt() : -1;
}

bool upgrade(QSqlDatabase &db, QSqlError *error)
{
    Transaction transaction(db);
    if (!transaction.started()) {
        *error = db.lastError();
        return false;
    }
    if (!exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(UpgradeLockKey), error))
        return false;
    const int current = version(db, error);
    if (current < 0)
        return false;
    if (current >= Version)
        return true;  // nothing to do; the transaction rolls back
    for (int v = current + 1; v <= Version; ++v) {
        for (const QString &sql : steps(v)) {
            if (!exec(db, sql, error))
                return false;
        }
    }
    if (!exec(db, QStringLiteral("CREATE TABLE IF NOT EXISTS zep_schema (version integer NOT NULL)"), error)
        || !exec(db, QStringLiteral("DELETE FROM zep_schema"), error)
        || !exec(db, QStringLiteral("INSERT INTO zep_schema (version) VALUES (%1)").arg(Version), error))
        return false;
    if (!transaction.commit()) {
        *error = db.lastError();
        return false;
    }
    return true;
}

} // namespace ServerSchema
