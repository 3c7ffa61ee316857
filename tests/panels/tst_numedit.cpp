// The numeric editor: limits, stepping, formatting, precision and the change notification.
// Typing into the editors of the connected panel is checked in tests/mainwin (tst_actions).
#include "panels/NumEdit.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

namespace {

void enter(NumEdit &e, const QString &text)
{
    e.selectAll();
    QTest::keyClicks(&e, text);
    QTest::keyClick(&e, Qt::Key_Return);
}

} // namespace

class TestNumEdit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void typingStepsLimitsAndFormat()
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
        QCOMPARE(e.displayedText(), QStringLiteral("5.00"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0), (QList<QVariant>{5.0, 0.0})); // new and old value

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

        // A number outside the limits is refused whole when entered: "40" is not cut to
        // "4"; the value in force stays, and a number above the maximum is reported. Values
        // outside the limits set by the program are refused without a notification.
        QSignalSpy above(&e, &NumEdit::aboveMaximum);
        changed.clear();
        enter(e, QStringLiteral("-3"));
        QCOMPARE(e.value(), 5.0);
        enter(e, QStringLiteral("40"));
        QCOMPARE(e.value(), 5.0);
        QCOMPARE(e.displayedText(), QStringLiteral("5.00"));
        QVERIFY(changed.isEmpty() && above.count() == 1);
        QCOMPARE(above.at(0).at(0).toDouble(), 40.0);
        QVERIFY(!e.setValue(-1));
        QVERIFY(!e.setValue(33));
        QVERIFY(e.value() == 5.0 && changed.isEmpty());
        QVERIFY(e.setValue(1.25)); // notified like a typed value
        QCOMPARE(changed.count(), 1);

        // More precision is kept than shown; leaving the field or a refused entry does not
        // round it to what is shown.
        enter(e, QStringLiteral("0.1234"));
        QCOMPARE(e.displayedText(), QStringLiteral("0.12"));
        changed.clear();
        QTest::keyClick(&e, Qt::Key_Return);
        enter(e, QStringLiteral("-1"));
        QVERIFY(qAbs(e.value() - 0.1234) < 1e-9);
        QCOMPARE(e.displayedText(), QStringLiteral("0.12"));
        QCOMPARE(changed.count(), 0);

        e.setFormatPattern(QStringLiteral(".0"));
        e.setValue(0.25);
        QCOMPARE(e.displayedText(), QStringLiteral("0.3")); // half away from zero
    }
};

QTEST_MAIN(TestNumEdit)
#include "tst_numedit.moc"
