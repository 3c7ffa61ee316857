// Record-store timings with a sample buffer of 100,000 rows: one sample append (as the
// recorder does once per second), saving the buffer as a record, loading it back, the four
// per-channel maximum/minimum queries of the graph's statistics, and opening the store.
#include "datalog/RecordStore.h"
#include "datalog/SqlConnection.h"
#include "datalog/StoreSchema.h"
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

constexpr int BufferRows = 100000;

// Fills the buffer in one transaction of its own: 100,000 single appends, each synced to
// disk, would take minutes and say nothing more than the append figure below.
bool fillBuffer(const QString &file, int rows)
{
    SqlConnection conn(file);
    if (!conn.open())
        return false;
    Transaction t(conn.db());
    QSqlQuery q(conn.db());
    const QString cols = StoreSchema::columnList(QStringLiteral("datatemp"));
    q.prepare(QStringLiteral("INSERT INTO datatemp (%1) VALUES (%2)")
                  .arg(cols, QStringList(17, QStringLiteral("?")).join(QLatin1Char(','))));
    for (int i = 0; i < rows; ++i) {
        const SampleRow s = benchSample(i);
        q.addBindValue(s.seqNo);
        q.addBindValue(s.recTime);
        for (const ChannelReading &ch : s.channels)
            q.addBindValue(ch.voltage), q.addBindValue(ch.current), q.addBindValue(ch.reason);
        q.addBindValue(s.comment);
        q.addBindValue(s.timeTick);
        q.addBindValue(s.diffLastTime);
        if (!q.exec())
            return false;
    }
    return t.commit();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Beside the build, on the disk the store would live on (not a memory file system).
    QTemporaryDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/store-bench-XXXXXX"));
    RecordStore store;
    if (!store.open(dir.path()).ok() || !fillBuffer(store.filePath(), BufferRows)) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(dir.path()));
        return 1;
    }
    std::printf("record store, %d samples in the buffer (%s)\n", BufferRows, qPrintable(dir.path()));

    const double append = benchMedian(201, [&](int i) {
        return store.appendSample(benchSample(BufferRows + i));
    });
    std::printf("append one sample (committed):     %9.3f ms median of 201\n", append);
    // Back to exactly 100,000 rows.
    {
        SqlConnection conn(store.filePath());
        conn.open();
        QSqlQuery(conn.db()).exec(QStringLiteral("DELETE FROM datatemp WHERE SeqNo >= %1").arg(BufferRows));
    }

    const double save = benchMedian(5, [&](int i) {
        RecordInfo r;
        r.recNo = QString::number(i + 1);
        return store.saveRecord(r);
    });
    std::printf("save buffer as a record:           %9.3f ms median of 5\n", save);
    const double replace = benchMedian(5, [&](int) {
        RecordInfo r;
        r.recNo = QStringLiteral("1");
        return store.replaceRecord(r);
    });
    std::printf("replace a record with the buffer:  %9.3f ms median of 5\n", replace);
    const double load = benchMedian(5, [&](int i) {
        return store.loadRecord(QString::number(i + 1)) == RecordStore::LoadResult::Loaded;
    });
    std::printf("load a record into the buffer:     %9.3f ms median of 5\n", load);
    const double read = benchMedian(5, [&](int) {
        const auto rows = store.bufferSamples();
        return rows && rows->size() == BufferRows;
    });
    std::printf("read the whole buffer:             %9.3f ms median of 5\n", read);
    for (int channel = 1; channel <= 4; ++channel) {
        const double stats = benchMedian(5, [&](int) { return store.channelExtremes(channel).has_value(); });
        std::printf("max/min of channel %d:              %9.3f ms median of 5\n", channel, stats);
    }
    const double allStats = benchMedian(5, [&](int) {
        for (int channel = 1; channel <= 4; ++channel) {
            if (!store.channelExtremes(channel))
                return false;
        }
        return true;
    });
    std::printf("max/min of all four channels:      %9.3f ms median of 5\n", allStats);
    const double next = benchMedian(5, [&](int) { return store.nextRecordNumber().has_value(); });
    std::printf("next record number (5 records):    %9.3f ms median of 5\n", next);

    const QString folder = dir.path();
    const double reopen = benchMedian(3, [&](int) {
        store.close();
        return store.open(folder).status == StoreOpenResult::Status::Opened;
    });
    std::printf("open with quick_check (%d samples stored): %9.3f ms median of 3\n",
                BufferRows * 6, reopen);
    return 0;
}
