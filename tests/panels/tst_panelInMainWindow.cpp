// Layout 1 inside the real main window, connected to the virtual supply on a pseudo-terminal.
#include "MainwinRig.h"
#include "panels/NumEdit.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>

class TestPanelInMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void connectedPanelMirrorsTheSupplyAndSendsEdits()
    {
        SimSupply sim(QStringLiteral("XPP-3202"));
        sim.supply->setVoltage(1, 12.5);
        sim.supply->setCurrent(2, 0.75);
        sim.supply->setOvp(3, 6.5);
        sim.supply->setOcp(3, true);
        // The output is off: the answer to the output query must not cancel the initial
        // queries still waiting behind it.
        auto w = makeWindow(true);
        w->SetupSerialPort(sim.port(), 9600);
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 3, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(w->OperatorForm() && w->OperatorForm()->isVisible(), 30000);
        FrontPanel *p = w->OperatorForm();
        QCOMPARE(p->layoutNumber(), 1);
        QCOMPARE(p->findChild<QLineEdit *>("txtCommType")->text(),
                 QStringLiteral("RS-232 9600BPS / 8bits/None/1bits"));

        auto *v1 = p->findChild<NumEdit *>("numVoltage_0");
        QTRY_COMPARE_WITH_TIMEOUT(v1->value(), 12.5, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(p->findChild<NumEdit *>("numCurrent_1")->value(), 0.75, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(p->findChild<NumEdit *>("numOVP_2")->value(), 6.5, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(p->findChild<QAbstractButton *>("tbnOCP_2")->isChecked(), 20000);

        const int mark = sim.lineCount();
        auto *v2 = p->findChild<NumEdit *>("numVoltage_1");
        v2->setFocus();
        v2->selectAll();
        QTest::keyClicks(v2, QStringLiteral("5"));
        QTest::keyClick(v2, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(sim.linesSince(mark).contains(":CHAN2:VOLT 5"), 10000);

        // Output on through the panel: polling fills the readouts, read-backs send nothing.
        p->findChild<QAbstractButton *>("tbnOutput")->click();
        QTRY_VERIFY_WITH_TIMEOUT(sim.supply->outputOn(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(p->findChild<QLineEdit *>("txtVoltage_0")->text(),
                                  QStringLiteral("12.500"), 10000);
        const int polled = sim.lineCount();
        QTRY_VERIFY_WITH_TIMEOUT(sim.linesSince(polled).contains(":CHAN2:VOLT?"), 10000);
        QStringList commands = sim.linesSince(polled);
        commands.removeIf([](const QString &l) { return l.contains(QLatin1Char('?')); });
        QCOMPARE(commands, QStringList());
        p->findChild<QAbstractButton *>("tbnOutput")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!sim.supply->outputOn(), 10000);
    }
};

QTEST_MAIN(TestPanelInMainWindow)
#include "tst_panelInMainWindow.moc"
