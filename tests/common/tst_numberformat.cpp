#include "common/NumberFormat.h"

#include <QTest>

using NumberFormat::format;
using NumberFormat::formatForWire;
using NumberFormat::leadingNumber;

class TestNumberFormat : public QObject
{
    Q_OBJECT

private slots:
    // Every pattern the panels use, on the wire and under a decimal-point and a decimal-comma
    // locale. Rounding is half away from zero, also where the binary value lies just below.
    void patterns()
    {
        const QList<std::tuple<double, const char *, const char *>> cases{
            {12.0, "###0.###", "12"}, {1234.5678, "###0.###", "1234.568"}, {-1.25, "###0.###", "-1.25"},
            {12.0, "###0.0##", "12.0"}, {1.23456, "###0.0##", "1.235"}, {1.5, "##0.000", "1.500"},
            {1.5, "###0.00#", "1.50"}, {7.4, "0", "7"}, {0.5, ".000", ".500"}, {2.25, ".000", "2.250"},
            {0.125, ".00", ".13"}, {-2.5, "0", "-3"}, {0.0005, "0.000", "0.001"},
            {2.0005, "###0.###", "2.001"}, {0.285, "0.00", "0.29"}, {-0.0004, "0.000", "0.000"}};
        for (const auto &[value, pattern, expected] : cases) {
            const QString p = QLatin1String(pattern), e = QLatin1String(expected);
            QCOMPARE(formatForWire(value, p), e);
            QCOMPARE(format(value, p, QLocale::c()), e);
            QCOMPARE(format(value, p, QLocale(QLocale::German)), QString(e).replace(u'.', u','));
        }
        QCOMPARE(format(123456.5, QStringLiteral("###0.###"), QLocale(QLocale::German)), QStringLiteral("123456,5"));
        QCOMPARE(formatForWire(qQNaN(), QStringLiteral("0.000")), QStringLiteral("0"));
        // Found by fuzzing: the largest doubles came out as "inf", and a damaged pattern of
        // thousands of '#' made a readout as long.
        QVERIFY(formatForWire(-std::numeric_limits<double>::max(), QStringLiteral("0")).startsWith(u"-17976931"));
        QCOMPARE(formatForWire(0.5, QStringLiteral("0.") + QString(5000, u'0')), QStringLiteral("0.500000000"));
    }

    // The default locale decides the separator of numbers, never the form of time stamps.
    void defaultLocaleAndTimeStamps()
    {
        const QDateTime t(QDate(2026, 3, 4), QTime(5, 6, 7));
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German));
        QCOMPARE(format(1.5, QStringLiteral("##0.000")), QStringLiteral("1,500"));
        QCOMPARE(NumberFormat::timeStamp(t), QStringLiteral("2026/03/04 05:06:07"));
        QLocale::setDefault(saved);
        QCOMPARE(NumberFormat::parseTimeStamp(QStringLiteral(" 2026/03/04 05:06:07 ")), t);
        QVERIFY(!NumberFormat::parseTimeStamp(QStringLiteral("04.03.2026 05:06")).isValid());
    }

    void leadingNumbers()
    {
        const QList<std::pair<const char *, double>> cases{
            {"12.345V", 12.345}, {"0.250A\r\n", 0.25}, {" -1.5A", -1.5}, {".5V", 0.5}, {"1.5e2x", 150.0},
            {"2eV", 2.0}, {"", 0.0}, {"V12", 0.0}, {"1e999", 0.0}, {"1,5V", 1.0}};
        for (const auto &[text, value] : cases)
            QCOMPARE(leadingNumber(QLatin1String(text)), value);
        QCOMPARE(leadingNumber(QStringLiteral("1,5V"), QLatin1Char(',')), 1.5);
        QVERIFY(NumberFormat::startsWithNumber(QStringLiteral(" 3V")));
        QVERIFY(!NumberFormat::startsWithNumber(QStringLiteral(".")));
        // Digits of other scripts are no number for the conversion either.
        QVERIFY(!NumberFormat::startsWithNumber(QStringLiteral("\u0663V")));
    }
};

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"
