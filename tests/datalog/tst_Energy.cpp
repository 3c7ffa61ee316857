// Power, energy and charge of a recording as a battery tester reads them: the totals of known
// recordings, gaps left unbridged, the share of a span of rows, and the CSV columns that
// carry them only when asked for.
#include "datalog/CsvExport.h"
#include "datalog/EnergyIntegrator.h"
#include "datalog/EnergyLedger.h"
#include "datalog/SampleBuffer.h"

#include <QBuffer>
#include <QtTest>

#include <functional>

namespace {

// A sample at `seconds` from the start with channel 1 at `volts` and `amps`; channel 2 holds
// half of channel 1's current.
SampleRow sampleAt(qint64 seq, qint64 seconds, const QString &volts, const QString &amps)
{
    SampleRow r;
    r.seqNo = seq;
    r.timeTick = seconds;
    r.recTime = QDateTime(QDate(2026, 3, 5), QTime(10, 0)).addSecs(seconds).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    r.channels[0] = {volts, amps, QStringLiteral("1")};
    const double half = SampleBuffer::readingValue(amps) / 2;
    r.channels[1] = {volts, amps.isEmpty() ? QString() : QString::number(half, 'f', 3), QStringLiteral("2")};
    return r;
}

// Replaces the buffer's rows with rowAt(0) .. rowAt(count - 1).
void rebuild(SampleBuffer &buffer, int count, const std::function<SampleRow(int)> &rowAt)
{
    buffer.beginRebuild();
    for (int i = 0; i < count; ++i)
        buffer.add(rowAt(i));
    buffer.endRebuild();
}

// Rows at the given sample times, all at `volts` and `amps`.
void fill(SampleBuffer &buffer, const QList<qint64> &times, const QString &volts = QStringLiteral("12.000"),
          const QString &amps = QStringLiteral("2.000"))
{
    rebuild(buffer, times.size(), [&](int i) { return sampleAt(i, times[i], volts, amps); });
}

QList<qint64> everySecond(qint64 first, qint64 last, qint64 step = 1)
{
    QList<qint64> out;
    for (qint64 t = first; t <= last; t += step)
        out << t;
    return out;
}

QByteArray csv(const SampleBuffer &buffer, int channels, const CsvExport::EnergyColumns *energy = nullptr)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const bool ok = energy ? CsvExport::write(buffer, channels, out, *energy) : CsvExport::write(buffer, channels, out);
    return ok ? out.data() : QByteArray("failed");
}

} // namespace

class TestEnergy : public QObject
{
    Q_OBJECT
private slots:
    // A constant 2 A at 12 V for one hour is 2 Ah and 24 Wh, however often it was sampled and
    // whether the readings carry a decimal comma or a unit. A gap of more than three sample
    // periods (the recording stopped, samples lost, readings missing) adds nothing; a shorter
    // one is bridged.
    void totalsLeaveGapsUnbridgedAndSpansTakeTheirRows()
    {
        SampleBuffer buffer;
        buffer.setChannelCount(2);
        EnergyLedger ledger(buffer);
        for (const auto &[step, volts, amps] : {std::tuple{1, "12.000", "2.000"}, std::tuple{5, "12,000", "2,000"},
                                               std::tuple{60, "12.000V", "2.000A"}}) {
            fill(buffer, everySecond(0, 3600, step), QString::fromLatin1(volts), QString::fromLatin1(amps));
            ledger.setPeriod(step);
            const EnergyTotals ch1 = ledger.totals(0);
            QCOMPARE(ch1.ampHours, 2.0);
            QCOMPARE(ch1.wattHours, 24.0);
            QCOMPARE(ch1.maxWatts, 24.0);
            QCOMPARE(ch1.minWatts, 24.0);
            QCOMPARE(ledger.totals(1).ampHours, 1.0);
        }

        // A current ramping from 0 to 2 A over the hour: the trapezoids give exactly 1 Ah.
        rebuild(buffer, 3601, [](int t) { return sampleAt(t, t, QStringLiteral("10"), QString::number(2.0 * t / 3600, 'f', 6)); });
        const EnergyTotals ramp = PowerSeries::integrate(buffer, 0, 0, buffer.size() - 1, 1);
        QVERIFY(qAbs(ramp.ampHours - 1.0) < 1e-6);
        QVERIFY(qAbs(ramp.wattHours - 10.0) < 1e-5);
        QCOMPARE(ramp.minWatts, 0.0);

        ledger.setPeriod(1);
        const auto ampHours = [&] { return ledger.totals(0).ampHours; };
        constexpr double PerSecond = 2.0 / 3600;  // Ah of 2 A for one second
        // Every second for 200 s, with the readings of seconds `from`..`to` replaced.
        const auto missing = [&](int from, int to, const QString &volts, const QString &amps) {
            rebuild(buffer, 201, [&](int t) {
                const bool gone = t >= from && t <= to;
                return sampleAt(t, t, gone ? volts : QStringLiteral("12"), gone ? amps : QStringLiteral("2"));
            });
        };

        fill(buffer, everySecond(0, 100) + everySecond(104, 200));
        QCOMPARE(ampHours(), 196 * PerSecond);
        fill(buffer, everySecond(0, 100) + everySecond(103, 200));
        QCOMPARE(ampHours(), 200 * PerSecond);
        QCOMPARE(ledger.totals(0).wattHours, 200 * 24.0 / 3600);
        // One reading missing is bridged by its neighbours; ten are a gap of 11 s.
        missing(50, 50, QStringLiteral("12"), QString());
        QCOMPARE(ampHours(), 200 * PerSecond);
        missing(50, 59, QStringLiteral("12"), QStringLiteral("---"));
        QCOMPARE(ampHours(), 189 * PerSecond);
        // A missing voltage stops the energy there, not the charge.
        missing(50, 59, QString(), QStringLiteral("2"));
        QCOMPARE(ampHours(), 200 * PerSecond);
        QCOMPARE(ledger.totals(0).wattHours, 189 * 24.0 / 3600);

        // The limit follows the sample period: 15 s is bridged at 5 s a sample, 20 s is not.
        fill(buffer, everySecond(0, 100, 5) + everySecond(115, 200, 5));
        ledger.setPeriod(5);
        QCOMPARE(ampHours(), 200 * PerSecond);
        fill(buffer, everySecond(0, 100, 5) + everySecond(120, 200, 5));
        QCOMPARE(ampHours(), 180 * PerSecond);
        ledger.setPeriod(10);
        QCOMPARE(ampHours(), 200 * PerSecond);

        // The share of a span of rows (the measurement cursors) is what those rows delivered,
        // the same from either end, live as rows arrive, and anew when the buffer is replaced.
        ledger.setPeriod(1);
        fill(buffer, everySecond(0, 3600));
        QCOMPARE(ledger.span(0, 600, 1800).ampHours, 2 * 1200 / 3600.0);
        QCOMPARE(ledger.span(0, 1800, 600).wattHours, 24 * 1200 / 3600.0);
        QCOMPARE(ledger.span(1, 600, 1800).ampHours, 1200 / 3600.0);
        QCOMPARE(ledger.span(0, 1000, 1000).ampHours, 0.0);
        QCOMPARE(ledger.span(0, -5, 99999).ampHours, 2.0);

        // A varying current with a gap: spans across the ledger's marks agree with integrating
        // the span's rows alone.
        rebuild(buffer, 5000, [](int i) {
            return sampleAt(i, i < 2500 ? i : i + 10, QString::number(12 - i / 1000.0), QString::number(1 + (i % 7) / 10.0));
        });
        for (const auto &[first, last] : {std::pair{0, 4999}, std::pair{1000, 3000}, std::pair{1023, 1024},
                                          std::pair{2048, 4097}, std::pair{2499, 2500}, std::pair{17, 2600}}) {
            const EnergyTotals alone = PowerSeries::integrate(buffer, 0, first, last, 1);
            const EnergyTotals span = ledger.span(0, first, last);
            QVERIFY2(qAbs(span.ampHours - alone.ampHours) < 1e-9 && qAbs(span.wattHours - alone.wattHours) < 1e-9,
                     qPrintable(QStringLiteral("rows %1..%2").arg(first).arg(last)));
        }
        QCOMPARE(ledger.span(0, 2499, 2500).ampHours, 0.0);  // the gap of 11 s

        // Followed live: rows appended after a question are counted at the next one.
        fill(buffer, {});
        QCOMPARE(ledger.totals(0).ampHours, 0.0);
        for (int t = 0; t <= 1800; ++t) {
            buffer.append(sampleAt(t, t, QStringLiteral("12"), QStringLiteral("2")));
            if (t % 600 == 0)
                QCOMPARE(ledger.totals(0).ampHours, 2.0 * t / 3600);
        }
        QCOMPARE(ledger.span(0, 0, 900).ampHours, 0.5);
    }

    // The default CSV keeps its columns byte for byte; asked for, each channel's power, energy
    // and charge so far follow the readings, in the readings' decimal separator.
    void csvColumnsOnlyWhenAsked()
    {
        SampleBuffer buffer;
        buffer.setChannelCount(2);
        const QList<std::pair<const char *, const char *>> readings{{"12.000", "2.000"}, {"12.000", "2.000"},
                                                                    {"12.000", ""}, {"12,000", "2,000"}};
        rebuild(buffer, 4, [&](int i) {
            return sampleAt(i, i, QString::fromLatin1(readings[i].first), QString::fromLatin1(readings[i].second));
        });
        QCOMPARE(csv(buffer, 2), QByteArray("No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A\r\n"
                                            "0,2026/03/05 10:00:00,12.000,2.000,12.000,1.000\r\n"
                                            "1,2026/03/05 10:00:01,12.000,2.000,12.000,1.000\r\n"
                                            "2,2026/03/05 10:00:02,12.000,,12.000,\r\n"
                                            "3,2026/03/05 10:00:03,\"12,000\",\"2,000\",\"12,000\",1.000\r\n"));

        // Channel 1 has no current in row 2: no power, the totals held; row 3 is bridged over
        // it, in decimal commas.
        const CsvExport::EnergyColumns energy{1};
        QCOMPARE(csv(buffer, 2, &energy),
                 QByteArray("No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A,Ch1 W,Ch1 Wh,Ch1 Ah,Ch2 W,Ch2 Wh,Ch2 Ah\r\n"
                            "0,2026/03/05 10:00:00,12.000,2.000,12.000,1.000,24,0,0,12,0,0\r\n"
                            "1,2026/03/05 10:00:01,12.000,2.000,12.000,1.000,24,0.006667,0.000556,12,0.003333,0.000278\r\n"
                            "2,2026/03/05 10:00:02,12.000,,12.000,,,0.006667,0.000556,,0.003333,0.000278\r\n"
                            "3,2026/03/05 10:00:03,\"12,000\",\"2,000\",\"12,000\",1.000,"
                            "24,\"0,02\",\"0,001667\",12,\"0,01\",\"0,000833\"\r\n"));

        // One hour at 2 A and 12 V ends at 24 Wh and 2 Ah; one channel gets its three columns.
        fill(buffer, everySecond(0, 3600));
        buffer.setChannelCount(1);
        const QList<QByteArray> hour = csv(buffer, 1, &energy).split('\n');
        QVERIFY(hour[0].endsWith("Ch4 V,Ch4 A,Ch1 W,Ch1 Wh,Ch1 Ah\r"));
        QVERIFY2(hour.at(hour.size() - 2).endsWith(",24,24,2\r"), hour.at(hour.size() - 2).constData());
        QCOMPARE(hour.at(hour.size() - 2).count(','), 12);
    }
};

QTEST_GUILESS_MAIN(TestEnergy)
#include "tst_Energy.moc"
