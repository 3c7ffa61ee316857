// The instrument actions of the main window against the virtual supply XPP-3202 with the
// real layout 1 and the real action dialogs: what the supply receives, what it ends in, what
// the panel shows and what the dialogs remember.
#include "MainwinRig.h"

#include "link/transport/SerialTransport.h"
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

} // namespace

class TestActions : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<SimSupply> sim;
    std::unique_ptr<MDIForm1> w;
    InstalledPrompter prompter;
    int linesBeforeConnect = 0;

    // Waits until every queued task has been written and answered, and the supply has read
    // every line written (the pseudo-terminal hands bytes over a moment later).
    bool settled()
    {
        return QTest::qWaitFor([this] {
            const auto *link = qobject_cast<const SerialTransport *>(w->engine().serialIo());
            return w->engine().isIdle() && link && sim->lineCount() - linesBeforeConnect == int(link->linesSent());
        }, 20000);
    }
    void settle() { QVERIFY(settled()); }
    // The commands the supply received for `act`, once everything settled.
    QStringList sentFor(const std::function<void()> &act)
    {
        const int before = sim->lineCount();
        act();
        return settled() ? sim->commandsSince(before) : QStringList{"<not settled>"};
    }
    // Connects the window, counting the supply's lines from here.
    bool connect()
    {
        linesBeforeConnect = sim->lineCount();
        return connectTo(*w, *sim);
    }
    template<class T = QWidget>
    T *control(const QString &name) { return w->OperatorForm()->findChild<T *>(name); }
    QAbstractButton *button(const QString &name) { return control<QAbstractButton>(name); }
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

    // Identified to layout 1 and its dialect, the initial values fill the panel. Output on starts polling: readouts follow the
    // supply, read-backs send nothing and the status step of the cycle (the error queue in
    // this dialect) does not stall it; off stops polling at once and clears the readouts.
    void initialValuesThenOutputControlsPolling()
    {
        QVERIFY(w->OperatorForm()->layoutNumber() == 1 && w->connection().dialect() == Commands::DialectChannelScpi);
        QVERIFY(w->menuItem("mnuGPIB")->isEnabled());
        QCOMPARE(textOf(w->OperatorForm(), "txtCommType"), QStringLiteral("RS-232 115200BPS / 8bits/None/1bits"));
        QCOMPARE((QList<double>{control<NumEdit>("numVoltage_0")->value(), control<NumEdit>("numCurrent_1")->value(),
                                control<NumEdit>("numOVP_2")->value()}),
                 (QList<double>{12.5, 0.75, 6.5}));
        QVERIFY(button("tbnOCP_2")->isChecked() && !button("tbnOCP_0")->isChecked());

        int before = sim->lineCount();
        sim->supply->setLoad(1, 10);
        const int start = w->supply()->pollIndex();
        w->menuItem("mnuOutput")->trigger();
        QVERIFY(w->menuItem("mnuOutput")->isChecked() && w->toolButton("Output")->isChecked());
        QVERIFY(button("tbnOutput")->isChecked() && w->menuItem("mnuRecord")->isEnabled());
        QVERIFY(w->connection().QueryTimer.isActive());
        auto *readout = control<QLineEdit>("txtVoltage_0");
        QTRY_COMPARE_WITH_TIMEOUT(readout->text(), QStringLiteral("12.500"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(textOf(w->OperatorForm(), "txtCurrent_0"), QStringLiteral("1.250"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(sim->linesSince(before).contains(":CHAN2:VOLT?"), 10000);
        // Past the status step (the 7th of 12) and on, with the ring not filling up.
        QTRY_VERIFY_WITH_TIMEOUT(w->supply()->pollIndex() >= start + 14, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(w->engine().QueryCount < 3, 10000);
        QCOMPARE(sim->commandsSince(before), QStringList{":OUTP:STAT 1"});
        QVERIFY(sim->supply->outputOn());
        sim->supply->setVoltage(1, 6);
        QTRY_COMPARE_WITH_TIMEOUT(readout->text(), QStringLiteral("6.000"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(control<NumEdit>("numVoltage_0")->value(), 6.0, 10000);

        button("tbnOutput")->click();
        QVERIFY(!w->menuItem("mnuOutput")->isChecked() && !w->toolButton("Output")->isChecked());
        QVERIFY(!w->connection().QueryTimer.isActive() && !w->menuItem("mnuRecord")->isEnabled());
        settle();
        QVERIFY(!sim->supply->outputOn());
        QCOMPARE(readout->text() + textOf(w->OperatorForm(), "txtCurrent_0"), QString());
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
        QCOMPARE(sentFor([this] {
                     for (const char *text : {"5", "0.1234", "-2"})
                         typeInto(control("numVoltage_1"), QLatin1String(text));
                     QTest::mouseClick(control("tbnOCP_2"), Qt::LeftButton);
                 }),
                 (QStringList{":CHAN2:VOLT 5", ":CHAN2:VOLT 0.123", ":CHAN3:PROT:CURR 0"}));
        QVERIFY(sim->supply->voltageSetpoint(2) == 0.123 && !sim->supply->ocpEnabled(3));
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
            QCOMPARE(sentFor([&] { w->menuItem(c.item)->trigger(); }), QStringList{c.command});
            QVERIFY(sim->supply->coupling() == c.mode);
            for (const char *item : {"mnuIndep", "mnuParallel", "mnuTrack"})
                QCOMPARE(w->menuItem(item)->isChecked(), qstrcmp(item, c.item) == 0);
            QVERIFY(button(c.option)->isChecked());
            QCOMPARE(usableOfChannel2(), c.usable);
            for (const char *name : {"numVoltage_0", "numCurrent_2", "numOVP_2", "tbnOCP_0"})
                QVERIFY2(control(name)->isEnabled(), name);
            if (c.mode == sim::Coupling::Parallel) { // channel 2's readouts stay blank
                w->supply()->takeAnswer({Commands::Query::MeasVolt, 2}, QStringLiteral("1.000V"));
                QCOMPARE(textOf(w->OperatorForm(), "txtVoltage_1"), QString());
            }
        }
    }

    // The auto-run range, delay and clear-error actions; auto run (from the panel) leaves
    // three controls usable and switching it off restores the mode and its locks.
    void autoRunRangeDelayAndProtection()
    {
        onNextDialog("dlgAutoMode", fill({{"numStartMemory", 1}, {"numEndMemory", 4}, {"numCycle", 2}}));
        QCOMPARE(sentFor([this] { w->menuItem("mnuAutoMode")->trigger(); }),
                 (QStringList{":SYST:AUTO:STAR 1", ":SYST:AUTO:END 4", ":SYST:AUTO:CYCL 2"}));
        const auto autoRun = sim->supply->autoRun();
        QCOMPARE((QList<int>{autoRun.start, autoRun.end, autoRun.cycles, SettingsStore::readInt(SettingKeys::EndMemory),
                             SettingsStore::readInt(SettingKeys::Cycle)}),
                 (QList<int>{1, 4, 2, 4, 2}));

        onNextDialog("dlgDelay", fill({{"numDelay", 15}}));
        QCOMPARE(sentFor([this] { w->toolButton("Delay")->trigger(); }), QStringList{":SYST:AUTO:DEL 15"});
        QCOMPARE((QList<int>{sim->supply->autoRun().delay, SettingsStore::readInt(SettingKeys::Delay)}), (QList<int>{15, 15}));

        w->menuItem("mnuTrack")->trigger();
        settle();
        const int before = sim->lineCount();
        button("tbnAutoRun")->click();
        QVERIFY(w->menuItem("mnuAutoRun")->isChecked() && w->toolButton("AutoRun")->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(sim->supply->autoRun().running, 10000);
        QStringList usable;
        for (QWidget *c : w->OperatorForm()->findChildren<QWidget *>()) {
            if ((qobject_cast<QAbstractButton *>(c) || qobject_cast<NumEdit *>(c)) && c->isEnabled())
                usable << c->objectName();
        }
        usable.sort();
        QCOMPARE(usable, QStringList({"btnClearErrorOfProtection", "tbnAutoRun", "tbnOutput"}));
        w->ToggleAutoRun();
        QVERIFY(!w->menuItem("mnuAutoRun")->isChecked() && !button("tbnAutoRun")->isChecked());
        settle();
        QVERIFY(!sim->supply->autoRun().running);
        QCOMPARE(sim->commandsSince(before), (QStringList{":SYST:AUTO:STAT 1", ":SYST:AUTO:STAT 0", ":OUTP:COUP:TRAC 1"}));
        QCOMPARE(usableOfChannel2(), (QStringList{"numCurrent_1", "tbnOCP_1"}));
        QVERIFY(control("numCurrent_0")->isEnabled() && control("btnSave")->isEnabled());
        w->menuItem("mnuIndep")->trigger();
        settle();

        QCOMPARE(sentFor([this] { w->toolButton("ClearError")->trigger(); }), QStringList{":OUTP:PROT:CLE"});
    }

    // Read times: the dialog proposes 5 at first and a hand-edited 100 as 32; at most 32
    // seconds reach the engine; nothing is sent.
    void readTimesLimit()
    {
        const int before = sim->lineCount();
        QStringList shown;
        onNextDialog("dlgReadTimes", fill({{"numReadTimes", 40}}, &shown));
        w->menuItem("mnuReadTimes")->trigger();
        QCOMPARE((QList<int>{w->engine().ReadTimesMs, SettingsStore::readInt(SettingKeys::ReadTimes)}), (QList<int>{32000, 32}));
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
        QVERIFY(sim->supply->setVoltage(1, 5.0) == sim::SetResult::Ok && sim->supply->setCurrent(2, 1.25) == sim::SetResult::Ok);
        onNextDialog("dlgSaveData", fill({{"numMemory", 3}}));
        QCOMPARE(sentFor([this] { w->toolButton("SaveMemory")->trigger(); }), QStringList{"*SAV 3"});

        QVERIFY(sim->supply->setVoltage(1, 9.0) == sim::SetResult::Ok && sim->supply->setCurrent(2, 0.5) == sim::SetResult::Ok);
        w->DoOutput(true);
        QTRY_VERIFY(sim->supply->outputOn());

        const int before = sim->lineCount();
        QStringList shown;
        onNextDialog("dlgRecallData", fill({{"numMemory", 3}}, &shown));
        w->menuItem("mnuRecallMemory")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(sim->linesSince(before).contains("*RCL 3"), 20000);
        settle();
        QCOMPARE(shown, (QStringList{"Recall Data", "3"})); // the save's number is proposed
        const QStringList commands = sim->commandsSince(before);
        QVERIFY(commands.indexOf(":OUTP:STAT 0") >= 0 && commands.indexOf(":OUTP:STAT 0") < commands.indexOf("*RCL 3"));
        QCOMPARE((QList<double>{sim->supply->voltageSetpoint(1), sim->supply->currentSetpoint(2)}), (QList<double>{5.0, 1.25}));
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
        QCOMPARE((QList<int>{w->engine().ReadTimesMs, SettingsStore::readInt(SettingKeys::EndMemory),
                             SettingsStore::readInt(SettingKeys::Delay)}),
                 (QList<int>{readTimes, 4, 15}));
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
        QCOMPARE(sentFor([this] {
                     typeInto(control("numVoltage_0"), QStringLiteral("2,5"));
                     typeInto(control("numOVP_0"), QStringLiteral("10,25"));
                 }),
                 (QStringList{":CHAN1:VOLT 2.5", ":CHAN1:PROT:VOLT 10.25"}));
        w->supply()->takeAnswer({Commands::Query::MeasVolt, 3}, QStringLiteral("12.345V"));
        QCOMPARE(textOf(w->OperatorForm(), "txtVoltage_2"), QStringLiteral("12,345"));
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_MAIN(TestActions)
#include "tst_actions.moc"
