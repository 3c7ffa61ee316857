// Layout 1 against the virtual three-channel supply on a pseudo-terminal: what the panel shows
// and what the supply receives. Readouts while polling, coupling and auto-run locks are checked
// through the real main window (tests/mainwin/tst_actions).
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
    QRadioButton *option(const QString &name) { return rig->find<QRadioButton>(name); }
    // The panel receives `answer` as if the supply had sent it for the named field.
    void answer(const QString &field, const QString &text) { txt(field)->setProperty("Text", text); }
    void settle() { QTRY_VERIFY_WITH_TIMEOUT(rig->engine().isIdle(), Bound); }

    // Queues the initial queries and waits until all are answered.
    void queryInitialValues()
    {
        QVERIFY(!rig->panel().QueryInitialValues());
        rig->panel().AfterQueryInitialValuesBeforeShow();
    }
    // The query tasks waiting in the engine's ring, oldest first.
    QStringList queuedQueries()
    {
        QStringList queued;
        for (int slot = rig->engine().queryTail(); slot != rig->engine().queryHead();
             slot = (slot + 1) % CommTasker::RingSize)
            if (!rig->engine().queryTaskAt(slot).Cancelled)
                queued << rig->engine().queryTaskAt(slot).xOutString;
        return queued;
    }

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void init()
    {
        QLocale::setDefault(QLocale::c());
        rig = std::make_unique<PanelRig>();
        QVERIFY2(rig->start(), qPrintable(rig->error));
    }

    void cleanup()
    {
        rig.reset();
        QLocale::setDefault(QLocale::c());
    }

    void initialQueryFillsEveryControl()
    {
        sim::VirtualSupply &s = rig->supply();
        for (auto result : {s.setVoltage(1, 12.5), s.setCurrent(1, 1.5), s.setVoltage(2, 3.3), s.setCurrent(2, 0.25),
                            s.setVoltage(3, 5), s.setCurrent(3, 2), s.setOvp(1, 20), s.setOvp(3, 6.5),
                            s.setOcp(3, true), s.setAutoStart(2), s.setAutoEnd(7), s.setAutoCycles(4),
                            s.setAutoDelay(15), s.saveMemory(3), s.setOutput(true), s.setCoupling(1)})
            QCOMPARE(result, sim::SetResult::Ok);

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
        QStringList memories;
        for (const char *name : {"txtStartMemory", "txtEndMemory", "txtCycle", "txtDelay", "txtMemory"})
            memories << txt(name)->text();
        QCOMPARE(memories, QStringList({"2", "7", "4", "15", "3"}));
        QVERIFY(button("tbnOutput")->isChecked());
        QVERIFY(rig->host().mnuOutput);
        QVERIFY(option("optTrack")->isChecked());
        QVERIFY(!num("numVoltage", 1)->isEnabled());
        QVERIFY(num("numCurrent", 1)->isEnabled());
        // Readouts carry the number without its unit letter.
        const QString v1 = txt(ix("txtVoltage", 0))->text();
        QVERIFY2(!v1.isEmpty() && !v1.endsWith(QLatin1Char('V')), qPrintable(v1));
        QCOMPARE(txt("txtCommType")->text(), QStringLiteral("RS-232 9600BPS / 8bits/None/1bits"));

        // Reading back the set points sent no set point back: the only commands are the
        // main window's output, coupling and auto-run actions of the three receivers (auto run
        // off applies the selected mode once more).
        QCOMPARE(rig->linesSince(mark, true), QStringList({":OUTP:STAT 1", ":OUTP:COUP:TRAC 1",
                                                           ":SYST:AUTO:STAT 0", ":OUTP:COUP:TRAC 1"}));
        QCOMPARE(rig->engine().ReadTimesMs, 5000);
    }

    // Typed set points, OCP and Clear Error are sent once each; a negative value is refused;
    // the memory and auto-run displays follow the supply and their buttons run the main
    // window's actions; nothing is sent while not connected.
    void editsAndButtonsSendCommands()
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
        settle();
        QCOMPARE(rig->linesSince(mark, true).size(), 4);

        mark = rig->mark();
        typeInto(num("numVoltage", 1), QStringLiteral("-2"));
        QVERIFY(qAbs(num("numVoltage", 1)->value() - 0.1234) < 1e-9);
        settle();
        QCOMPARE(rig->linesSince(mark, true), QStringList());

        QTest::mouseClick(button(ix("tbnOCP", 2)), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig->supply().ocpEnabled(3), Bound);
        QTest::mouseClick(button(ix("tbnOCP", 2)), Qt::LeftButton);
        QTest::mouseClick(button("btnClearErrorOfProtection"), Qt::LeftButton);
        settle();
        QCOMPARE(rig->linesSince(mark, true),
                 QStringList({":CHAN3:PROT:CURR 1", ":CHAN3:PROT:CURR 0", ":OUTP:PROT:CLE"}));
        QVERIFY(!rig->supply().ocpEnabled(3));

        sim::VirtualSupply &s = rig->supply();
        s.setAutoStart(4);
        s.setAutoEnd(6);
        s.setAutoCycles(2);
        s.setAutoDelay(30);
        s.saveMemory(8);
        rig->panel().QuerySECMemory();
        rig->panel().QueryDelay();
        rig->panel().QueryMemory();
        settle();
        QStringList memories;
        for (const char *name : {"txtStartMemory", "txtEndMemory", "txtCycle", "txtDelay", "txtMemory"})
            memories << txt(name)->text();
        QCOMPARE(memories, QStringList({"4", "6", "2", "30", "8"}));
        for (const char *name : {"btnChange", "btnSave", "btnRecall"})
            QTest::mouseClick(button(name), Qt::LeftButton);
        QCOMPARE(rig->host().autoModeClicks, 1);
        QCOMPARE(rig->host().saveClicks, 1);
        QCOMPARE(rig->host().recallClicks, 1);

        mark = rig->mark();
        const int commands = rig->engine().CmdCount;
        rig->host().mainFormState = 2;
        typeInto(num("numVoltage", 0), QStringLiteral("9"));
        QTest::mouseClick(button(ix("tbnOCP", 0)), Qt::LeftButton);
        QTest::mouseClick(button("btnClearErrorOfProtection"), Qt::LeftButton);
        QCOMPARE(rig->engine().CmdCount, commands);
        settle();
        QCOMPARE(rig->linesSince(mark, true), QStringList());
    }

    // Answers the panel reads: the coupling mode, the status word (a changed mode re-reads
    // the set points), the error queue and read-backs that are not numbers; none sends a
    // set point back. Then the polling cycle's order, wrap and retry on a full ring.
    void answersAndPollingCycle()
    {
        queryInitialValues();
        ScriptedPrompter prompter;
        ScopedPrompter scope(prompter);
        settle();
        rig->engine().writerTimer().stop(); // nothing is consumed from here on
        const int queries = rig->engine().QueryCount;
        const int commands = rig->engine().CmdCount;
        answer("txtStatus", QStringLiteral("00010000")); // independent and off, as now
        QCOMPARE(rig->engine().QueryCount, queries);
        QCOMPARE(rig->engine().CmdCount, commands + 1); // the mode command goes out again
        answer("txtStatus", QStringLiteral("00100000")); // parallel
        QVERIFY(option("optParal")->isChecked());
        QCOMPARE(queuedQueries(), QStringList({":CHAN1:VOLT?", ":CHAN2:VOLT?", ":CHAN3:VOLT?",
                                               ":CHAN1:CURR?", ":CHAN2:CURR?", ":CHAN3:CURR?"}));
        rig->engine().ResetQueryTasks();
        rig->engine().writerTimer().start();
        settle();

        rig->panel().SetupOutputMode(QStringLiteral("7")); // anything but "0" and "2" is tracking
        QVERIFY(option("optTrack")->isChecked());
        QTest::mouseClick(option("optParal"), Qt::LeftButton); // the panel's own option
        QCOMPARE(rig->host().mode, Commands::CouplingParallel);
        QTRY_COMPARE_WITH_TIMEOUT(rig->supply().coupling(), sim::Coupling::Parallel, Bound);
        answer(ix("txtVoltage", 1), QStringLiteral("1.000V")); // channel 2 stays blank in parallel
        QCOMPARE(txt(ix("txtVoltage", 1))->text(), QString());

        // Blanks are ignored: "01" at 3..4 is independent, "1" at 6 switches the toggle on.
        answer("txtStatus", QStringLiteral("00 01 01 00"));
        QVERIFY(option("optIndep")->isChecked());
        QVERIFY(button("tbnOutput")->isChecked());
        QCOMPARE(rig->host().mode, Commands::CouplingIndependent);
        answer("txtStatus", QStringLiteral("0001")); // too short: nothing
        QVERIFY(button("tbnOutput")->isChecked());
        settle();

        answer("txtError", QStringLiteral("0,\"No error\""));
        QVERIFY(prompter.messages.isEmpty());
        answer("txtError", QStringLiteral("-222,\"Data out of range\""));
        QCOMPARE(prompter.messageTexts(), QStringList({"Error detected: '-222,\"Data out of range\"'"}));
        QVERIFY(!rig->host().mnuOutput);
        settle();

        const int mark = rig->mark();
        answer(ix("txtSetVolt", 0), QStringLiteral("4.5V"));
        QCOMPARE(num("numVoltage", 0)->value(), 4.5);
        answer(ix("txtSetVolt", 0), QStringLiteral("V"));
        QCOMPARE(num("numVoltage", 0)->value(), 0.0);
        answer(ix("txtOVP", 1), QStringLiteral("garbled"));
        QCOMPARE(num("numOVP", 1)->value(), 0.0);
        answer(ix("txtOCP", 1), QStringLiteral("1"));
        QVERIFY(button(ix("tbnOCP", 1))->isChecked());
        answer(ix("txtOCP", 1), QStringLiteral("x"));
        QVERIFY(!button(ix("tbnOCP", 1))->isChecked());
        settle();
        QCOMPARE(rig->linesSince(mark, true), QStringList());

        rig->engine().writerTimer().stop();
        rig->panel().QueryIndex = 0;
        for (int k = 0; k < 12; ++k)
            rig->panel().DoQuery();
        QCOMPARE(rig->panel().QueryIndex, 12);
        QCOMPARE(queuedQueries(), QStringList({":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?", ":CHAN2:MEAS:VOLT?",
                                               ":CHAN2:MEAS:CURR?", ":CHAN3:MEAS:VOLT?", ":CHAN3:MEAS:CURR?", "",
                                               ":CHAN1:VOLT?", ":CHAN2:VOLT?", ":CHAN3:VOLT?",
                                               ":CHAN1:CURR?", ":CHAN2:CURR?"}));
        rig->panel().QueryIndex = 6999;
        rig->panel().DoQuery();
        QCOMPARE(rig->panel().QueryIndex, 0);
        // A full ring drops the step; it is retried, not skipped.
        while (rig->engine().ExecQueryTask(QStringLiteral(":CHAN1:MEAS:VOLT?"), 5, nullptr, QStringLiteral("Text"), CallLet))
            ;
        rig->panel().QueryIndex = 3;
        rig->panel().DoQuery();
        QCOMPARE(rig->panel().QueryIndex, 3);
        rig->engine().ResetQueryTasks();
        rig->engine().writerTimer().start();
    }

    void decimalCommaLocaleStillSendsPoints()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        rig->recreatePanel();
        queryInitialValues();
        QCOMPARE(txt(ix("txtVoltage", 0))->text(), QStringLiteral("0,000"));

        const int mark = rig->mark();
        typeInto(num("numVoltage", 0), QStringLiteral("2,5"));
        typeInto(num("numOVP", 0), QStringLiteral("10,25"));
        typeInto(num("numCurrent", 0), QStringLiteral("1.5")); // a point typed out of habit
        settle();
        QCOMPARE(rig->linesSince(mark, true), QStringList({":CHAN1:VOLT 2.5", ":CHAN1:PROT:VOLT 10.25", ":CHAN1:CURR 1.5"}));

        // Answers with a point show with a comma; a read-back with a unit letter still counts.
        answer(ix("txtVoltage", 2), QStringLiteral("12.345V"));
        QCOMPARE(txt(ix("txtVoltage", 2))->text(), QStringLiteral("12,345"));
        answer(ix("txtSetVolt", 2), QStringLiteral("5.000V"));
        QCOMPARE(num("numVoltage", 2)->value(), 5.0);
    }

    // The limits of each model's rows (one row for all channels, or per channel) and the
    // interface line for each kind of connection.
    void limitsAndInterfaceLinePerModel()
    {
        QCOMPARE(txt(ix("txtCurrent", 0))->text(), QStringLiteral("0.000"));
        QCOMPARE(num("numCurrent", 0)->displayedText(), QStringLiteral("0.000"));
        QCOMPARE(num("numVoltage", 0)->maximum(), 32.0);
        QCOMPARE(num("numVoltage", 2)->maximum(), 7.0);
        QCOMPARE(num("numCurrent", 2)->maximum(), 5.0);
        rig->host().machineType = QStringLiteral("XPP-3201");
        rig->host().baud = 19200;
        rig->panel().SetupLayout();
        QCOMPARE(txt("txtCommType")->text(), QStringLiteral("RS-232 19200BPS / 8bits/None/1bits"));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(num("numVoltage", i)->maximum(), 32.0);
            QCOMPARE(num("numCurrent", i)->maximum(), 1.0);
            QCOMPARE(num("numOVP", i)->maximum(), 33.0);
            QCOMPARE(num("numCurrent", i)->increment(), 0.001);
        }
        rig->host().commType = QStringLiteral("GPIB");
        rig->host().address = 7;
        rig->panel().SetupLayout();
        QCOMPARE(txt("txtCommType")->text(), QStringLiteral("Interface: GPIB;Address:7"));
        rig->host().commType = QStringLiteral("Menu");
        rig->panel().SetupLayout();
        QCOMPARE(txt("txtCommType")->text(), QStringLiteral("Testing mode"));
    }
};

QTEST_MAIN(TestFrmLayout1)
#include "tst_frmLayout1.moc"
