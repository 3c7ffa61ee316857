// The numeric editor: limits, stepping, formatting and the change notification.
#include "panels/NumEdit.h"
#include "support/TestEnvironment.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

class TestNumEdit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void typingStepsAndLimits()
    {
        NumEdit e;
        e.setRange(0, 32);
        e.setIncrement(0.01);
        e.setFormatPattern(QStringLiteral(".00"));
        e.show();
        QSignalSpy changed(&e, qOverload<double, double>(&NumEdit::valueChanged));

        e.selectAll();
        QTest::keyClicks(&e, QStringLiteral("5"));
        QCOMPARE(changed.count(), 0); // a number counts once it is entered
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(e.value(), 5.0);
        QCOMPARE(e.displayedText(), QStringLiteral("5.00"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toDouble(), 5.0);
        QCOMPARE(changed.at(0).at(1).toDouble(), 0.0);

        QTest::keyClick(&e, Qt::Key_Up);
        QCOMPARE(e.value(), 5.01);
        QCOMPARE(changed.last().at(1).toDouble(), 5.0);
        QTest::keyClick(&e, Qt::Key_Down);
        QTest::keyClick(&e, Qt::Key_Down);
        QCOMPARE(e.value(), 4.99);

        QWheelEvent wheel(QPointF(5, 5), e.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&e, &wheel);
        QCOMPARE(e.value(), 5.0);

        // A minus sign and a number above the maximum cannot be typed.
        e.selectAll();
        QTest::keyClicks(&e, QStringLiteral("-3"));
        QTest::keyClick(&e, Qt::Key_Return);
        QVERIFY(e.value() >= 0);
        e.selectAll();
        QTest::keyClicks(&e, QStringLiteral("40"));
        QTest::keyClick(&e, Qt::Key_Return);
        QVERIFY(e.value() <= 32);
        QVERIFY(!e.displayedText().contains(QLatin1Char('-')));

        // Programmatic values outside the limits are refused without a notification.
        changed.clear();
        const double kept = e.value();
        QVERIFY(!e.setValue(-1));
        QVERIFY(!e.setValue(33));
        QCOMPARE(e.value(), kept);
        QCOMPARE(changed.count(), 0);
        // Programmatic changes are notified like typed ones.
        QVERIFY(e.setValue(1.25));
        QCOMPARE(changed.count(), 1);
    }

    void keepsMorePrecisionThanItShows()
    {
        NumEdit e;
        e.setRange(0, 32);
        e.setFormatPattern(QStringLiteral(".00"));
        e.show();
        e.selectAll();
        QTest::keyClicks(&e, QStringLiteral("0.1234"));
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(e.displayedText(), QStringLiteral("0.12"));
        QVERIFY(qAbs(e.value() - 0.1234) < 1e-9);
        // Leaving the field, or a refused entry, does not round the value to what is shown.
        QSignalSpy changed(&e, qOverload<double, double>(&NumEdit::valueChanged));
        QTest::keyClick(&e, Qt::Key_Return);
        e.selectAll();
        QTest::keyClicks(&e, QStringLiteral("-1"));
        QTest::keyClick(&e, Qt::Key_Return);
        QVERIFY(qAbs(e.value() - 0.1234) < 1e-9);
        QCOMPARE(e.displayedText(), QStringLiteral("0.12"));
        QCOMPARE(changed.count(), 0);
    }

    void formatRequestAndKeepFlag()
    {
        NumEdit e;
        e.setRange(0, 100);
        e.setFormatPattern(QStringLiteral(".000"));
        QCOMPARE(e.formatRequest(2.5, QStringLiteral("2.500000"), false), QStringLiteral("2.500"));
        QCOMPARE(e.formatRequest(2.5, QStringLiteral("proposed"), true), QStringLiteral("proposed"));
        e.setValue(2.5);
        QCOMPARE(e.displayedText(), QStringLiteral("2.500"));
        e.setKeepProposedText(true);
        QCOMPARE(e.displayedText(), QStringLiteral("2.500000"));
        e.setKeepProposedText(false);
        e.setFormatPattern(QStringLiteral(".0"));
        QCOMPARE(e.displayedText(), QStringLiteral("2.5"));
        e.setValue(0.25);
        QCOMPARE(e.displayedText(), QStringLiteral("0.3")); // half away from zero
    }

    void decimalCommaLocale()
    {
        NumEdit e;
        e.setLocale(QLocale(QLocale::German));
        e.setRange(0, 32);
        e.setFormatPattern(QStringLiteral(".00"));
        e.show();
        e.setValue(1.5);
        QCOMPARE(e.displayedText(), QStringLiteral("1,50"));
        e.selectAll();
        QTest::keyClicks(&e, QStringLiteral("2,25"));
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(e.value(), 2.25);
        e.selectAll();
        QTest::keyClicks(&e, QStringLiteral("3.5")); // a point typed out of habit
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(e.value(), 3.5);
    }
};

QTEST_MAIN(TestNumEdit)
#include "tst_numedit.moc"
