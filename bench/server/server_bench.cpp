// Lab-server timings on a PostgreSQL server of its own (on this computer, through its Unix
// socket, syncing to disk as a real server does): saving a 100,000-sample buffer as a record,
// loading it back into the buffer, replacing it, and listing 10,000 saved records.
#include "datalog/RecordStore.h"
#include "datalog/ServerRecordStore.h"
#include "datalog/SqlConnection.h"
#include "support/TestPostgres.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int BufferRows = 100000;
constexpr int ListedRecords = 10000;

SampleRow makeSample(qint64 seq)
{
    SampleRow row;
    row.seqNo = seq;
    row.recTime = QDateTime(QDate(2026, 3, 5), QTime(0, 0)).addSecs(seq).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    for (int c = 0; c < 4; ++c) {
        row.channels[c].voltage = QString::number(5.0 * (c + 1) + (seq % 1000) / 1000.0, 'f', 3);
        row.channels[c].current = QString::number(0.1 * (c + 1) + (seq % 97) / 1000.0, 'f', 3);
        row.channels[c].reason = QString::number(c + 1);
    }
    row.timeTick = seq;
    row.diffLastTime = seq ? 1 : 0;
    return row;
}

// Median time in ms of `runs` calls of `step`; false from `step` aborts.
std::function<QString()> failureText;

double median(int runs, const std::function<bool(int)> &step)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!step(i)) {
            std::fprintf(stderr, "step %d failed\n", i);
            if (failureText)
                std::fprintf(stderr, "%s\n", qPrintable(failureText()));
            return -1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TestPostgres pg;
    QString why;
    if (!pg.start(&why, true) || !pg.createDatabase(QStringLiteral("bench"), &why)) {
        std::fprintf(stderr, "cannot start a server: %s\n", qPrintable(why));
        return 1;
    }
    QTemporaryDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/server-bench-XXXXXX"));
    RecordStore local;
    const auto fillStart = std::chrono::steady_clock::now();
    const bool filled = local.open(dir.path()).ok() && local.replaceBuffer([](const RecordStore::SampleSink &sink) {
        for (int i = 0; i < BufferRows; ++i) {
            if (!sink(SampleBytes(makeSample(i)).view()))
                return false;
        }
        return true;
    });
    if (!filled) {
        std::fprintf(stderr, "cannot fill the buffer in %s\n", qPrintable(dir.path()));
        return 1;
    }
    std::printf("fill this computer's buffer:         %9.1f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - fillStart).count());
    RecordPlaceSettings where;
    where.place = RecordPlaceSettings::Place::LabServer;
    where.host = pg.host();
    where.port = pg.port();
    where.user = pg.user();
    where.database = QStringLiteral("bench");
    ServerRecordStore server(where, local);
    if (!server.connect()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.lastError().description));
        return 1;
    }
    failureText = [&server] { return server.lastError().description; };
    std::printf("lab server (PostgreSQL, local socket), %d samples in the buffer\n", BufferRows);

    const double save = median(3, [&](int) {
        RecordInfo r;
        r.comment = QStringLiteral("bench");
        return server.saveNewRecord(r);
    });
    std::printf("save the buffer as a new record:     %9.1f ms median of 3\n", save);
    const double replace = median(3, [&](int) {
        RecordInfo r;
        r.recNo = QStringLiteral("1");
        r.comment = QStringLiteral("replaced");
        return server.replaceRecord(r);
    });
    std::printf("replace a record with the buffer:    %9.1f ms median of 3\n", replace);
    const double load = median(3, [&](int i) {
        return server.loadRecord(QString::number(i + 1)) == SavedRecords::LoadResult::Loaded
            && local.bufferCount().value_or(0) == BufferRows;
    });
    std::printf("load a record into the buffer:       %9.1f ms median of 3\n", load);

    {
        SqlConnection conn(SqlConnection::Server{QStringLiteral("QPSQL"), where.host, where.port, where.database,
                                                 where.user, QString()});
        QSqlQuery q(conn.open() ? conn.db() : QSqlDatabase());
        if (!q.exec(QStringLiteral(
                "INSERT INTO datamain SELECT (n + 10)::text, '2026/03/05 10:00:00', '2026/03/05 11:00:00', "
                "'record ' || n, 'V', 'A', '0', '0', 'bench-pc', 'XPP-3202' FROM generate_series(1, %1) n")
                        .arg(ListedRecords - 3))) {
            std::fprintf(stderr, "cannot add records\n");
            return 1;
        }
    }
    const double list = median(5, [&](int) {
        const auto records = server.savedRecords();
        return records && records->size() == ListedRecords;
    });
    std::printf("list %d saved records:            %9.1f ms median of 5\n", ListedRecords, list);
    return 0;
}
