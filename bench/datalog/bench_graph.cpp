// Timings of the graph window with 8 traces × 100,000 points: a redraw from the buffer, a
// live point, a pan and a zoom frame with the whole day in view, CSV export and printing to
// PDF. Run offscreen: QT_QPA_PLATFORM=offscreen bench_graph
#include "GraphBenchSupport.h"

#include "datalog/RecordStore.h"
#include "datalog/RecordingSession.h"
#include "datalog/frmGraphicRecord.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <qcustomplot.h>

#include <cstdio>

namespace {

constexpr int Points = 100000;

template<class F>
double averageMs(int runs, F &&f)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < runs; ++i)
        f(i);
    return double(t.nsecsElapsed()) / 1e6 / runs;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("ZEP_DATA_DIR", dir.path().toUtf8());
    RecordStore store;
    if (!store.open(dir.path()).ok())
        return 1;
    NoSupply source;
    RecordingSession session(store, nullptr, source);
    session.setChannelCount(4);
    SampleBuffer &buffer = session.buffer();
    buffer.beginRebuild();
    for (int i = 0; i < Points; ++i)
        buffer.add(graphSample(i));
    buffer.endRebuild();
    LoneGraphHost host;
    frmGraphicRecord g(session, host, 4);
    g.resize(1280, 800);
    g.show();
    QCustomPlot *plot = g.plot();

    const double redraw = averageMs(5, [&](int) { g.ClearGraph(); });
    plot->xAxis->setRange(0, Points);
    plot->replot();
    const double pan = averageMs(20, [&](int i) {
        plot->xAxis->moveRange(i % 2 ? 500 : -500);
        plot->replot();
    });
    const double zoom = averageMs(20, [&](int i) {
        plot->xAxis->scaleRange(i % 2 ? 1.25 : 0.8);
        plot->replot();
    });
    // A live point: one more sample in the buffer, appended and drawn with the day in view.
    const double live = averageMs(50, [&](int i) {
        buffer.append(graphSample(Points + i));
        plot->replot();
    });
    const double csv = averageMs(3, [&](int) { g.exportTo(dir.filePath(QStringLiteral("out.csv"))); });
    const double pdf = averageMs(3, [&](int) {
        QPdfWriter writer(dir.filePath(QStringLiteral("out.pdf")));
        g.printTo(writer);
    });

    std::printf("graph, 8 traces x %d points\n", Points);
    std::printf("  redraw from the buffer   %8.1f ms  (goal < 100)\n", redraw);
    std::printf("  live point + frame       %8.1f ms  (goal < 16)\n", live);
    std::printf("  pan frame                %8.1f ms  (goal < 30)\n", pan);
    std::printf("  zoom frame               %8.1f ms  (goal < 30)\n", zoom);
    std::printf("  CSV export               %8.1f ms  (goal < 300)\n", csv);
    std::printf("  print to PDF             %8.1f ms  (goal < 1000)\n", pdf);
    return 0;
}
