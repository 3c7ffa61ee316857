#include "datalog/StoreSchema.h"

#include <QRegularExpression>
#include <QSqlQuery>

#include <utility>

namespace StoreSchema {

namespace {

using ColumnDef = std::pair<const char *, const char *>;  // name, SQL type
using TableDef = QList<ColumnDef>;

const TableDef &sampleDefs()
{
    static const TableDef defs{
        {"SeqNo", "INTEGER"}, {"RecTime", "TEXT"},
        {"PVal", "TEXT"}, {"SVal", "TEXT"}, {"Reason", "TEXT"},
        {"PVal2", "TEXT"}, {"SVal2", "TEXT"}, {"Reason2", "TEXT"},
        {"PVal3", "TEXT"}, {"SVal3", "TEXT"}, {"Reason3", "TEXT"},
        {"PVal4", "TEXT"}, {"SVal4", "TEXT"}, {"Reason4", "TEXT"},
        {"Comment", "TEXT"}, {"TimeTick", "INTEGER"}, {"DiffLastTime", "INTEGER"},
    };
    return defs;
}

TableDef withRecordKey(const char *recNoName)
{
    TableDef defs{{recNoName, "TEXT"}, {"SeqWindow", "INTEGER"}};
    defs += sampleDefs();
    return defs;
}

const TableDef &recordDefs()
{
    static const TableDef defs{
        {"RecNo", "TEXT"}, {"StartTime", "TEXT"}, {"EndTime", "TEXT"}, {"Comment", "TEXT"},
        {"PUnit", "TEXT"}, {"SUnit", "TEXT"}, {"RecStyle", "TEXT"}, {"ShowStyle", "TEXT"},
    };
    return defs;
}

const TableDef &machineTypeDefs()
{
    static const TableDef defs{
        {"MTYPE", "TEXT"}, {"INMENU", "INTEGER"}, {"LAYOUT", "INTEGER"}, {"PERCHANNEL", "INTEGER"},
        {"VMAX", "REAL"}, {"IMAX", "REAL"}, {"OVPMAX", "REAL"},
        {"VSTEP", "REAL"}, {"ISTEP", "REAL"}, {"OVPSTEP", "REAL"},
        {"VFORMAT", "TEXT"}, {"IFORMAT", "TEXT"}, {"OVPFORMAT", "TEXT"},
    };
    return defs;
}

struct Table {
    QString name;
    TableDef columns;
    QStringList indexes;  // CREATE INDEX statements
};

// Only the sample order is indexed: every further index costs each append (one sample a
// second) and each load of a long record its own pages. The extremes of the readings are
// kept by the in-memory SampleBuffer as samples arrive.
QStringList bufferIndexes()
{
    return {QStringLiteral("CREATE INDEX IF NOT EXISTS datatemp_seqno ON datatemp (SeqNo)")};
}

// Indexes of earlier versions that are dropped when a store is opened.
QStringList obsoleteIndexes()
{
    QStringList list{QStringLiteral("datatemp_rectime")};
    for (const QString &suffix : {QString(), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}) {
        for (const char *kind : {"pval", "sval"})
            list << QStringLiteral("datatemp_%1%2_number").arg(QLatin1String(kind), suffix);
    }
    return list;
}

const QList<Table> &tables()
{
    static const QList<Table> list{
        {QStringLiteral("data1"), machineTypeDefs(),
         {QStringLiteral("CREATE INDEX IF NOT EXISTS data1_mtype ON data1 (MTYPE)")}},
        {QStringLiteral("datatemp"), sampleDefs(), bufferIndexes()},
        {QStringLiteral("datamain"), recordDefs(),
         {QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS datamain_recno ON datamain (RecNo)")}},
        {QStringLiteral("datadetail"), withRecordKey("recno"),
         {QStringLiteral("CREATE INDEX IF NOT EXISTS datadetail_recno ON datadetail (recno, SeqNo)")}},
        {QStringLiteral("datacopy"), withRecordKey("RecNo"),
         {QStringLiteral("CREATE INDEX IF NOT EXISTS datacopy_recno ON datacopy (RecNo, SeqNo)")}},
        {QStringLiteral("datawindow1"), sampleDefs(), {}},
        // The number of the record the samples of datatemp were saved as; no row while they
        // are saved nowhere else.
        {QStringLiteral("datatempsaved"), {{"RecNo", "TEXT"}}, {}},
    };
    return list;
}

QStringList names(const TableDef &defs)
{
    QStringList out;
    for (const auto &[name, type] : defs)
        out << QString::fromLatin1(name);
    return out;
}

QString createSql(const QString &table, const TableDef &defs)
{
    QStringList cols;
    for (const auto &[name, type] : defs)
        cols << QStringLiteral("%1 %2").arg(QString::fromLatin1(name), QString::fromLatin1(type));
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)").arg(table, cols.join(QLatin1Char(',')));
}

bool exec(QSqlDatabase &db, const QString &sql, QSqlError *error)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    if (error)
        *error = q.lastError();
    return false;
}

// A flag read back from the table: stored as 0/1, but a hand-edited "true"/"false" counts too.
bool toFlag(const QVariant &v)
{
    const QString text = v.toString().trimmed();
    bool isNumber = false;
    const double number = text.toDouble(&isNumber);
    if (isNumber)
        return number != 0;
    return text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0
        || text.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0;
}

} // namespace

const QStringList &sampleColumns()
{
    static const QStringList list = names(sampleDefs());
    return list;
}

const QStringList &recordColumns()
{
    static const QStringList list = names(recordDefs());
    return list;
}

const QStringList &machineTypeColumns()
{
    static const QStringList list = names(machineTypeDefs());
    return list;
}

QStringList tableNames()
{
    QStringList out;
    for (const Table &t : tables())
        out << t.name;
    return out;
}

QString columnList(const QString &table)
{
    int n = 0;
    if (isDataWindowTable(table, &n))
        return sampleColumns().join(QLatin1Char(','));
    for (const Table &t : tables()) {
        if (t.name.compare(table, Qt::CaseInsensitive) == 0)
            return names(t.columns).join(QLatin1Char(','));
    }
    return QString();
}

QList<Column> columnTypes(const QString &table)
{
    QList<Column> out;
    for (const Table &t : tables()) {
        if (t.name.compare(table, Qt::CaseInsensitive) == 0) {
            for (const auto &[name, type] : t.columns)
                out.append({QString::fromLatin1(name), QString::fromLatin1(type)});
        }
    }
    return out;
}

QString numericReading(const QString &column)
{
    return QStringLiteral("CAST(REPLACE(%1, ',', '.') AS REAL)").arg(column);
}

QString dataWindowTable(int n)
{
    return QStringLiteral("DataWindow%1").arg(n);
}

bool isDataWindowTable(const QString &name, int *n)
{
    static const QRegularExpression pattern(QStringLiteral("^datawindow(\\d{1,5})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(name);
    if (!match.hasMatch())
        return false;
    if (n)
        *n = match.captured(1).toInt();
    return true;
}

bool create(QSqlDatabase &db, QSqlError *error)
{
    for (const QString &index : obsoleteIndexes()) {
        if (!exec(db, QStringLiteral("DROP INDEX IF EXISTS %1").arg(index), error))
            return false;
    }
    for (const Table &t : tables()) {
        if (!exec(db, createSql(t.name, t.columns), error))
            return false;
        for (const QString &index : t.indexes) {
            if (!exec(db, index, error))
                return false;
        }
    }
    return true;
}

bool createDataWindow(QSqlDatabase &db, int n, QSqlError *error)
{
    return exec(db, createSql(dataWindowTable(n), sampleDefs()), error);
}

bool addMissingCatalogueRows(QSqlDatabase &db, QSqlError *error)
{
    const QStringList cols = machineTypeColumns();
    const QString placeholders = QStringList(cols.size(), QStringLiteral("?")).join(QLatin1Char(','));
    const QString sql = QStringLiteral("INSERT INTO data1 (%1) SELECT %2 "
                                       "WHERE NOT EXISTS (SELECT 1 FROM data1 WHERE MTYPE = ?)")
                            .arg(cols.join(QLatin1Char(',')), placeholders);
    QSqlQuery q(db);
    if (!q.prepare(sql)) {
        if (error)
            *error = q.lastError();
        return false;
    }
    for (const MachineTypeRow &row : Catalogue::shipped()) {
        for (const QVariant &v : toFields(row))
            q.addBindValue(v);
        q.addBindValue(row.mtype);
        if (!q.exec()) {
            if (error)
                *error = q.lastError();
            return false;
        }
    }
    return true;
}

QVariantList toFields(const MachineTypeRow &row)
{
    return {row.mtype, row.inMenu ? 1 : 0, row.layout, row.perChannel ? 1 : 0,
            row.vMax, row.iMax, row.ovpMax, row.vStep, row.iStep, row.ovpStep,
            row.vFormat, row.iFormat, row.ovpFormat};
}

MachineTypeRow fromFields(const QVariantList &f)
{
    auto at = [&f](int i) { return i < f.size() ? f.at(i) : QVariant(); };
    return MachineTypeRow{at(0).toString(), toFlag(at(1)), at(2).toInt(), toFlag(at(3)),
                          at(4).toDouble(), at(5).toDouble(), at(6).toDouble(),
                          at(7).toDouble(), at(8).toDouble(), at(9).toDouble(),
                          at(10).toString(), at(11).toString(), at(12).toString()};
}

} // namespace StoreSchema
