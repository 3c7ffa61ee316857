#include "StoreTestSupport.h"

#include "datalog/SqlConnection.h"

#include <QDateTime>
#include <QFile>
#include <QSqlQuery>
#include <QtDebug>

#include <functional>
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

// Runs `sql` on its own connection to `file` and hands the executed query to `read`.
bool run(const QString &file, const QString &sql, const std::function<void(QSqlQuery &)> &read = {})
{
    SqlConnection conn(file);
    if (!conn.open()) {
        qWarning() << "cannot open" << file << conn.lastError().text();
        return false;
    }
    QSqlQuery q(conn.db());
    if (!q.exec(sql)) {
        qWarning() << sql << q.lastError().text();
        return false;
    }
    if (read)
        read(q);
    return true;
}

} // namespace

bool exec(const QString &file, const QString &sql)
{
    return run(file, sql);
}

QStringList column(const QString &file, const QString &sql)
{
    QStringList out;
    run(file, sql, [&out](QSqlQuery &q) {
        while (q.next())
            out << q.value(0).toString();
    });
    return out;
}

QVariant scalar(const QString &file, const QString &sql)
{
    QVariant out;
    run(file, sql, [&out](QSqlQuery &q) {
        if (q.next())
            out = q.value(0);
    });
    return out;
}

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

} // namespace StoreTest
