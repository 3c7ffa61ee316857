// Timings of power and energy over 100,000 and 1,000,000 samples of four channels: the whole
// recording's totals, one channel integrated alone, a span between two cursors, one live
// sample, and the CSV export with and without the energy columns, in CPU milliseconds.
// Run: bench_energy
#include "GraphBenchSupport.h"

#include "datalog/CsvExport.h"
#include "datalog/EnergyIntegrator.h"
#include "datalog/EnergyLedger.h"

#include <QBuffer>
#include <QCoreApplication>

#include <cstdio>
#include <ctime>

namespace {

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// CPU time per run: the machine this runs on is shared, and wall time says more about the
// others than about this code.
template<class F>
double averageMs(int runs, F &&f)
{
    const double start = cpuMs();
    for (int i = 0; i < runs; ++i)
        f(i);
    return (cpuMs() - start) / runs;
}

double csvMs(const SampleBuffer &buffer, const CsvExport::EnergyColumns *energy)
{
    return averageMs(3, [&](int) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        if (energy)
            CsvExport::write(buffer, 4, out, *energy);
        else
            CsvExport::write(buffer, 4, out);
    });
}

void run(int points)
{
    SampleBuffer buffer;
    buffer.setChannelCount(4);
    buffer.beginRebuild();
    for (int i = 0; i < points; ++i)
        buffer.add(graphSample(i));
    buffer.endRebuild();

    double sink = 0;
    const double whole = averageMs(3, [&](int) {
        EnergyLedger ledger(buffer);
        for (int c = 0; c < 4; ++c)
            sink += ledger.totals(c).wattHours;
    });
    const double alone =
        averageMs(3, [&](int) { sink += PowerSeries::integrate(buffer, 0, 0, points - 1, 1).ampHours; });
    EnergyLedger ledger(buffer);
    sink += ledger.totals(0).ampHours;
    const double span = averageMs(1000, [&](int i) {
        const int a = int((qint64(i) * 7919) % points);
        sink += ledger.span(i % 4, a, points - 1 - a).wattHours;
    });
    const double live = averageMs(100, [&](int i) {
        buffer.append(graphSample(points + i));
        for (int c = 0; c < 4; ++c)
            sink += ledger.totals(c).wattHours;
    });
    const CsvExport::EnergyColumns energy{1};
    const double plainCsv = csvMs(buffer, nullptr);
    const double energyCsv = csvMs(buffer, &energy);

    std::printf("power and energy, 4 channels x %d samples%s\n", points, sink == 0 ? " (no energy?)" : "");
    std::printf("  totals of the recording, 4 channels %8.1f ms\n", whole);
    std::printf("  one channel integrated alone        %8.1f ms\n", alone);
    std::printf("  span between two cursors            %8.3f ms\n", span);
    std::printf("  live sample, 4 channels' totals     %8.3f ms\n", live);
    std::printf("  CSV export                          %8.1f ms\n", plainCsv);
    std::printf("  CSV export with energy columns      %8.1f ms\n", energyCsv);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    run(100000);
    run(1000000);
    return 0;
}
