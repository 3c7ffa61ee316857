// Timings of the recording and the table window with a 100,000-sample buffer: one recording
// tick including its commit, a grid append, loading a saved record into buffer and grid, a
// filter rebuild, the memory the buffer takes, and start-up to the window with a million
// stored samples. Run offscreen: QT_QPA_PLATFORM=offscreen bench_recording
#include "MainwinRig.h"
#include "StoreBenchSupport.h"

#include "common/Clock.h"
#include "datalog/RecordStore.h"
#include "datalog/RecordingSession.h"
#include "datalog/SqlConnection.h"
#include "datalog/StoreSchema.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Samples = 100000;

// The store benchmarks' sample, every channel with condition code "0" (what the filter
// rebuild selects).
SampleRow makeSample(qint64 seq)
{
    SampleRow row = benchSample(seq);
    for (ChannelReading &c : row.channels)
        c.reason = QStringLiteral("0");
    return row;
}

// Rows straight into `table` of the store file, in one transaction (as a long recording
// would have left them, without waiting a sync per sample).
bool fill(const QString &file, const QString &table, qint64 first, qint64 count, const QString &recNo = QString())
{
    SqlConnection conn(file);
    if (!conn.open())
        return false;
    Transaction t(conn.db());
    QSqlQuery q(conn.db());
    const QString cols = StoreSchema::columnList(QStringLiteral("datatemp"));
    const bool detail = !recNo.isEmpty();
    q.prepare(QStringLiteral("INSERT INTO %1 (%2%3) VALUES (%4%5)")
                  .arg(table, detail ? QStringLiteral("recno,SeqWindow,") : QString(), cols,
                       detail ? QStringLiteral("?,1,") : QString(),
                       QStringList(17, QStringLiteral("?")).join(QLatin1Char(','))));
    for (qint64 i = first; i < first + count; ++i) {
        const SampleRow s = makeSample(i);
        if (detail)
            q.addBindValue(recNo);
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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double msOf(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e6;
}

long rssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

void paint(QWidget *w)
{
    w->repaint();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("ZEP_DATA_DIR", dir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    const QString file = QDir(dir.path()).filePath(StoreSchema::fileName());

    // Memory: a standalone buffer of 100,000 samples.
    {
        const long before = rssKb();
        SampleBuffer buffer;
        buffer.setChannelCount(4);
        buffer.beginRebuild();
        for (int i = 0; i < Samples; ++i)
            buffer.add(makeSample(i));
        buffer.endRebuild();
        std::printf("RSS added by a %d-sample buffer: %.1f MB\n", Samples, double(rssKb() - before) / 1024.0);
    }

    auto store = std::make_shared<RecordStore>();
    if (!store->open(dir.path()).ok() || !fill(file, QStringLiteral("datadetail"), 0, Samples, QStringLiteral("1")))
        return 1;
    RecordInfo record;
    record.recNo = QStringLiteral("1");
    record.startTime = makeSample(0).recTime;
    {
        SqlConnection conn(file);
        conn.open();
        QSqlQuery(conn.db()).exec(QStringLiteral("INSERT INTO datamain (RecNo,StartTime,EndTime,Comment,PUnit,SUnit,RecStyle,ShowStyle) "
                                                 "VALUES ('1','2026/03/05 00:00:00','2026/03/06 03:46:39','long','V','A','0','0')"));
    }

    MDIForm1::Collaborators c;
    c.records = store;
    MDIForm1 w(std::move(c));
    w.resize(1000, 700);
    w.show();
    w.Setup(QStringLiteral("Menu"), QStringLiteral("XPP-3202"), false);
    QElapsedTimer wait;
    wait.start();
    while (!w.tableDataForm1() && wait.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    frmDataTable *table = w.tableDataForm1();
    if (!table)
        return 2;
    w.DoOutput(true);
    w.menuItem(QStringLiteral("mnuTableData"))->trigger();
    QCoreApplication::processEvents();
    auto *grid = table->findChild<QTableView *>(QStringLiteral("grdHelQuest"));

    // Loading the saved record into buffer and grid.
    std::vector<double> loads;
    for (int i = 0; i < 3; ++i) {
        table->cmdLoadRecord_Click();
        loads.push_back(msOf([&] {
            table->List1_Click(0);
            paint(grid);
        }));
    }
    std::printf("load a %d-sample record into buffer and grid: median %.0f ms\n", w.session().buffer().rowCount(), median(loads));

    // The filter "Time" over every sample, with the window painting.
    auto *filter = table->findChild<QComboBox *>(QStringLiteral("CmbSample"));
    std::vector<double> filters;
    for (int i = 0; i < 3; ++i) {
        filter->setCurrentIndex(i % 2 ? 0 : 1);
        filters.push_back(msOf([&] {
            table->CmbSample_Click();
            paint(grid);
        }));
    }
    std::printf("filter rebuild of %d samples: median %.0f ms\n", w.session().buffer().rowCount(), median(filters));

    // Ticks of a recording whose buffer already holds 100,000 samples.
    FakeClock clock;
    ScopedClock scoped(clock);
    w.session().RecordPeriod(0, 1, 0, 0, 0, 0);
    w.session().BeginRecordData();
    if (!fill(file, QStringLiteral("datatemp"), 0, Samples))
        return 3;
    table->CmbSample_Click();
    std::vector<double> ticks;
    for (int i = 0; i < 200; ++i) {
        clock.advanceMs(1000);
        ticks.push_back(msOf([&] { w.session().engine().TimerRecordData_Timer(); }));
        QCoreApplication::processEvents();
    }
    std::printf("recording tick with its commit, buffer %d: median %.2f ms, max %.2f ms\n",
                w.session().buffer().rowCount(), median(ticks), *std::max_element(ticks.begin(), ticks.end()));

    std::vector<double> appends;
    SampleBuffer &buffer = w.session().buffer();
    for (int i = 0; i < 200; ++i) {
        const SampleRow row = makeSample(buffer.rowCount());
        appends.push_back(msOf([&] {
            buffer.append(row);
            grid->scrollToBottom();
            paint(grid->viewport());
        }));
    }
    std::printf("grid append with scroll and paint, buffer %d: median %.2f ms\n", buffer.rowCount(), median(appends));
    std::vector<double> a1, a2, a3;
    for (int i = 0; i < 100; ++i) {
        const SampleRow row = makeSample(buffer.rowCount());
        a1.push_back(msOf([&] { buffer.append(row); }));
        a2.push_back(msOf([&] { grid->scrollToBottom(); }));
        a3.push_back(msOf([&] { grid->viewport()->repaint(); }));
    }
    std::printf("  of which: model append %.2f ms, scroll %.2f ms, paint %.2f ms\n", median(a1), median(a2), median(a3));
    w.session().EndRecordData();

    // Start-up with a million stored samples: opening the store (integrity check after the
    // window) and the window shown, against the check before the window.
    w.close();
    if (!fill(file, QStringLiteral("datadetail"), Samples, 900000, QStringLiteral("2")))
        return 4;
    for (const auto check : {RecordStore::IntegrityCheck::Later, RecordStore::IntegrityCheck::Now}) {
        double verifyMs = 0;
        const double toWindow = msOf([&] {
            auto s = std::make_shared<RecordStore>();
            s->open(dir.path(), check);
            MDIForm1::Collaborators cc;
            cc.records = s;
            MDIForm1 window(std::move(cc));
            window.show();
            QCoreApplication::processEvents();
            if (check == RecordStore::IntegrityCheck::Later)
                verifyMs = msOf([&] { s->verify(); });
        });
        if (check == RecordStore::IntegrityCheck::Later)
            std::printf("start-up to the window, 1,000,000 stored samples: %.0f ms (then the check: %.0f ms)\n",
                        toWindow - verifyMs, verifyMs);
        else
            std::printf("start-up to the window with the check first: %.0f ms\n", toWindow);
    }
    return 0;
}
