// Layout 1 against the virtual three-channel supply on a pseudo-terminal: what the panel shows
// and what the supply receives.
#include "PanelRig.h"
#include "common/Prompter.h"
#include "panels/NumEdit.h"
#include "panels/TextBox.h"
#include "support/TestEnvironment.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

constexpr int Bound = 10000; // ms a QTRY_ may wait for the link

QString ix(const char *name, int i)
{
    return QLatin1String(name) + QLatin1Char('_') + QString::number(i);
}

void typeInto(NumEdit *e, const QString &text)
{
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
}

} // namespace

class TestFrmLayout1 : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<PanelRig> rig;

    NumEdit *num(const char *name, int i) { return rig->find<NumEdit>(ix(name, i)); }
    TextBox *txt(const QString &name) { return rig->find<TextBox>(name); }
    QPushButton *button(const QString &name) { return rig->find<QPushButton>(name); }

    // Queues the initial queries and waits until all are answered.
    void queryInitialValues()
    {
        QVERIFY(!rig->panel().QueryInitialValues());
        rig->panel().AfterQueryInitialValuesBeforeShow();
    }

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void init()
    {
        QLocale::setDefault(QLocale::c());
        rig = std::make_unique<PanelRig>();
        QVERIFY2(rig->start(), qPrintable(rig->error));
    }

    void cleanup() { rig.reset(); }

    void initialQueryFillsEveryControl()
    {
        sim::VirtualSupply &s = rig->supply();
        QCOMPARE(s.setVoltage(1, 12.5), sim::SetResult::Ok);
        QCOMPARE(s.setCurrent(1, 1.5), sim::SetResult::Ok);
        QCOMPARE(s.setVoltage(2, 3.3), sim::SetResult::Ok);
        QCOMPARE(s.setCurrent(2, 0.25), sim::SetResult::Ok);
        QCOMPARE(s.setVoltage(3, 5), sim::SetResult::Ok);
        QCOMPARE(s.setCurrent(3, 2), sim::SetResult::Ok);
        QCOMPARE(s.setOvp(1, 20), sim::SetResult::Ok);
        QCOMPARE(s.setOvp(3, 6.5), sim::SetResult::Ok);
        QCOMPARE(s.setOcp(3, true), sim::SetResult::Ok);
        QCOMPARE(s.setAutoStart(2), sim::SetResult::Ok);
        QCOMPARE(s.setAutoEnd(7), sim::SetResult::Ok);
        QCOMPARE(s.setAutoCycles(4), sim::SetResult::Ok);
        QCOMPARE(s.setAutoDelay(15), sim::SetResult::Ok);
        QCOMPARE(s.saveMemory(3), sim::SetResult::Ok);
        QCOMPARE(s.setOutput(true), sim::SetResult::Ok);
        QCOMPARE(s.setCoupling(1), sim::SetResult::Ok); // tracking

        const int mark = rig->mark();
        queryInitialValues();

        // 26 queries in this order (polling, started by the output receiver, follows them).
        const QStringList queries = rig->linesSince(mark).filter(QLatin1String("?")).mid(0, 26);
        QCOMPARE(queries, QStringList({
            ":SYST:AUTO:STAR?", ":SYST:AUTO:END?", ":SYST:AUTO:CYCLE?", ":SYST:AUTO:DEL?",
            ":SYST:MEM?", ":CHAN1:PROT:VOLT?", ":CHAN2:PROT:VOLT?", ":CHAN3:PROT:VOLT?",
            ":OUTP:STAT?", ":OUTP:COUP:TRAC?", ":SYST:AUTO:STAT?",
            ":CHAN1:PROT:CURR?", ":CHAN2:PROT:CURR?", ":CHAN3:PROT:CURR?",
            ":CHAN1:VOLT?", ":CHAN2:VOLT?", ":CHAN3:VOLT?", ":CHAN1:CURR?", ":CHAN2:CURR?",
            ":CHAN3:CURR?", ":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?", ":CHAN2:MEAS:VOLT?",
            ":CHAN2:MEAS:CURR?", ":CHAN3:MEAS:VOLT?", ":CHAN3:MEAS:CURR?"}));

        QCOMPARE(num("numVoltage", 0)->value(), 12.5);
        QCOMPARE(num("numCurrent", 0)->value(), 1.5);
        QCOMPARE(num("numVoltage", 1)->value(), 12.5); // tracking: channel 2 follows channel 1
        QCOMPARE(num("numCurrent", 1)->value(), 0.25);
        QCOMPARE(num("numVoltage", 2)->value(), 5.0);
        QCOMPARE(num("numCurrent", 2)->value(), 2.0);
        QCOMPARE(num("numOVP", 0)->value(), 20.0);
        QCOMPARE(num("numOVP", 2)->value(), 6.5);
        QVERIFY(button(ix("tbnOCP", 2))->isChecked());
        QVERIFY(!button(ix("tbnOCP", 0))->isChecked());
        QCOMPARE(txt("txtStartMemory")->text(), QStringLiteral("2"));
        QCOMPARE(txt("txtEndMemory")->text(), QStringLiteral("7"));
        QCOMPARE(txt("txtCycle")->text(), QStringLiteral("4"));
        QCOMPARE(txt("txtDelay")->text(), QStringLiteral("15"));
        QCOMPARE(txt("txtMemory")->text(), QStringLiteral("3"));
        QVERIFY(button("tbnOutput")->isChecked());
        QVERIFY(rig->host().mnuOutput);
        QVERIFY(rig->find<QRadioButton>("optTrack")->isChecked());
        QVERIFY(!num("numVoltage", 1)->isEnabled());
        QVERIFY(num("numCurrent", 1)->isEnabled());
        // Readouts carry the number without its unit letter.
        const QString v1 = txt(ix("txtVoltage", 0))->text();
        QVERIFY2(!v1.isEmpty() && !v1.endsWith(QLatin1Char('V')), qPrintable(v1));
        QCOMPARE(txt("txtCommType")->text(), QStringLiteral("RS-232 9600BPS / 8bits/None/1bits"));

        // Reading back the set points sent no set point back: the only commands are the
        // main window's output, coupling and auto-run actions of the three receivers (auto run
        // off applies the selected mode once more).
        const QStringList commands = rig->linesSince(mark, true);
        QCOMPARE(commands, QStringList({":OUTP:STAT 1", ":OUTP:COUP:TRAC 1",
                                        ":SYST:AUTO:STAT 0", ":OUTP:COUP:TRAC 1"}));
        QCOMPARE(rig->engine().ReadTimesMs, 5000);
    }

    void readoutsFollowTheSupplyWhilePolling()
    {
        queryInitialValues();
        sim::VirtualSupply &s = rig->supply();
        s.setLoad(1, 10);
        s.setCurrent(1, 3);
        s.setVoltage(1, 4);

        QTest::mouseClick(button("tbnOutput"), Qt::LeftButton);
        QVERIFY(rig->panel().IsOutput);
        QTRY_VERIFY_WITH_TIMEOUT(s.outputOn(), Bound);
        TextBox *v1 = txt(ix("txtVoltage", 0));
        TextBox *i1 = txt(ix("txtCurrent", 0));
        QTRY_COMPARE_WITH_TIMEOUT(v1->text(), QStringLiteral("4.000"), Bound);
        QTRY_COMPARE_WITH_TIMEOUT(i1->text(), QStringLiteral("0.400"), Bound);

        s.setVoltage(1, 6);
        QTRY_COMPARE_WITH_TIMEOUT(v1->text(), QStringLiteral("6.000"), Bound);
        // A set point changed at the supply reaches the editor, and nothing is echoed back.
        const int mark = rig->mark();
        QTRY_COMPARE_WITH_TIMEOUT(num("numVoltage", 0)->value(), 6.0, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(rig->linesSince(mark).contains(":CHAN1:VOLT?"), Bound);
        QCOMPARE(rig->linesSince(mark, true), QStringList());

        // Output off: readouts clear and polling stops.
        QTest::mouseClick(button("tbnOutput"), Qt::LeftButton);
        QVERIFY(!rig->panel().IsOutput);
        QTRY_VERIFY_WITH_TIMEOUT(!s.outputOn(), Bound);
        QTRY_VERIFY_WITH_TIMEOUT(rig->engine().isIdle(), Bound);
        QCOMPARE(v1->text(), QString());
        QVERIFY(!rig->host().queryTimer.isActive());
        // Polls queued before the switch were dropped, so no late answer refills a readout.
        const QStringList tail = rig->linesSince(mark);
        QCOMPARE(tail.last(), QStringLiteral(":OUTP:STAT 0"));
        QCOMPARE(v1->text(), QString());
        QCOMPARE(i1->text(), QString());
    }

    void typedSetPointsAreSentOnce()
    {
        queryInitialValues();
        int mark = rig->mark();
        typeInto(num("numVoltage", 1), QStringLiteral("5"));
        QTRY_VERIFY_WITH_TIMEOUT(rig->received(mark, ":CHAN2:VOLT 5"), Bound);
        QCOMPARE(rig->supply().voltageSetpoint(2), 5.0);

        typeInto(num("numVoltage", 1), QStringLiteral("0.1234"));
        QTRY_VERIFY_WITH_TIMEOUT(rig->received(mark, ":CHAN2:VOLT 0.123"), Bound);
        typeInto(num("numCurrent", 0), QStringLiteral("1.25"));
        QTRY_VERIFY_WITH_TIMEOUT(rig->received(mark, ":CHAN1:CURR 1.25"), Bound);
        typeInto(num("numOVP", 2), QStringLiteral("7"));
        QTRY_VERIFY_WITH_TIMEOUT(rig->received(mark, ":CHAN3:PROT:VOLT 7"), Bound);
        QTRY_VERIFY_WITH_TIMEOUT(rig->engine().isIdle(), Bound);
        QCOMPARE(rig->linesSince(mark, true).size(), 4);

        // A negative value is refused: the editor keeps its value and nothing is sent.
        mark = rig->mark();
        typeInto(num("numVoltage", 1), QStringLiteral("-2"));
        QVERIFY(num("numVoltage", 1)->value() >= 0);
        QVERIFY(qAbs(num("numVoltage", 1)->value() - 0.1234) < 1e-9);
        QTRY_VERIFY_WITH_TIMEOUT(rig->engine().isIdle(), Bound);
        QCOMPARE(rig->linesSince(mark, true), QStringList());

        // Not connected and running: edits, OCP and Clear Error send nothing.
        rig->host().mainFormState = 2;
        typeInto(num("numVoltage", 0), QStringLiteral("9"));
        QTest::mouseClick(button(ix("tbnOCP", 0)), Qt::LeftButton);
        QTest::mouseClick(button("btnClearErrorOfProtection"), Qt::LeftButton);
        QCOMPARE(rig->engine().CmdCount, 0);
        QCOMPARE(rig->linesSince(mark, true), QStringList());
    }

    void ocpAndClearErrorOnChannel3()
    {
        queryInitialValues();
        const int mark = rig->mark();
        QTest::mouseClick(button(ix("tbnOCP", 2)), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig->received(mark, ":CHAN3:PROT:CURR 1"), Bound);
        QVERIFY(rig->supply().ocpEnabled(3));
        QTest::mouseClick(button(ix("tbnOCP", 2)), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig->received(mark, ":CHAN3:PROT:CURR 0"), Bound);
        QTest::mouseClick(button("btnClearErrorOfProtection"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig->received(mark, ":OUTP:PROT:CLE"), Bound);
        QVERIFY(!rig->supply().ocpEnabled(3));
    }

    void couplingModesLockTheRightEditors()
    {
        queryInitialValues();
        FrontPanel &p = rig->panel();
        const auto enabled = [this](const char *name, int i) {
            QWidget *w = rig->find<QWidget>(ix(name, i));
            return w && w->isEnabled();
        };

        p.SetupOutputMode(QStringLiteral("2"));
        QVERIFY(rig->find<QRadioButton>("optParal")->isChecked());
        for (const char *name : {"numVoltage", "numCurrent", "numOVP", "tbnOCP"}) {
            QVERIFY2(!enabled(name, 1), name);
            QVERIFY2(enabled(name, 0) && enabled(name, 2), name);
        }
        QTRY_COMPARE_WITH_TIMEOUT(rig->supply().coupling(), sim::Coupling::Parallel, Bound);
        // Channel 2's readouts stay blank in parallel mode.
        txt(ix("txtVoltage", 1))->setProperty("Text", QStringLiteral("1.000V"));
        QCOMPARE(txt(ix("txtVoltage", 1))->text(), QString());
        txt(ix("txtCurrent", 1))->setProperty("Text", QStringLiteral("0.5000A"));
        QCOMPARE(txt(ix("txtCurrent", 1))->text(), QString());

        p.SetupOutputMode(QStringLiteral("1"));
        QVERIFY(rig->find<QRadioButton>("optTrack")->isChecked());
        QVERIFY(!enabled("numVoltage", 1) && !enabled("numOVP", 1));
        QVERIFY(enabled("numCurrent", 1) && enabled("tbnOCP", 1));
        QTRY_COMPARE_WITH_TIMEOUT(rig->supply().coupling(), sim::Coupling::Tracking, Bound);

        p.SetupOutputMode(QStringLiteral("0"));
        QVERIFY(rig->find<QRadioButton>("optIndep")->isChecked());
        for (const char *name : {"numVoltage", "numCurrent", "numOVP", "tbnOCP"})
            QVERIFY2(enabled(name, 1), name);
        QTRY_COMPARE_WITH_TIMEOUT(rig->supply().coupling(), sim::Coupling::Independent, Bound);

        // Any answer other than "0" and "2" is tracking.
        p.SetupOutputMode(QStringLiteral("7"));
        QVERIFY(rig->find<QRadioButton>("optTrack")->isChecked());

        // The panel's own options run the main window's mode action.
        QTest::mouseClick(rig->find<QRadioButton>("optParal"), Qt::LeftButton);
        QCOMPARE(rig->host().mode, Commands::CouplingParallel);
        QVERIFY(!enabled("numCurrent", 1));
    }

    void autoRunLeavesThreeControlsAndRestoresTheMode()
    {
        queryInitialValues();
        rig->panel().SetupOutputMode(QStringLiteral("1"));
        QTest::mouseClick(button("tbnAutoRun"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig->supply().autoRun().running, Bound);

        QStringList usable;
        for (QWidget *w : rig->panel().findChildren<QWidget *>()) {
            const bool control = qobject_cast<QAbstractButton *>(w) || qobject_cast<NumEdit *>(w);
            if (control && w->isEnabled())
                usable << w->objectName();
        }
        usable.sort();
        QCOMPARE(usable, QStringList({"btnClearErrorOfProtection", "tbnAutoRun", "tbnOutput"}));

        const int mark = rig->mark();
        QTest::mouseClick(button("tbnAutoRun"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!rig->supply().autoRun().running, Bound);
        // The selected mode (tracking) is sent again and its locks are back.
        QTRY_VERIFY_WITH_TIMEOUT(rig->received(mark, ":OUTP:COUP:TRAC 1"), Bound);
        QVERIFY(num("numCurrent", 0)->isEnabled());
        QVERIFY(button("btnSave")->isEnabled());
        QVERIFY(!num("numVoltage", 1)->isEnabled());

        rig->panel().SetAllEnabled();
        QVERIFY(num("numVoltage", 1)->isEnabled());
        QCOMPARE(txt(ix("txtVoltage", 0))->text(), QString());
    }

    void decimalCommaLocaleStillSendsPoints()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        rig->recreatePanel();
        queryInitialValues();
        QCOMPARE(txt(ix("txtVoltage", 0))->text(), QStringLiteral("0,000"));

        const int mark = rig->mark();
        typeInto(num("numVoltage", 0), QStringLiteral("2,5"));
        QTRY_VERIFY_WITH_TIMEOUT(rig->received(mark, ":CHAN1:VOLT 2.5"), Bound);
        typeInto(num("numOVP", 0), QStringLiteral("10,25"));
        QTRY_VERIFY_WITH_TIMEOUT(rig->received(mark, ":CHAN1:PROT:VOLT 10.25"), Bound);

        // Answers with a point show with a comma; a read-back with a unit letter still counts.
        txt(ix("txtVoltage", 2))->setProperty("Text", QStringLiteral("12.345V"));
        QCOMPARE(txt(ix("txtVoltage", 2))->text(), QStringLiteral("12,345"));
        txt(ix("txtSetVolt", 2))->setProperty("Text", QStringLiteral("5.000V"));
        QCOMPARE(num("numVoltage", 2)->value(), 5.0);
        QLocale::setDefault(QLocale::c());
    }

    void answersOfTheStatusWordErrorQueueAndBadReadBacks()
    {
        queryInitialValues();
        ScriptedPrompter prompter;
        ScopedPrompter scope(prompter);

        // Blanks are ignored: "01" at 3..4 is independent, "1" at 6 switches the toggle on.
        rig->panel().SetupOutputMode(QStringLiteral("2"));
        txt("txtStatus")->setProperty("Text", QStringLiteral("00 01 01 00"));
        QVERIFY(rig->find<QRadioButton>("optIndep")->isChecked());
        QVERIFY(button("tbnOutput")->isChecked());
        QCOMPARE(rig->host().mode, Commands::CouplingIndependent);
        txt("txtStatus")->setProperty("Text", QStringLiteral("0001"));  // too short: nothing
        QVERIFY(button("tbnOutput")->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(rig->engine().isIdle(), Bound);

        txt("txtError")->setProperty("Text", QStringLiteral("0,\"No error\""));
        QVERIFY(prompter.messages.isEmpty());
        txt("txtError")->setProperty("Text", QStringLiteral("-222,\"Data out of range\""));
        QCOMPARE(prompter.messageTexts(),
                 QStringList({"Error detected: '-222,\"Data out of range\"'"}));
        QVERIFY(!rig->host().mnuOutput);

        // A read-back that is not a number shows 0; nothing is sent back.
        QTRY_VERIFY_WITH_TIMEOUT(rig->engine().isIdle(), Bound);
        const int mark = rig->mark();
        txt(ix("txtSetVolt", 0))->setProperty("Text", QStringLiteral("4.5V"));
        QCOMPARE(num("numVoltage", 0)->value(), 4.5);
        txt(ix("txtSetVolt", 0))->setProperty("Text", QStringLiteral("V"));
        QCOMPARE(num("numVoltage", 0)->value(), 0.0);
        txt(ix("txtOVP", 1))->setProperty("Text", QStringLiteral("garbled"));
        QCOMPARE(num("numOVP", 1)->value(), 0.0);
        txt(ix("txtOCP", 1))->setProperty("Text", QStringLiteral("1"));
        QVERIFY(button(ix("tbnOCP", 1))->isChecked());
        txt(ix("txtOCP", 1))->setProperty("Text", QStringLiteral("x"));
        QVERIFY(!button(ix("tbnOCP", 1))->isChecked());
        QCOMPARE(rig->engine().CmdCount, 0);
        QCOMPARE(rig->linesSince(mark, true), QStringList());
    }

    void pollingCycleOrderWrapAndRetry()
    {
        queryInitialValues();
        rig->engine().writerTimer().stop(); // nothing is consumed: the ring fills
        frmLayout1 &p = rig->panel();
        p.QueryIndex = 0;
        for (int k = 0; k < 12; ++k)
            p.DoQuery();
        QCOMPARE(p.QueryIndex, 12);
        QStringList queued;
        for (int slot = rig->engine().queryTail(); slot != rig->engine().queryHead();
             slot = (slot + 1) % CommTasker::RingSize)
            queued << rig->engine().queryTaskAt(slot).xOutString;
        QCOMPARE(queued, QStringList({":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?",
                                      ":CHAN2:MEAS:VOLT?", ":CHAN2:MEAS:CURR?",
                                      ":CHAN3:MEAS:VOLT?", ":CHAN3:MEAS:CURR?", "",
                                      ":CHAN1:VOLT?", ":CHAN2:VOLT?", ":CHAN3:VOLT?",
                                      ":CHAN1:CURR?", ":CHAN2:CURR?"}));

        p.QueryIndex = 6999;
        p.DoQuery();
        QCOMPARE(p.QueryIndex, 0);

        // A full ring drops the step; it is retried, not skipped.
        while (rig->engine().ExecQueryTask(QStringLiteral(":CHAN1:MEAS:VOLT?"), 5, nullptr,
                                           QStringLiteral("Text"), CallLet))
            ;
        p.QueryIndex = 3;
        p.DoQuery();
        QCOMPARE(p.QueryIndex, 3);
        rig->engine().ResetQueryTasks();
        rig->engine().writerTimer().start();
    }

    void emptyStatusStepDoesNotStallPolling()
    {
        queryInitialValues();
        QTest::mouseClick(button("tbnOutput"), Qt::LeftButton);
        const int start = rig->panel().QueryIndex;
        // Two full cycles pass the empty status step twice.
        QTRY_VERIFY_WITH_TIMEOUT(rig->panel().QueryIndex >= start + 24, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(rig->engine().QueryCount < 3, Bound);
    }

    void memoryAndAutoRunDisplaysAndButtons()
    {
        queryInitialValues();
        sim::VirtualSupply &s = rig->supply();
        s.setAutoStart(4);
        s.setAutoEnd(6);
        s.setAutoCycles(2);
        s.setAutoDelay(30);
        s.saveMemory(8);
        rig->panel().QuerySECMemory();
        rig->panel().QueryDelay();
        rig->panel().QueryMemory();
        QTRY_COMPARE_WITH_TIMEOUT(txt("txtMemory")->text(), QStringLiteral("8"), Bound);
        QCOMPARE(txt("txtStartMemory")->text(), QStringLiteral("4"));
        QCOMPARE(txt("txtEndMemory")->text(), QStringLiteral("6"));
        QCOMPARE(txt("txtCycle")->text(), QStringLiteral("2"));
        QCOMPARE(txt("txtDelay")->text(), QStringLiteral("30"));

        QTest::mouseClick(button("btnChange"), Qt::LeftButton);
        QTest::mouseClick(button("btnSave"), Qt::LeftButton);
        QTest::mouseClick(button("btnRecall"), Qt::LeftButton);
        QCOMPARE(rig->host().autoModeClicks, 1);
        QCOMPARE(rig->host().saveClicks, 1);
        QCOMPARE(rig->host().recallClicks, 1);
    }

    void statusWordReReadsSetPointsOnlyOnAModeChange()
    {
        queryInitialValues();
        QTRY_VERIFY_WITH_TIMEOUT(rig->engine().isIdle(), Bound);
        rig->engine().writerTimer().stop();
        const int before = rig->engine().QueryCount;
        txt("txtStatus")->setProperty("Text", QStringLiteral("00010000")); // independent, as now
        QCOMPARE(rig->engine().QueryCount, before);
        QCOMPARE(rig->engine().CmdCount, 1); // the mode command goes out again
        txt("txtStatus")->setProperty("Text", QStringLiteral("00100000")); // parallel
        QVERIFY(rig->find<QRadioButton>("optParal")->isChecked());
        QStringList queued;
        for (int slot = rig->engine().queryTail(); slot != rig->engine().queryHead();
             slot = (slot + 1) % CommTasker::RingSize)
            if (!rig->engine().queryTaskAt(slot).Cancelled)
                queued << rig->engine().queryTaskAt(slot).xOutString;
        QCOMPARE(queued, QStringList({":CHAN1:VOLT?", ":CHAN2:VOLT?", ":CHAN3:VOLT?",
                                      ":CHAN1:CURR?", ":CHAN2:CURR?", ":CHAN3:CURR?"}));
        rig->engine().writerTimer().start();
    }

    void oneRowForAllChannels()
    {
        rig.reset();
        rig = std::make_unique<PanelRig>();
        QVERIFY2(rig->start(QStringLiteral("XPP-3201")), qPrintable(rig->error));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(num("numVoltage", i)->maximum(), 32.0);
            QCOMPARE(num("numCurrent", i)->maximum(), 1.0);
            QCOMPARE(num("numOVP", i)->maximum(), 33.0);
            QCOMPARE(num("numCurrent", i)->increment(), 0.001);
        }
    }

    void interfaceLine()
    {
        rig.reset();
        rig = std::make_unique<PanelRig>();
        QVERIFY2(rig->start(QStringLiteral("XPP-3202"), 19200), qPrintable(rig->error));
        QCOMPARE(txt("txtCommType")->text(), QStringLiteral("RS-232 19200BPS / 8bits/None/1bits"));
        rig->host().commType = QStringLiteral("GPIB");
        rig->host().address = 7;
        rig->panel().SetupLayout();
        QCOMPARE(txt("txtCommType")->text(), QStringLiteral("Interface: GPIB;Address:7"));
        rig->host().commType = QStringLiteral("Menu");
        rig->panel().SetupLayout();
        QCOMPARE(txt("txtCommType")->text(), QStringLiteral("Testing mode"));
        // Per-channel rows: channel 3 of this model has its own limits.
        QCOMPARE(num("numVoltage", 0)->maximum(), 32.0);
        QCOMPARE(num("numVoltage", 2)->maximum(), 7.0);
        QCOMPARE(num("numCurrent", 2)->maximum(), 5.0);
        QCOMPARE(txt(ix("txtCurrent", 0))->text(), QStringLiteral("0.000"));
        QCOMPARE(num("numCurrent", 0)->displayedText(), QStringLiteral("0.000"));
    }
};

QTEST_MAIN(TestFrmLayout1)
#include "tst_frmLayout1.moc"
