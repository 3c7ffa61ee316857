// Lab-server timings on a PostgreSQL server of its own (on this computer, through its Unix
// socket, syncing to disk as a real server does): saving a 100,000-sample buffer (or as many
// as the first argument says) as a record, loading it back into the buffer, replacing it,
// and listing 10,000 saved records.
#include "datalog/RecordStore.h"
#include "datalog/ServerRecordStore.h"
#include "datalog/SqlConnection.h"
#include "support/TestPostgres.h"
#include "StoreBenchSupport.h"

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

constexpr int ListedRecords = 10000;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int bufferRows = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    TestPostgres pg;
    QString why;
    if (!pg.start(&why, true) || !pg.createDatabase(QStringLiteral("bench"), &why)) {
        std::fprintf(stderr, "cannot start a server: %s\n", qPrintable(why));
        return 1;
    }
    QTemporaryDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/server-bench-XXXXXX"));
    RecordStore local;
    const auto fillStart = std::chrono::steady_clock::now();
    const bool filled = local.open(dir.path()).ok() && local.replaceBuffer([bufferRows](const RecordStore::SampleSink &sink) {
        for (int i = 0; i < bufferRows; ++i) {
            if (!sink(SampleBytes(benchSample(i)).view()))
                return false;
        }
        return true;
    });
    if (!filled) {
        std::fprintf(stderr, "cannot fill the buffer in %s\n", qPrintable(dir.path()));
        return 1;
    }
    std::printf("fill this computer's buffer:         %9.1f ms\n",
                benchMsSince(fillStart));
    const RecordPlaceSettings where = pg.labServer(QStringLiteral("bench"));
    ServerRecordStore server(where, local);
    if (!server.connect()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.lastError().description));
        return 1;
    }
    const auto failureText = [&server] { return server.lastError().description; };
    std::printf("lab server (PostgreSQL, local socket), %d samples in the buffer\n", bufferRows);

    const double save = benchMedian(3, [&](int) {
        RecordInfo r;
        r.comment = QStringLiteral("bench");
        return server.saveNewRecord(r);
    }, failureText);
    std::printf("save the buffer as a new record:     %9.1f ms median of 3\n", save);
    const double replace = benchMedian(3, [&](int) {
        RecordInfo r;
        r.recNo = QStringLiteral("1");
        r.comment = QStringLiteral("replaced");
        return server.replaceRecord(r);
    }, failureText);
    std::printf("replace a record with the buffer:    %9.1f ms median of 3\n", replace);
    const double load = benchMedian(3, [&](int i) {
        return server.loadRecord(QString::number(i + 1)) == SavedRecords::LoadResult::Loaded
            && local.bufferCount().value_or(0) == bufferRows;
    }, failureText);
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
    const double list = benchMedian(5, [&](int) {
        const auto records = server.savedRecords();
        return records && records->size() == ListedRecords;
    }, failureText);
    std::printf("list %d saved records:            %9.1f ms median of 5\n", ListedRecords, list);
    return 0;
}
