// A long recording on four channels (default 1,000,000 samples; the count is the first
// argument): saving it as a record, loading it to the first painted table and graph, a redraw
// of the graph's 8 traces, one live sample, pan and zoom frames, CSV export, and the resident
// memory with the record loaded and both windows open. Medians.
// With a folder as second argument, a picture of the graph with the whole recording in view
// is saved there (graph_million.png).
// Run offscreen: QT_QPA_PLATFORM=offscreen bench_million [samples [folder]]
#include "GraphBenchSupport.h"

#include "BenchSupport.h"
#include "StoreBenchSupport.h"

#include "datalog/CsvExport.h"
#include "datalog/RecordStore.h"
#include "datalog/RecordingSession.h"
#include "datalog/frmDataTable.h"
#include "datalog/frmGraphicRecord.h"

#include <QApplication>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>

#include <qcustomplot.h>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int samples = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
    QTemporaryDir dir;
    qputenv("ZEP_DATA_DIR", dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    RecordStore store;
    if (!store.open(dir.path()).ok())
        return 1;
    const bool filled = store.replaceBuffer([samples](const RecordStore::SampleSink &sink) {
        for (int i = 0; i < samples; ++i) {
            if (!sink(SampleBytes(graphSample(i)).view()))
                return false;
        }
        return true;
    });
    if (!filled)
        return 2;
    RecordInfo info;
    info.startTime = graphSample(0).recTime;
    info.endTime = graphSample(samples - 1).recTime;
    info.comment = QStringLiteral("long");
    const double save = benchMedian(3, [&](int) { return store.saveNewRecord(info); },
                                    [&] { return store.lastError().description; });

    NoSupply source;
    RecordingSession session(store, nullptr, source);
    session.setChannelCount(4);
    LoneGraphHost host;
    frmDataTable table(session);
    frmGraphicRecord graph(session, host, 4);
    table.resize(1000, 700);
    graph.resize(1280, 800);
    table.show();
    graph.show();
    QCoreApplication::processEvents();
    auto *grid = table.findChild<QTableView *>(QStringLiteral("grdHelQuest"));
    QCustomPlot *plot = graph.plot();
    const QString recNo = info.recNo;
    const double load = benchMedian(3, [&](int) {
        if (!session.loadRecord(recNo, true))
            return false;
        grid->repaint();
        plot->repaint();
        return session.buffer().size() == samples;
    });
    QCoreApplication::processEvents();
    const long rss = vmRssKb();

    // The graph started over and drawn with the whole recording in view.
    const double redraw = benchMedian(5, [&](int) {
        graph.ClearGraph();
        plot->xAxis->setRange(0, samples);
        plot->replot();
        return true;
    });
    // The parts of a frame with the whole recording in view: the traces reduced, and drawn.
    const double reduce = benchMedian(21, [&](int i) {
        plot->xAxis->setRange(0, samples + i % 2);
        Q_EMIT plot->afterLayout();
        return true;
    });
    const double paint = benchMedian(21, [&](int) {
        plot->replot();
        return true;
    });
    const double pan = benchMedian(21, [&](int i) {
        plot->xAxis->moveRange(i % 2 ? samples / 200.0 : -samples / 200.0);
        plot->replot();
        return true;
    });
    const double zoom = benchMedian(21, [&](int i) {
        plot->xAxis->scaleRange(i % 2 ? 1.25 : 0.8);
        plot->replot();
        return true;
    });
    // One live sample with the whole recording in view: appended, the graph drawn, the grid
    // painted.
    plot->xAxis->setRange(0, samples + 100);
    const double live = benchMedian(51, [&](int i) {
        session.buffer().append(graphSample(samples + i));
        plot->replot();
        grid->repaint();
        return true;
    });
    const double csv = benchMedian(3, [&](int) {
        QFile f(dir.filePath(QStringLiteral("out.csv")));
        return f.open(QIODevice::WriteOnly) && CsvExport::write(session.buffer(), 4, f);
    });

    if (argc > 2) {
        plot->xAxis->setRange(0, samples);
        plot->replot();
        graph.grab().save(QString::fromLocal8Bit(argv[2]) + QStringLiteral("/graph_million.png"));
    }

    std::printf("%d samples on 4 channels, medians\n", samples);
    std::printf("  save as a record               %8.1f ms  (goal < 1000)\n", save);
    std::printf("  load to painted table + graph  %8.1f ms  (goal < 500)\n", load);
    std::printf("  graph redraw, 8 traces         %8.1f ms  (goal < 50)\n", redraw);
    std::printf("  live sample + frames           %8.1f ms  (goal < 16)\n", live);
    std::printf("    of which reduced           %8.1f ms\n", reduce);
    std::printf("    drawn again unchanged      %8.1f ms\n", paint);
    std::printf("  pan frame                      %8.1f ms\n", pan);
    std::printf("  zoom frame                     %8.1f ms\n", zoom);
    std::printf("  CSV export                     %8.1f ms  (goal < 500)\n", csv);
    std::printf("  RSS, loaded, both windows      %8.1f MB  (goal < 300)\n", double(rss) / 1024.0);
    return 0;
}
