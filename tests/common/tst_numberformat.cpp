#include "common/Clock.h"
#include "common/NumberFormat.h"

#include <QTest>

using NumberFormat::format;
using NumberFormat::formatForWire;
using NumberFormat::leadingNumber;

class TestNumberFormat : public QObject
{
    Q_OBJECT

private slots:
    void patterns_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");  // with "." as separator

        auto row = [](const char *name, double v, const char *p, const char *e) {
            QTest::newRow(name) << v << QString::fromLatin1(p) << QString::fromLatin1(e);
        };
        row("set point, decimals dropped", 12.0, "###0.###", "12");
        row("set point, three decimals", 12.3456, "###0.###", "12.346");
        row("set point, four digits", 1234.5678, "###0.###", "1234.568");
        row("set point below one", 0.5, "###0.###", "0.5");
        row("set point zero", 0.0, "###0.###", "0");
        row("set point negative", -1.25, "###0.###", "-1.25");
        row("at least one decimal", 12.0, "###0.0##", "12.0");
        row("at least one decimal, more", 1.23456, "###0.0##", "1.235");
        row("fixed three", 1.5, "##0.000", "1.500");
        row("fixed three, zero", 0.0, "##0.000", "0.000");
        row("fixed three, rounding", 123.4567, "##0.000", "123.457");
        row("two or three decimals", 1.5, "###0.00#", "1.50");
        row("two or three decimals, more", 1.2345, "###0.00#", "1.235");
        row("whole number", 7.4, "0", "7");
        row("editor, no integer digit", 0.5, ".000", ".500");
        row("editor, integer shown when present", 2.25, ".000", "2.250");
        row("editor, two decimals", 0.125, ".00", ".13");
        row("zero and three decimals", 1.0, "0.000", "1.000");
        // Half away from zero, also where the binary value lies just below the half.
        row("half up", 2.5, "0", "3");
        row("half down negative", -2.5, "0", "-3");
        row("binary half 0.0005", 0.0005, "0.000", "0.001");
        row("binary half 2.0005", 2.0005, "###0.###", "2.001");
        row("binary half 0.285", 0.285, "0.00", "0.29");
        row("negative binary half", -2.0005, "###0.###", "-2.001");
        row("negative rounding to zero has no sign", -0.0004, "0.000", "0.000");
    }

    void patterns()
    {
        QFETCH(double, value);
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        QCOMPARE(formatForWire(value, pattern), expected);
        QCOMPARE(format(value, pattern, QLocale::c()), expected);
        QString comma = expected;
        comma.replace(QLatin1Char('.'), QLatin1Char(','));
        QCOMPARE(format(value, pattern, QLocale(QLocale::German)), comma);
    }

    // The default locale decides the separator of numbers, never the form of time stamps;
    // numbers are never grouped and never "nan" or "inf" on the wire.
    void defaultLocaleOddValuesAndTimeStamps()
    {
        const QDateTime t(QDate(2026, 3, 4), QTime(5, 6, 7));
        const QString stamp = QStringLiteral("2026/03/04 05:06:07");
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German));
        QCOMPARE(format(1.5, QStringLiteral("##0.000")), QStringLiteral("1,500"));
        QCOMPARE(NumberFormat::timeStamp(t), stamp);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(format(1.5, QStringLiteral("##0.000")), QStringLiteral("1.500"));
        QLocale::setDefault(saved);
        QCOMPARE(NumberFormat::timeStamp(t), stamp);
        QCOMPARE(NumberFormat::parseTimeStamp(QLatin1Char(' ') + stamp + QLatin1Char(' ')), t);
        QVERIFY(!NumberFormat::parseTimeStamp(QStringLiteral("04.03.2026 05:06")).isValid());
        QCOMPARE(format(123456.5, QStringLiteral("###0.###"), QLocale(QLocale::German)),
                 QStringLiteral("123456,5"));
        QCOMPARE(formatForWire(qQNaN(), QStringLiteral("0.000")), QStringLiteral("0"));
        QCOMPARE(formatForWire(qInf(), QStringLiteral("0.000")), QStringLiteral("0"));
    }

    void leadingNumbers()
    {
        const QList<std::pair<const char *, double>> cases{
            {"12.345V", 12.345}, {"0.250A\r\n", 0.25}, {" -1.5A", -1.5}, {"+3", 3.0}, {".5V", 0.5},
            {"1.5e2x", 150.0}, {"2eV", 2.0}, {"", 0.0}, {"abc", 0.0}, {"-", 0.0}, {"V12", 0.0},
            {"1e999", 0.0}, {"1,5V", 1.0}};
        for (const auto &[text, value] : cases)
            QCOMPARE(leadingNumber(QLatin1String(text)), value);
        // The user's decimal comma.
        QCOMPARE(leadingNumber(QStringLiteral("1,5V"), QLatin1Char(',')), 1.5);
        QVERIFY(NumberFormat::startsWithNumber(QStringLiteral(" 3V")));
        QVERIFY(!NumberFormat::startsWithNumber(QStringLiteral("V3")));
        QVERIFY(!NumberFormat::startsWithNumber(QStringLiteral(".")));
    }

    void clockAcrossMidnight()
    {
        FakeClock clock(QDateTime(QDate(2026, 1, 1), QTime(23, 59, 59, 500)));
        ScopedClock scoped(clock);
        const double before = Clock::current().secondsSinceMidnight();
        QCOMPARE(before, 86399.5);
        clock.advanceMs(1000);
        const double after = Clock::current().secondsSinceMidnight();
        QCOMPARE(after, 0.5);
        QCOMPARE(Clock::elapsedSeconds(before, after), 1.0);
        QCOMPARE(Clock::elapsedSeconds(10.0, 30.0), 20.0);
    }
};

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"
