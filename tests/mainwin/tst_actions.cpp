// The instrument actions of the main window against the virtual supply XPP-3202 with the
// real layout 1 and the real action dialogs: what the supply receives, and what it ends in.
#include "MainwinRig.h"

#include "common/Prompter.h"
#include "settings/SettingsStore.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QAction>
#include <QSpinBox>
#include <QtTest>

namespace {

// Sets the named spin boxes of the dialog, then presses OK.
std::function<void(QDialog *)> fillAndOk(QList<QPair<QString, int>> values, bool *shown = nullptr)
{
    return [values, shown](QDialog *d) {
        for (const auto &[name, value] : values)
            d->findChild<QSpinBox *>(name)->setValue(value);
        if (shown)
            *shown = true;
        pressButton(d, "OKButton");
    };
}

std::function<void(QDialog *)> cancel(bool *shown)
{
    return [shown](QDialog *d) {
        *shown = true;
        pressButton(d, "CancelButton");
    };
}

// Lines the supply received that are commands (no "?").
QStringList commandsIn(const QStringList &lines)
{
    QStringList out;
    for (const QString &l : lines) {
        if (!l.contains('?'))
            out << l;
    }
    return out;
}

} // namespace

class TestActions : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<SimSupply> sim;
    std::unique_ptr<MDIForm1> w;
    ScriptedPrompter prompter;

    // Waits until every queued task has been written and answered.
    void settle() { QTRY_VERIFY_WITH_TIMEOUT(w->engine().isIdle(), 20000); }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateUserFolders();
        Prompter::install(&prompter);
        sim = std::make_unique<SimSupply>("XPP-3202");
        w = makeWindow(true);
        w->SetupSerialPort(sim->port(), 115200);
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 3, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(w->OperatorForm()->isVisible(), 30000);
        settle();
    }

    void cleanupTestCase()
    {
        w.reset();
        sim.reset();
        Prompter::install(nullptr);
    }

    void init()
    {
        prompter.clear();
        w->DoOutput(false);
        settle();
    }

    // Output on starts polling (the supply keeps receiving queries); off stops it at once.
    void outputControlsPolling()
    {
        const int before = sim->lineCount();
        w->menuItem("mnuOutput")->trigger();
        QVERIFY(w->menuItem("mnuOutput")->isChecked());
        QVERIFY(w->toolButton("Output")->isChecked());
        QVERIFY(w->OperatorForm()->tbnOutput()->isChecked());
        QVERIFY(w->menuItem("mnuRecord")->isEnabled());
        QVERIFY(w->QueryTimer.isActive());
        QTRY_VERIFY_WITH_TIMEOUT(sim->lineCount() > before + 12, 20000);
        QCOMPARE(commandsIn(sim->linesSince(before)).first(), QStringLiteral(":OUTP:STAT 1"));
        QVERIFY(sim->supply->outputOn());

        w->toolButton("Output")->trigger();
        QVERIFY(!w->menuItem("mnuOutput")->isChecked());
        QVERIFY(!w->QueryTimer.isActive());
        QVERIFY(!w->menuItem("mnuRecord")->isEnabled());
        settle();
        QVERIFY(!sim->supply->outputOn());
        const int stopped = sim->lineCount();
        QTest::qWait(600);  // several poll periods: nothing more is asked
        QCOMPARE(sim->lineCount(), stopped);
        QVERIFY(prompter.messages.isEmpty());
    }

    // Each coupling mode sends its code (0 independent, 1 tracking, 2 parallel), checks only
    // its menu item and its panel option, and leaves the supply in that mode.
    void couplingModes()
    {
        struct Case {
            const char *item;
            const char *command;
            sim::Coupling mode;
        };
        for (const Case &c : {Case{"mnuTrack", ":OUTP:COUP:TRAC 1", sim::Coupling::Tracking},
                              Case{"mnuParallel", ":OUTP:COUP:TRAC 2", sim::Coupling::Parallel},
                              Case{"mnuIndep", ":OUTP:COUP:TRAC 0", sim::Coupling::Independent}}) {
            const int before = sim->lineCount();
            w->menuItem(c.item)->trigger();
            settle();
            QCOMPARE(commandsIn(sim->linesSince(before)), QStringList{c.command});
            QVERIFY(sim->supply->coupling() == c.mode);
            for (const char *item : {"mnuIndep", "mnuParallel", "mnuTrack"})
                QCOMPARE(w->menuItem(item)->isChecked(), qstrcmp(item, c.item) == 0);
        }
        QVERIFY(w->OperatorForm()->optIndep()->isChecked());
    }

    void autoRunRangeDelayAndProtection()
    {
        int before = sim->lineCount();
        onNextDialog("dlgAutoMode", fillAndOk({{"numStartMemory", 1}, {"numEndMemory", 4}, {"numCycle", 2}}));
        w->menuItem("mnuAutoMode")->trigger();
        settle();
        QCOMPARE(commandsIn(sim->linesSince(before)),
                 (QStringList{":SYST:AUTO:STAR 1", ":SYST:AUTO:END 4", ":SYST:AUTO:CYCL 2"}));
        QCOMPARE(sim->supply->autoRun().start, 1);
        QCOMPARE(sim->supply->autoRun().end, 4);
        QCOMPARE(sim->supply->autoRun().cycles, 2);

        before = sim->lineCount();
        onNextDialog("dlgDelay", fillAndOk({{"numDelay", 15}}));
        w->toolButton("Delay")->trigger();
        settle();
        QCOMPARE(commandsIn(sim->linesSince(before)), QStringList{":SYST:AUTO:DEL 15"});
        QCOMPARE(sim->supply->autoRun().delay, 15);

        before = sim->lineCount();
        w->menuItem("mnuAutoRun")->trigger();
        QVERIFY(w->menuItem("mnuAutoRun")->isChecked());
        QVERIFY(w->toolButton("AutoRun")->isChecked());
        QVERIFY(w->OperatorForm()->tbnAutoRun()->isChecked());
        w->ToggleAutoRun();
        QVERIFY(!w->menuItem("mnuAutoRun")->isChecked());
        QVERIFY(!w->OperatorForm()->tbnAutoRun()->isChecked());
        settle();
        // Switching auto run off restores the panel's coupling mode on the supply.
        QCOMPARE(commandsIn(sim->linesSince(before)),
                 (QStringList{":SYST:AUTO:STAT 1", ":SYST:AUTO:STAT 0", ":OUTP:COUP:TRAC 0"}));

        before = sim->lineCount();
        w->toolButton("ClearError")->trigger();
        settle();
        QCOMPARE(commandsIn(sim->linesSince(before)), QStringList{":OUTP:PROT:CLE"});
    }

    // Read times: at most 32 seconds reach the engine.
    void readTimesLimit()
    {
        const int before = sim->lineCount();
        onNextDialog("dlgReadTimes", fillAndOk({{"numReadTimes", 40}}));
        w->menuItem("mnuReadTimes")->trigger();
        QCOMPARE(w->engine().ReadTimesMs, 32000);
        QCOMPARE(SettingsStore::readInt(SettingKeys::ReadTimes), 32);
        onNextDialog("dlgReadTimes", fillAndOk({{"numReadTimes", 3}}));
        w->toolButton("ReadTimes")->trigger();
        QCOMPARE(w->engine().ReadTimesMs, 3000);
        QCOMPARE(sim->lineCount(), before);
    }

    // Save to memory 3, change the supply, recall 3: the set points come back, and the
    // output was switched off before the recall reached the supply.
    void saveThenRecall()
    {
        QCOMPARE(sim->supply->setVoltage(1, 5.0), sim::SetResult::Ok);
        QCOMPARE(sim->supply->setCurrent(2, 1.25), sim::SetResult::Ok);
        int before = sim->lineCount();
        onNextDialog("dlgSaveData", fillAndOk({{"numMemory", 3}}));
        w->toolButton("SaveMemory")->trigger();
        settle();
        QCOMPARE(commandsIn(sim->linesSince(before)), QStringList{"*SAV 3"});

        QCOMPARE(sim->supply->setVoltage(1, 9.0), sim::SetResult::Ok);
        QCOMPARE(sim->supply->setCurrent(2, 0.5), sim::SetResult::Ok);
        w->DoOutput(true);
        QTRY_VERIFY(sim->supply->outputOn());

        before = sim->lineCount();
        int proposed = -1;
        bool shown = false;
        onNextDialog("dlgRecallData", [&](QDialog *d) {
            proposed = d->findChild<QSpinBox *>("numMemory")->value();
            shown = true;
            pressButton(d, "OKButton");
        });
        w->menuItem("mnuRecallMemory")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(shown, 5000);
        QCOMPARE(proposed, 3);  // the save dialog's number is the recall's proposal
        QTRY_VERIFY_WITH_TIMEOUT(sim->linesSince(before).contains("*RCL 3"), 20000);
        settle();
        const QStringList commands = commandsIn(sim->linesSince(before));
        QVERIFY(commands.indexOf(":OUTP:STAT 0") >= 0);
        QVERIFY(commands.indexOf(":OUTP:STAT 0") < commands.indexOf("*RCL 3"));
        QCOMPARE(sim->supply->voltageSetpoint(1), 5.0);
        QCOMPARE(sim->supply->currentSetpoint(2), 1.25);
        QVERIFY(!sim->supply->outputOn());
        QVERIFY(!w->menuItem("mnuOutput")->isChecked());
        QVERIFY(!w->QueryTimer.isActive());
        QCOMPARE(w->MainFormState(), 3);
    }

    // A cancelled dialog sends nothing.
    void cancelledDialogsSendNothing()
    {
        const QList<QPair<QString, QString>> cases{{"SaveMemory", "dlgSaveData"},
                                                   {"RecallMemory", "dlgRecallData"},
                                                   {"Delay", "dlgDelay"},
                                                   {"ReadTimes", "dlgReadTimes"}};
        const int readTimes = w->engine().ReadTimesMs;
        for (const auto &[button, dialog] : cases) {
            const int before = sim->lineCount();
            bool shown = false;
            onNextDialog(dialog, cancel(&shown));
            w->toolButton(button)->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(shown, 5000);
            settle();
            QVERIFY2(sim->linesSince(before).isEmpty(), qPrintable(button));
        }
        const int before = sim->lineCount();
        bool shown = false;
        onNextDialog("dlgAutoMode", cancel(&shown));
        w->menuItem("mnuAutoMode")->trigger();
        QVERIFY(shown);
        settle();
        QCOMPARE(sim->linesSince(before), QStringList());
        QCOMPARE(w->engine().ReadTimesMs, readTimes);
    }

    // Cancelling the wait for an idle link sends no recall; the output stays off.
    void recallWaitCancelled()
    {
        w->DoOutput(true);
        QTRY_VERIFY(sim->supply->outputOn());
        // Slow answers keep the link busy while the recall waits.
        sim->supply->faults().answerDelayMs = 1000;
        const int before = sim->lineCount();
        bool waited = false;
        onNextDialog("dlgRecallData", fillAndOk({{"numMemory", 3}}));
        onNextDialog("dlgWaitRsp", cancel(&waited));
        w->mnuRecallMemory_Click();
        QTRY_VERIFY_WITH_TIMEOUT(waited, 10000);
        sim->supply->faults().answerDelayMs = 0;
        settle();
        QVERIFY(!sim->linesSince(before).contains("*RCL 3"));
        QVERIFY(!w->menuItem("mnuOutput")->isChecked());
        QVERIFY(!sim->supply->outputOn());
        QCOMPARE(w->MainFormState(), 3);
    }

    void recordMenu()
    {
        w->DoOutput(true);
        w->menuItem("mnuRecordStart")->trigger();
        QCOMPARE(prompter.messageTexts(), QStringList{"Please Setup Record the period first."});
    }
};

QTEST_MAIN(TestActions)
#include "tst_actions.moc"
