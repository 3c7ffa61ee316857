// Record-store timings with a sample buffer of 100,000 rows: one sample append (as the
// recorder does once per second), saving the buffer as a record, loading it back, the four
// per-channel maximum/minimum queries of the graph's statistics, and opening the store.
#include "datalog/RecordStore.h"
#include "datalog/SqlConnection.h"
#include "datalog/StoreSchema.h"

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
        const SampleRow s = makeSample(i);
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

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Median time in ms of `runs` calls of `step`; false from `step` aborts.
double median(int runs, const std::function<bool(int)> &step)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!step(i)) {
            std::fprintf(stderr, "step %d failed\n", i);
            return -1;
        }
        times.push_back(msSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
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

    const double append = median(201, [&](int i) {
        return store.appendSample(makeSample(BufferRows + i));
    });
    std::printf("append one sample (committed):     %9.3f ms median of 201\n", append);
    // Back to exactly 100,000 rows.
    {
        SqlConnection conn(store.filePath());
        conn.open();
        QSqlQuery(conn.db()).exec(QStringLiteral("DELETE FROM datatemp WHERE SeqNo >= %1").arg(BufferRows));
    }

    const double save = median(5, [&](int i) {
        RecordInfo r;
        r.recNo = QString::number(i + 1);
        return store.saveRecord(r);
    });
    std::printf("save buffer as a record:           %9.3f ms median of 5\n", save);
    const double replace = median(5, [&](int) {
        RecordInfo r;
        r.recNo = QStringLiteral("1");
        return store.replaceRecord(r);
    });
    std::printf("replace a record with the buffer:  %9.3f ms median of 5\n", replace);
    const double load = median(5, [&](int i) {
        return store.loadRecord(QString::number(i + 1)) == RecordStore::LoadResult::Loaded;
    });
    std::printf("load a record into the buffer:     %9.3f ms median of 5\n", load);
    const double read = median(5, [&](int) {
        const auto rows = store.bufferSamples();
        return rows && rows->size() == BufferRows;
    });
    std::printf("read the whole buffer:             %9.3f ms median of 5\n", read);
    for (int channel = 1; channel <= 4; ++channel) {
        const double stats = median(5, [&](int) { return store.channelExtremes(channel).has_value(); });
        std::printf("max/min of channel %d:              %9.3f ms median of 5\n", channel, stats);
    }
    const double allStats = median(5, [&](int) {
        for (int channel = 1; channel <= 4; ++channel) {
            if (!store.channelExtremes(channel))
                return false;
        }
        return true;
    });
    std::printf("max/min of all four channels:      %9.3f ms median of 5\n", allStats);
    const double next = median(5, [&](int) { return store.nextRecordNumber().has_value(); });
    std::printf("next record number (5 records):    %9.3f ms median of 5\n", next);

    const QString folder = dir.path();
    const double reopen = median(3, [&](int) {
        store.close();
        return store.open(folder).status == StoreOpenResult::Status::Opened;
    });
    std::printf("open with quick_check (%d samples stored): %9.3f ms median of 3\n",
                BufferRows * 6, reopen);
    return 0;
}
