#include "StoreTestSupport.h"

#include "datalog/SqlConnection.h"

#include <QDateTime>
#include <QFile>
#include <QSqlQuery>
#include <QtDebug>

#include <optional>
#include <tuple>

namespace StoreTest {

SampleRow sample(qint64 seq, const QString &volts, const QString &amps, const QString &reason)
{
    SampleRow row;
    row.seqNo = seq;
    row.recTime = QDateTime(QDate(2026, 3, 5), QTime(10, 0)).addSecs(seq).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    row.channels[0] = {volts, amps, reason};
    for (int c = 1; c < 4; ++c)
        row.channels[c] = {QString::number(c * 5 + seq % 7) + QStringLiteral(".00"),
                           QStringLiteral("0.%1").arg(seq % 10), QString::number(c + 1)};
    row.timeTick = seq;
    row.diffLastTime = seq == 0 ? 0 : 1;
    return row;
}

RecordInfo record(const QString &recNo, const QString &comment, const QString &startTime,
                  const QString &recStyle)
{
    RecordInfo r;
    std::tie(r.recNo, r.comment, r.startTime, r.recStyle) = std::tie(recNo, comment, startTime, recStyle);
    return r;
}

QString describe(const RecordInfo &r)
{
    return QStringList({r.recNo, r.startTime, r.endTime, r.comment, r.pUnit, r.sUnit, r.recStyle,
                        r.showStyle}).join(QLatin1Char('|'));
}

namespace {

// Runs `sql` on its own connection to `file`; the first column of every row it returns.
std::optional<QStringList> run(const QString &file, const QString &sql)
{
    SqlConnection conn(file);
    const bool opened = conn.open();
    QSqlQuery q(conn.db());
    if (!opened || !q.exec(sql)) {
        qWarning() << file << sql << conn.lastError().text() << q.lastError().text();
        return std::nullopt;
    }
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

} // namespace

bool exec(const QString &file, const QString &sql) { return run(file, sql).has_value(); }
QStringList column(const QString &file, const QString &sql) { return run(file, sql).value_or(QStringList()); }
QVariant scalar(const QString &file, const QString &sql) { return column(file, sql).value(0); }

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

bool appendSamples(RecordStore &store, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!store.appendSample(sample(i)))
            return false;
    }
    return true;
}

} // namespace StoreTest
