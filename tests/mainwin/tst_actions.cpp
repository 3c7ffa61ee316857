// The instrument actions of the main window against the virtual supply XPP-3202 with the
// real layout 1 and the real action dialogs: what the supply receives, what it ends in, what
// the panel shows and what the dialogs remember.
#include "MainwinRig.h"

#include "link/transport/SerialTransport.h"
#include "panels/ChannelPanel.h"
#include "panels/NumEdit.h"
#include "settings/SettingsStore.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QSpinBox>
#include <QtTest>

namespace {

// Sets the named spin boxes of the dialog, then presses OK, or Cancel with `cancel`.
// `shown` collects the dialog's title and, for each named box, the value it proposed.
std::function<void(QDialog *)> fill(QList<QPair<QString, int>> values, QStringList *shown = nullptr,
                                    bool cancel = false)
{
    return [=](QDialog *d) {
        if (shown)
            *shown << d->windowTitle();
        for (const auto &[name, value] : values) {
            auto *box = d->findChild<QSpinBox *>(name);
            if (shown)
                *shown << QString::number(box->value());
            box->setValue(value);
        }
        pressButton(d, cancel ? "CancelButton" : "OKButton");
    };
}

void typeInto(NumEdit *editor, const QString &text)
{
    editor->setFocus();
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
}

} // namespace

class TestActions : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<SimSupply> sim;
    std::unique_ptr<MDIForm1> w;
    InstalledPrompter prompter;

    // Waits until every queued task has been written and answered, and the supply has read
    // every line written (the pseudo-terminal hands bytes over a moment later).
    void settle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(w->engine().isIdle() && sim->lineCount() - linesBeforeConnect == linesSent(), 20000);
    }
    // Connects the window, counting the supply's lines from here.
    bool connect()
    {
        linesBeforeConnect = sim->lineCount();
        return connectTo(*w, *sim);
    }
    int linesBeforeConnect = 0;
    int linesSent() const
    {
        const auto *link = qobject_cast<const SerialTransport *>(w->engine().serialIo());
        return link ? int(link->linesSent()) : -1;
    }
    FrontPanel &panel() { return *w->OperatorForm(); }
    template<class T = QWidget>
    T *control(const QString &name) { return panel().findChild<T *>(name); }
    // Lines the supply received since `mark` that are commands (no "?").
    QStringList commandsSince(int mark) { return sim->linesSince(mark).filter(QRegularExpression("^[^?]*$")); }
    // Widgets of channel 2 (index 1) that are usable.
    QStringList usableOfChannel2()
    {
        QStringList out;
        for (const char *name : {"numVoltage_1", "numCurrent_1", "numOVP_1", "tbnOCP_1"}) {
            if (control(name)->isEnabled())
                out << name;
        }
        return out;
    }

private slots:
    // The supply's state before connecting, with its output off: the answer to the output
    // query must not cancel the initial queries still waiting behind it.
    void initTestCase()
    {
        TestEnvironment::isolateUserFolders();
        sim = std::make_unique<SimSupply>("XPP-3202");
        sim->supply->setVoltage(1, 12.5);
        sim->supply->setCurrent(2, 0.75);
        sim->supply->setOvp(3, 6.5);
        sim->supply->setOcp(3, true);
        w = makeWindow(true);
        QVERIFY(connect());
        settle();
    }

    void cleanupTestCase()
    {
        w.reset();
        sim.reset();
    }

    void init()
    {
        prompter.clear();
        w->DoOutput(false);
        settle();
    }

    void initialValuesFillThePanel()
    {
        QCOMPARE(panel().layoutNumber(), 1);
        QCOMPARE(control<QLineEdit>("txtCommType")->text(), QStringLiteral("RS-232 115200BPS / 8bits/None/1bits"));
        QCOMPARE(control<NumEdit>("numVoltage_0")->value(), 12.5);
        QCOMPARE(control<NumEdit>("numCurrent_1")->value(), 0.75);
        QCOMPARE(control<NumEdit>("numOVP_2")->value(), 6.5);
        QVERIFY(control<QAbstractButton>("tbnOCP_2")->isChecked());
        QVERIFY(!control<QAbstractButton>("tbnOCP_0")->isChecked());
    }

    // Output on starts polling: readouts follow the supply, read-backs send nothing and the
    // status step of the cycle (the error queue in this dialect) does not stall it; off stops
    // polling at once and clears the readouts.
    void outputControlsPolling()
    {
        int before = sim->lineCount();
        sim->supply->setLoad(1, 10);
        const int start = w->supply()->pollIndex();
        w->menuItem("mnuOutput")->trigger();
        QVERIFY(w->menuItem("mnuOutput")->isChecked() && w->toolButton("Output")->isChecked());
        QVERIFY(panel().findChild<QAbstractButton *>("tbnOutput")->isChecked());
        QVERIFY(w->menuItem("mnuRecord")->isEnabled());
        QVERIFY(w->connection().QueryTimer.isActive());
        auto *readout = control<QLineEdit>("txtVoltage_0");
        QTRY_COMPARE_WITH_TIMEOUT(readout->text(), QStringLiteral("12.500"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(control<QLineEdit>("txtCurrent_0")->text(), QStringLiteral("1.250"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(sim->linesSince(before).contains(":CHAN2:VOLT?"), 10000);
        // Past the status step (the 7th of 12) and on, with the ring not filling up.
        QTRY_VERIFY_WITH_TIMEOUT(w->supply()->pollIndex() >= start + 14, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(w->engine().QueryCount < 3, 10000);
        QCOMPARE(commandsSince(before), QStringList{":OUTP:STAT 1"});
        QVERIFY(sim->supply->outputOn());
        sim->supply->setVoltage(1, 6);
        QTRY_COMPARE_WITH_TIMEOUT(readout->text(), QStringLiteral("6.000"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(control<NumEdit>("numVoltage_0")->value(), 6.0, 10000);

        panel().findChild<QAbstractButton *>("tbnOutput")->click();
        QVERIFY(!w->menuItem("mnuOutput")->isChecked() && !w->toolButton("Output")->isChecked());
        QVERIFY(!w->connection().QueryTimer.isActive());
        QVERIFY(!w->menuItem("mnuRecord")->isEnabled());
        settle();
        QVERIFY(!sim->supply->outputOn());
        QCOMPARE(readout->text(), QString());
        QCOMPARE(control<QLineEdit>("txtCurrent_0")->text(), QString());
        // Nothing queued before the switch reaches the supply after it: a marker query
        // sent now arrives alone.
        before = sim->lineCount();
        QObject marker;
        QVERIFY(w->engine().ExecQueryTask("*IDN?", 5, &marker,
                                          [&marker](const QString &a) { marker.setObjectName(a); }));
        QTRY_VERIFY_WITH_TIMEOUT(!marker.objectName().isEmpty(), 10000);
        QCOMPARE(sim->linesSince(before), QStringList{"*IDN?"});
        QCOMPARE(readout->text(), QString());
        QVERIFY(prompter.messages.isEmpty());
        sim->supply->setVoltage(1, 12.5);
        w->supply()->setPollIndex(6999); // the cycle position wraps to 0 at 7000
        w->supply()->pollNext();
        QCOMPARE(w->supply()->pollIndex(), 0);
    }

    // Typed set points reach the supply with the editor's precision; a negative value is
    // refused; OCP on channel 3 switches the supply's protection.
    void editsSendCommands()
    {
        const int before = sim->lineCount();
        for (const char *text : {"5", "0.1234", "-2"})
            typeInto(control<NumEdit>("numVoltage_1"), QLatin1String(text));
        QTest::mouseClick(control("tbnOCP_2"), Qt::LeftButton);
        settle();
        QCOMPARE(commandsSince(before), (QStringList{":CHAN2:VOLT 5", ":CHAN2:VOLT 0.123", ":CHAN3:PROT:CURR 0"}));
        QCOMPARE(sim->supply->voltageSetpoint(2), 0.123);
        QVERIFY(!sim->supply->ocpEnabled(3));
        QTest::mouseClick(control("tbnOCP_2"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(sim->supply->ocpEnabled(3), 10000);
    }

    // Each coupling mode sends its code (0 independent, 1 tracking, 2 parallel), checks only
    // its menu item and its panel option, locks the right editors of channel 2 and leaves the
    // supply in that mode.
    void couplingModes()
    {
        struct Case {
            const char *item;
            const char *command;
            sim::Coupling mode;
            const char *option;
            QStringList usable;
        };
        const QStringList all{"numVoltage_1", "numCurrent_1", "numOVP_1", "tbnOCP_1"};
        for (const Case &c : {Case{"mnuTrack", ":OUTP:COUP:TRAC 1", sim::Coupling::Tracking, "optTrack",
                                   {"numCurrent_1", "tbnOCP_1"}},
                              Case{"mnuParallel", ":OUTP:COUP:TRAC 2", sim::Coupling::Parallel, "optParal", {}},
                              Case{"mnuIndep", ":OUTP:COUP:TRAC 0", sim::Coupling::Independent, "optIndep", all}}) {
            const int before = sim->lineCount();
            w->menuItem(c.item)->trigger();
            settle();
            QCOMPARE(commandsSince(before), QStringList{c.command});
            QVERIFY(sim->supply->coupling() == c.mode);
            for (const char *item : {"mnuIndep", "mnuParallel", "mnuTrack"})
                QCOMPARE(w->menuItem(item)->isChecked(), qstrcmp(item, c.item) == 0);
            QVERIFY(control<QAbstractButton>(c.option)->isChecked());
            QCOMPARE(usableOfChannel2(), c.usable);
            for (const char *name : {"numVoltage_0", "numCurrent_2", "numOVP_2", "tbnOCP_0"})
                QVERIFY2(control(name)->isEnabled(), name);
            if (c.mode == sim::Coupling::Parallel) { // channel 2's readouts stay blank
                w->supply()->takeAnswer({Commands::Query::MeasVolt, 2}, QStringLiteral("1.000V"));
                QCOMPARE(control<QLineEdit>("txtVoltage_1")->text(), QString());
            }
        }
    }

    // The auto-run range, delay and clear-error actions; auto run (from the panel) leaves
    // three controls usable and switching it off restores the mode and its locks.
    void autoRunRangeDelayAndProtection()
    {
        int before = sim->lineCount();
        onNextDialog("dlgAutoMode", fill({{"numStartMemory", 1}, {"numEndMemory", 4}, {"numCycle", 2}}));
        w->menuItem("mnuAutoMode")->trigger();
        settle();
        QCOMPARE(commandsSince(before), (QStringList{":SYST:AUTO:STAR 1", ":SYST:AUTO:END 4", ":SYST:AUTO:CYCL 2"}));
        QCOMPARE(sim->supply->autoRun().start, 1);
        QCOMPARE(sim->supply->autoRun().end, 4);
        QCOMPARE(sim->supply->autoRun().cycles, 2);
        QCOMPARE(SettingsStore::readInt(SettingKeys::EndMemory), 4);
        QCOMPARE(SettingsStore::readInt(SettingKeys::Cycle), 2);

        before = sim->lineCount();
        onNextDialog("dlgDelay", fill({{"numDelay", 15}}));
        w->toolButton("Delay")->trigger();
        settle();
        QCOMPARE(commandsSince(before), QStringList{":SYST:AUTO:DEL 15"});
        QCOMPARE(sim->supply->autoRun().delay, 15);
        QCOMPARE(SettingsStore::readInt(SettingKeys::Delay), 15);

        w->menuItem("mnuTrack")->trigger();
        settle();
        before = sim->lineCount();
        panel().findChild<QAbstractButton *>("tbnAutoRun")->click();
        QVERIFY(w->menuItem("mnuAutoRun")->isChecked() && w->toolButton("AutoRun")->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(sim->supply->autoRun().running, 10000);
        QStringList usable;
        for (QWidget *c : panel().findChildren<QWidget *>()) {
            if ((qobject_cast<QAbstractButton *>(c) || qobject_cast<NumEdit *>(c)) && c->isEnabled())
                usable << c->objectName();
        }
        usable.sort();
        QCOMPARE(usable, QStringList({"btnClearErrorOfProtection", "tbnAutoRun", "tbnOutput"}));
        w->ToggleAutoRun();
        QVERIFY(!w->menuItem("mnuAutoRun")->isChecked() && !panel().findChild<QAbstractButton *>("tbnAutoRun")->isChecked());
        settle();
        QVERIFY(!sim->supply->autoRun().running);
        QCOMPARE(commandsSince(before), (QStringList{":SYST:AUTO:STAT 1", ":SYST:AUTO:STAT 0", ":OUTP:COUP:TRAC 1"}));
        QCOMPARE(usableOfChannel2(), (QStringList{"numCurrent_1", "tbnOCP_1"}));
        QVERIFY(control("numCurrent_0")->isEnabled() && control("btnSave")->isEnabled());
        w->menuItem("mnuIndep")->trigger();
        settle();

        before = sim->lineCount();
        w->toolButton("ClearError")->trigger();
        settle();
        QCOMPARE(commandsSince(before), QStringList{":OUTP:PROT:CLE"});
    }

    // Read times: the dialog proposes 5 at first and a hand-edited 100 as 32; at most 32
    // seconds reach the engine; nothing is sent.
    void readTimesLimit()
    {
        const int before = sim->lineCount();
        QStringList shown;
        onNextDialog("dlgReadTimes", fill({{"numReadTimes", 40}}, &shown));
        w->menuItem("mnuReadTimes")->trigger();
        QCOMPARE(w->engine().ReadTimesMs, 32000);
        QCOMPARE(SettingsStore::readInt(SettingKeys::ReadTimes), 32);
        SettingsStore::write(SettingKeys::ReadTimes, QStringLiteral("100"));
        onNextDialog("dlgReadTimes", fill({{"numReadTimes", 3}}, &shown));
        w->toolButton("ReadTimes")->trigger();
        QCOMPARE(w->engine().ReadTimesMs, 3000);
        QCOMPARE(shown, (QStringList{"Read Time", "5", "Read Time", "32"}));
        QCOMPARE(sim->lineCount(), before);
    }

    // Save to memory 3, change the supply, recall 3 (the number the save used): the set
    // points come back, and the output was switched off before the recall reached the supply.
    void saveThenRecall()
    {
        QCOMPARE(sim->supply->setVoltage(1, 5.0), sim::SetResult::Ok);
        QCOMPARE(sim->supply->setCurrent(2, 1.25), sim::SetResult::Ok);
        int before = sim->lineCount();
        onNextDialog("dlgSaveData", fill({{"numMemory", 3}}));
        w->toolButton("SaveMemory")->trigger();
        settle();
        QCOMPARE(commandsSince(before), QStringList{"*SAV 3"});

        QCOMPARE(sim->supply->setVoltage(1, 9.0), sim::SetResult::Ok);
        QCOMPARE(sim->supply->setCurrent(2, 0.5), sim::SetResult::Ok);
        w->DoOutput(true);
        QTRY_VERIFY(sim->supply->outputOn());

        before = sim->lineCount();
        QStringList shown;
        onNextDialog("dlgRecallData", fill({{"numMemory", 3}}, &shown));
        w->menuItem("mnuRecallMemory")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(sim->linesSince(before).contains("*RCL 3"), 20000);
        settle();
        QCOMPARE(shown, (QStringList{"Recall Data", "3"})); // the save's number is proposed
        const QStringList commands = commandsSince(before);
        QVERIFY(commands.indexOf(":OUTP:STAT 0") >= 0);
        QVERIFY(commands.indexOf(":OUTP:STAT 0") < commands.indexOf("*RCL 3"));
        QCOMPARE(sim->supply->voltageSetpoint(1), 5.0);
        QCOMPARE(sim->supply->currentSetpoint(2), 1.25);
        QVERIFY(!sim->supply->outputOn());
        QVERIFY(!w->menuItem("mnuOutput")->isChecked() && !w->connection().QueryTimer.isActive());
        QCOMPARE(w->MainFormState(), 3);
    }

    // A cancelled dialog sends nothing and keeps the stored values, which it proposes.
    void cancelledDialogsSendNothing()
    {
        struct Case {
            QAction *action;
            const char *dialog;
            QString box;
            QStringList proposed;
        };
        const int readTimes = w->engine().ReadTimesMs;
        for (const Case &c : {Case{w->toolButton("SaveMemory"), "dlgSaveData", "numMemory", {"Save Data", "3"}},
                              Case{w->toolButton("RecallMemory"), "dlgRecallData", "numMemory", {"Recall Data", "3"}},
                              Case{w->toolButton("Delay"), "dlgDelay", "numDelay", {"Delay", "15"}},
                              Case{w->toolButton("ReadTimes"), "dlgReadTimes", "numReadTimes", {"Read Time", "3"}},
                              Case{w->menuItem("mnuAutoMode"), "dlgAutoMode", "numEndMemory", {"Auto Mode", "4"}}}) {
            const int before = sim->lineCount();
            QStringList shown;
            onNextDialog(c.dialog, fill({{c.box, 9}}, &shown, true));
            c.action->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 5000);
            settle();
            QCOMPARE(shown, c.proposed);
            QVERIFY2(sim->linesSince(before).isEmpty(), c.dialog);
        }
        QCOMPARE(w->engine().ReadTimesMs, readTimes);
        QCOMPARE(SettingsStore::readInt(SettingKeys::EndMemory), 4);
        QCOMPARE(SettingsStore::readInt(SettingKeys::Delay), 15);
    }

    // Cancelling the wait for an idle link sends no recall; the output stays off.
    void recallWaitCancelled()
    {
        w->DoOutput(true);
        QTRY_VERIFY(sim->supply->outputOn());
        sim->supply->faults().answerDelayMs = 1000; // slow answers keep the link busy
        const int before = sim->lineCount();
        QStringList waited;
        onNextDialog("dlgRecallData", fill({{"numMemory", 3}}));
        onNextDialog("dlgWaitRsp", fill({}, &waited, true));
        w->mnuRecallMemory_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!waited.isEmpty(), 10000);
        sim->supply->faults().answerDelayMs = 0;
        settle();
        QVERIFY(!sim->linesSince(before).contains("*RCL 3"));
        QVERIFY(!w->menuItem("mnuOutput")->isChecked() && !sim->supply->outputOn());
        QCOMPARE(w->MainFormState(), 3);
    }

    // In a decimal-comma locale the panel shows commas, and the supply still receives points.
    void decimalCommaLocaleStillSendsPoints()
    {
        QLocale::setDefault(QLocale(QLocale::German)); // as at start-up, before the window
        w.reset();
        w = makeWindow(true);
        QVERIFY(connect());
        settle();
        const int before = sim->lineCount();
        typeInto(control<NumEdit>("numVoltage_0"), QStringLiteral("2,5"));
        typeInto(control<NumEdit>("numOVP_0"), QStringLiteral("10,25"));
        settle();
        QCOMPARE(commandsSince(before), (QStringList{":CHAN1:VOLT 2.5", ":CHAN1:PROT:VOLT 10.25"}));
        w->supply()->takeAnswer({Commands::Query::MeasVolt, 3}, QStringLiteral("12.345V"));
        QCOMPARE(control<QLineEdit>("txtVoltage_2")->text(), QStringLiteral("12,345"));
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_MAIN(TestActions)
#include "tst_actions.moc"
