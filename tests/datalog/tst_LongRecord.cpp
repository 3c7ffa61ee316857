// Long recordings drawn from few points: the extremes of any span and of each pixel column
// found through the pyramid equal a reading-by-reading search, also as readings arrive and
// with gaps; the buffer's series hold every reading it holds; and a graph of a million samples
// still shows a single outlier, and every sample once zoomed in. A saved record loads back
// byte for byte with each reading's number, and a long save reaches the file.
#include "datalog/MinMaxPyramid.h"
#include "datalog/RecordStore.h"
#include "datalog/RecordingInterfaces.h"
#include "datalog/RecordingSession.h"
#include "datalog/SampleBuffer.h"
#include "datalog/frmGraphicRecord.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "support/LoneGraph.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// Smallest and largest number of values[first..end-1], NaN when there is none.
std::pair<double, double> bruteExtremes(const std::vector<double> &values, int first, int end)
{
    double lo = std::numeric_limits<double>::quiet_NaN();
    double hi = lo;
    for (int i = first; i < end; ++i) {
        const double v = values[size_t(i)];
        if (std::isnan(v))
            continue;
        lo = std::isnan(lo) || v < lo ? v : lo;
        hi = std::isnan(hi) || v > hi ? v : hi;
    }
    return {lo, hi};
}

// The pyramid's extremes of a span as values (NaN for none), checked to lie in the span.
std::pair<double, double> pyramidExtremes(const MinMaxPyramid &p, int first, int end)
{
    const MinMaxPyramid::Extent e = p.extent(first, end);
    if (e.empty())
        return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
    if (e.minIndex < first || e.minIndex >= end || e.maxIndex < first || e.maxIndex >= end)
        return {0, -1};
    return {p.value(e.minIndex), p.value(e.maxIndex)};
}

bool same(std::pair<double, double> a, std::pair<double, double> b)
{
    auto eq = [](double x, double y) { return (std::isnan(x) && std::isnan(y)) || x == y; };
    return eq(a.first, b.first) && eq(a.second, b.second);
}

SampleRow sample(qint64 seq, const QString &voltage, const QString &current)
{
    SampleRow r;
    r.seqNo = seq;
    r.recTime = QStringLiteral("2026/03/05 10:00:00");
    for (ChannelReading &c : r.channels)
        c = {voltage, current, QStringLiteral("0")};
    return r;
}

// A recording session, without a supply, on a store in a folder of its own.
struct StoredSession {
    QTemporaryDir dir;
    RecordStore store;
    NoSupply source;
    std::optional<RecordingSession> session;

    bool open(int channels)
    {
        if (!store.open(dir.path()).ok())
            return false;
        session.emplace(store, nullptr, source);
        session->setChannelCount(channels);
        return true;
    }
};

} // namespace

class TestLongRecord : public QObject
{
    Q_OBJECT
private slots:
    void extremesEqualASearchOfEveryReading();
    void bufferSeriesHoldEveryReading();
    void millionSamplesShowAnOutlierAndZoomShowsEverySample();
    void savedRecordLoadsBackByteForByte();
    void longSaveReachesTheFile();
};

void TestLongRecord::extremesEqualASearchOfEveryReading()
{
    QRandomGenerator random(21);
    const double gap = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> values;
    MinMaxPyramid pyramid;
    // Readings arrive in batches, with queries between them: blocks completed by later
    // readings must count as well as those there at the first query.
    for (int batch : {1, 15, 1, 240, 4000, 3, 70000}) {
        for (int i = 0; i < batch; ++i) {
            // Runs of gaps now and then; repeated values so that ties occur.
            const bool inGap = values.size() % 5000 < 40 || random.bounded(50) == 0;
            const double v = inGap ? gap : double(random.bounded(2000)) / 8.0 - 100.0;
            values.push_back(v);
            pyramid.append(v);
        }
        const int n = int(values.size());
        QCOMPARE(pyramid.size(), n);
        for (int q = 0; q < 300; ++q) {
            const int a = int(random.bounded(n + 1));
            const int b = int(random.bounded(n + 1));
            const int first = std::min(a, b), end = std::max(a, b);
            QVERIFY2(same(pyramidExtremes(pyramid, first, end), bruteExtremes(values, first, end)),
                     qPrintable(QStringLiteral("span %1..%2 of %3").arg(first).arg(end).arg(n)));
        }
        QVERIFY(same(pyramidExtremes(pyramid, 0, n), bruteExtremes(values, 0, n)));
    }
    // A span of gaps only has no extremes.
    QVERIFY(pyramid.extent(0, 40).empty());

    // Reduced to columns: each column's smallest and largest reading, in the order taken.
    const int n = int(values.size());
    for (int columns : {1, 7, 1280}) {
        for (auto [first, end] : {std::pair{0, n}, std::pair{123, n - 77}, std::pair{5000, 5000 + 3 * columns}}) {
            std::vector<int> indices;
            pyramid.reduce(first, end, columns, [&](int i) { indices.push_back(i); });
            QVERIFY(std::is_sorted(indices.begin(), indices.end()));
            const double width = double(end - first) / columns;
            size_t at = 0;
            for (int c = 1; c <= columns; ++c) {
                const int from = c == 1 ? first : first + int(double(c - 1) * width);
                const int to = c == columns ? end : first + int(double(c) * width);
                const auto expected = bruteExtremes(values, from, to);
                if (std::isnan(expected.first))
                    continue;
                double lo = std::numeric_limits<double>::infinity(), hi = -lo;
                for (; at < indices.size() && indices[at] < to; ++at) {
                    QVERIFY(indices[at] >= from);
                    lo = std::min(lo, values[size_t(indices[at])]);
                    hi = std::max(hi, values[size_t(indices[at])]);
                }
                QCOMPARE(lo, expected.first);
                QCOMPARE(hi, expected.second);
            }
            QCOMPARE(at, indices.size());
        }
    }
    // No more readings than columns: every one of them.
    std::vector<int> every;
    pyramid.reduce(10, 60, 50, [&](int i) { every.push_back(i); });
    QCOMPARE(int(every.size()), 50);
    QCOMPARE(every.front(), 10);
    QCOMPARE(every.back(), 59);

    // Live, with the view wider than the readings held: reduced again from the last column
    // drawn as readings come, the picture is the one reduced whole.
    MinMaxPyramid growing;
    std::vector<int> drawn;
    const int viewEnd = n + 1000;
    int held = 0;
    for (int i = 0; i < n; ++i) {
        growing.append(values[size_t(i)]);
        if (i % 997 == 0 || i % 1280 == 0 || i == n - 1) {
            int from = 0;
            if (held > 1280)
                from = MinMaxPyramid::columnStart(0, viewEnd, 1280, held - 1);
            else if (i < 1280)
                from = held;
            drawn.erase(std::lower_bound(drawn.begin(), drawn.end(), from), drawn.end());
            growing.reduce(0, viewEnd, 1280, from, [&](int j) { drawn.push_back(j); });
            held = growing.size();
        }
    }
    std::vector<int> whole;
    pyramid.reduce(0, viewEnd, 1280, [&](int j) { whole.push_back(j); });
    QCOMPARE(drawn, whole);
}

void TestLongRecord::bufferSeriesHoldEveryReading()
{
    // Rebuilt from a record, then grown live: the series read each reading as its text says
    // (a decimal comma as a point, a blank as 0), as the cursors and the table do.
    SampleBuffer buffer;
    buffer.setChannelCount(4);
    buffer.beginRebuild();
    buffer.add(sample(0, QStringLiteral("12,5"), QStringLiteral("0.25")));
    buffer.add(sample(1, QString(), QStringLiteral("3A")));
    buffer.endRebuild();
    buffer.append(sample(2, QStringLiteral("-1.5"), QStringLiteral("7")));
    const std::vector<std::pair<double, double>> expected{{12.5, 0.25}, {0, 3}, {-1.5, 7}};
    for (int c = 0; c < SampleBuffer::MaxChannels; ++c) {
        QCOMPARE(buffer.series(c, false).size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(buffer.series(c, false).value(i), expected[size_t(i)].first);
            QCOMPARE(buffer.series(c, true).value(i), expected[size_t(i)].second);
            QCOMPARE(buffer.voltageValue(i, c), expected[size_t(i)].first);
        }
    }
    buffer.clear();
    QCOMPARE(buffer.series(0, false).size(), 0);
}

void TestLongRecord::millionSamplesShowAnOutlierAndZoomShowsEverySample()
{
    StoredSession stored;
    QVERIFY(stored.open(1));
    SampleBuffer &buffer = stored.session->buffer();
    constexpr int Samples = 1000000;
    constexpr int Outlier = 654321;
    const SampleRow plain = sample(0, QStringLiteral("5.000"), QStringLiteral("1.000"));
    buffer.beginRebuild();
    for (int i = 0; i < Samples; ++i) {
        SampleRow r = plain;
        r.seqNo = i;
        if (i == Outlier)
            r.channels[0].voltage = QStringLiteral("9.000");
        buffer.add(r);
    }
    buffer.endRebuild();

    LoneGraphHost host;
    frmGraphicRecord g(*stored.session, host, 1);
    g.resize(1280, 800);
    g.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g));
    QCustomPlot *plot = g.plot();
    plot->xAxis->setRange(0, Samples);
    plot->yAxis->setRange(0, 10);
    plot->replot();

    // Few points drawn, the outlier among them, at its own time.
    QCPGraph *volts = g.trace(1);
    QVERIFY(volts->dataCount() < 4 * plot->width());
    bool found = false;
    for (auto it = volts->data()->constBegin(); it != volts->data()->constEnd(); ++it)
        found = found || (it->key == double(Outlier) && it->value == 9.0);
    QVERIFY(found);
    // And the picture shows it: the trace's colour at the outlier's height above its time.
    const QImage picture = plot->toPixmap().toImage();
    const int x = int(plot->xAxis->coordToPixel(Outlier));
    const int y = int(plot->yAxis->coordToPixel(8.5));
    const QColor colour = volts->pen().color();
    bool drawn = false;
    for (int dx = -2; dx <= 2; ++dx)
        drawn = drawn || picture.pixelColor(x + dx, y) == colour;
    QVERIFY(drawn);

    // Zoomed in to fewer samples than pixels: every sample there, exact.
    plot->xAxis->setRange(Outlier - 100, Outlier + 100);
    plot->replot();
    QList<QPointF> shown;
    for (auto it = volts->data()->constBegin(); it != volts->data()->constEnd(); ++it) {
        if (it->key >= Outlier - 100 && it->key <= Outlier + 100)
            shown << QPointF(it->key, it->value);
    }
    QCOMPARE(shown.size(), 201);
    for (const QPointF &p : shown)
        QCOMPARE(p.y(), p.x() == Outlier ? 9.0 : 5.0);
    // Panned by a sample: still every sample.
    plot->xAxis->moveRange(1);
    plot->replot();
    QCOMPARE(volts->data()->at(0)->key, double(Outlier - 100));
}

namespace {

// Saves `rows` as a new record of `store`; its number, empty on failure.
QString saveRecord(RecordStore &store, const QList<SampleRow> &rows)
{
    const bool filled = store.replaceBuffer([&rows](const RecordStore::SampleSink &sink) {
        return std::all_of(rows.begin(), rows.end(), [&sink](const SampleRow &r) { return sink(SampleBytes(r).view()); });
    });
    RecordInfo info;
    return filled && store.saveNewRecord(info) ? info.recNo : QString();
}

} // namespace

void TestLongRecord::savedRecordLoadsBackByteForByte()
{
    // Blank, garbled and unusual readings come back as stored, each read as the number it
    // starts with (a decimal comma as a point, 0 for none); so do an empty record and one
    // of a single sample.
    const QList<std::pair<QString, double>> readings{
        {QString(), 0}, {QStringLiteral("\u00ff\u00fe12"), 0}, {QStringLiteral("12,5V"), 12.5},
        {QStringLiteral(" +7.25"), 7.25}, {QStringLiteral("-0.5"), -0.5}, {QStringLiteral(".5"), 0.5},
        {QStringLiteral("1e3"), 1000}, {QStringLiteral("0.1"), 0.1}, {QStringLiteral("123456.789012345"), 123456.789012345},
        {QStringLiteral("12345678901234567"), 12345678901234567.0}, {QStringLiteral("1,5,3"), 1.5},
        {QStringLiteral("電壓\r\n\"5\""), 0}};
    QList<SampleRow> edges;
    for (const auto &[text, value] : readings) {
        edges << sample(edges.size(), text, text);
        edges.last().recTime = edges.last().comment = text;
    }
    StoredSession stored;
    QVERIFY(stored.open(4));
    RecordStore &store = stored.store;
    RecordingSession &session = *stored.session;
    for (const QList<SampleRow> &rows : {QList<SampleRow>(), edges.mid(2, 1), edges}) {
        QVERIFY(session.loadRecord(saveRecord(store, rows), true));
        const SampleBuffer &buffer = session.buffer();
        QCOMPARE(buffer.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            QCOMPARE(buffer.row(i), rows.at(i));
            QCOMPARE(buffer.voltageValue(i, 3), readings.at(rows.at(i).seqNo).second);
            QCOMPARE(buffer.currentValue(i, 0), readings.at(rows.at(i).seqNo).second);
        }
    }
    QCOMPARE(session.buffer().extremes(0).maxV, QStringLiteral("12345678901234567"));
}

void TestLongRecord::longSaveReachesTheFile()
{
    // Long enough for the log to be copied into the file after the commit; a second save is
    // closed right after it.
    QTemporaryDir dir;
    QList<SampleRow> rows;
    for (int i = 0; i < 60000; ++i)
        rows << sample(i, QString::number(i % 1000), QStringLiteral("1.000"));
    QStringList saved;
    {
        RecordStore store;
        QVERIFY(store.open(dir.path()).ok());
        saved << saveRecord(store, rows);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(store.filePath()).size() > 8'000'000, 30000);
        saved << saveRecord(store, rows);
    }
    RecordStore store;
    QVERIFY(store.open(dir.path()).ok());
    for (const QString &number : saved) {
        qsizetype seen = 0;
        QVERIFY(store.forEachRecordSampleView(number, [&](const SampleView &v) { return v.toRow() == rows.at(seen++); }));
        QCOMPARE(seen, rows.size());
    }
}

QTEST_MAIN(TestLongRecord)
#include "tst_LongRecord.moc"
