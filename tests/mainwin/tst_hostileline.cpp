// The real main window and layout 1 against a virtual supply that misbehaves: its cable is
// pulled, it stops answering, a recall lands anywhere in the polling cycle. Nothing may hang,
// stack messages or outlive what it uses.
#include "MainwinRig.h"

#include "common/Clock.h"
#include "settings/SettingsStore.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QSpinBox>
#include <QtTest>

namespace {

const QString TimeoutText = QStringLiteral("Operation Timeout, Causes Reset Now.");
const QString NoDataText = QStringLiteral("Cannot get Data from device!");
// What a recall of memory 4 sends once the link is idle: the recall, layout 1's initial
// queries, the memory query.
const QStringList RecallLines = {
    "*RCL 4", ":SYST:AUTO:STAR?", ":SYST:AUTO:END?", ":SYST:AUTO:CYCLE?", ":SYST:AUTO:DEL?",
    ":SYST:MEM?", ":CHAN1:PROT:VOLT?", ":CHAN2:PROT:VOLT?", ":CHAN3:PROT:VOLT?", ":OUTP:STAT?",
    ":OUTP:STAT 0", ":OUTP:COUP:TRAC?", ":OUTP:COUP:TRAC 0", ":SYST:AUTO:STAT?",
    ":SYST:AUTO:STAT 0", ":CHAN1:PROT:CURR?", ":OUTP:COUP:TRAC 0", ":CHAN2:PROT:CURR?",
    ":CHAN3:PROT:CURR?", ":CHAN1:VOLT?", ":CHAN2:VOLT?", ":CHAN3:VOLT?", ":CHAN1:CURR?",
    ":CHAN2:CURR?", ":CHAN3:CURR?", ":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?",
    ":CHAN2:MEAS:VOLT?", ":CHAN2:MEAS:CURR?", ":CHAN3:MEAS:VOLT?", ":CHAN3:MEAS:CURR?",
    ":SYST:MEM?"};

// The message boxes on screen now.
QList<QMessageBox *> shownBoxes()
{
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            boxes << box;
    }
    return boxes;
}

void rememberSerial(const QString &port)
{
    SettingsStore::write(SettingKeys::CommType, "RS232");
    SettingsStore::write(SettingKeys::ComPort, port);
    SettingsStore::writeInt(SettingKeys::BaudRate, 115200);
}


// Memory `n` recalled as a user does it: Recall, the number typed in its dialog, OK.
void recall(MDIForm1 &w, int n)
{
    onNextDialog("dlgRecallData", [n](QDialog *d) {
        d->findChild<QSpinBox *>(QStringLiteral("numMemory"))->setValue(n);
        pressButton(d, "OKButton");
    });
    w.mnuRecallMemory_Click();
}

} // namespace

class TestHostileLine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    // The cable is pulled while the panel polls: within a second the window is reset and the
    // real message box says so; pressing OK touches nothing that is gone. Once the supply is
    // back on its line, the on-line button connects again.
    void pulledCableThenOnLineAgain()
    {
        SimSupply sim(QStringLiteral("XPP-3202"));
        rememberSerial(sim.port());
        auto w = makeWindow(true);
        w->toolButton("OnOffLine")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->OperatorForm() && w->OperatorForm()->isVisible(), 20000);
        w->DoOutput(true);
        const int polled = sim.lineCount();
        QTRY_VERIFY_WITH_TIMEOUT(sim.lineCount() > polled + 6, 10000);

        QElapsedTimer pulled;
        pulled.start();
        sim.server->dropLink();
        QTRY_VERIFY_WITH_TIMEOUT(!shownBoxes().isEmpty(), 1000);
        QMessageBox *box = shownBoxes().first();
        QVERIFY(pulled.elapsed() < 1000 && shownBoxes().size() == 1 && box->text() == TimeoutText);
        QCOMPARE(w->MainFormState(), 0);  // reset before the message shows
        QVERIFY(!w->OperatorForm() && !w->connection().QueryTimer.isActive());
        QTest::qWait(300);  // nothing stacks behind it
        QCOMPARE(shownBoxes().size(), 1);
        box->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(shownBoxes().isEmpty());

        QVERIFY(sim.replug());
        const int before = sim.lineCount();
        w->toolButton("OnOffLine")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->OperatorForm() && w->OperatorForm()->isVisible(), 20000);
        QCOMPARE(w->MainFormState(), 3);
        QCOMPARE(sim.linesSince(before).mid(0, 2), (QStringList{"REMOTE", "*IDN?"}));
        QVERIFY(shownBoxes().isEmpty());
    }

    // The link is reset (a time-out after a pulled cable) while Record Setup is open, from the
    // Record menu and from the graph's Period button: OK afterwards touches no window the
    // reset closed.
    void resetUnderRecordSetup()
    {
        InstalledPrompter prompter;
        SimSupply sim(QStringLiteral("XPP-3202"));
        auto w = makeWindow(true);
        for (bool fromGraph : {false, true}) {
            QVERIFY(connectTo(*w, sim));
            QTRY_VERIFY_WITH_TIMEOUT(w->tableDataForm1(), 20000);
            QPointer<frmGraphicRecord> graph;
            if (fromGraph) {
                w->menuItem("mnuWave")->trigger();
                graph = w->waveForm1();
                QVERIFY(graph);
            }
            onNextDialog(QStringLiteral("dlgRecordLength"), [&w](QDialog *dlg) {
                w->connection().OperationTimeout();
                pressButton(dlg, "OKButton");
            });
            if (graph)
                graph->cmdPeriod_Click();
            else
                w->menuItem("mnuRecordPeriod")->trigger();
            QVERIFY(w->MainFormState() == 0 && !w->tableDataForm1());
            QTRY_VERIFY(!graph);
        }
    }

    // The supply stops answering while polled: one message, however long it lasts; the
    // output can still be switched off; after 20 s of silence the link is reset as for a
    // pulled cable. Answering again, it is reconnected by the on-line button.
    void silentSupplyThenBack()
    {
        InstalledPrompter prompter;
        FakeClock clock;
        ScopedClock scopedClock(clock);
        SimSupply sim("XPP-3202");
        rememberSerial(sim.port());
        auto w = makeWindow(true);
        QVERIFY(connectTo(*w, sim));
        w->DoOutput(true);
        QTRY_VERIFY(sim.supply->outputOn());

        sim.supply->faults().dropAnswers = 1 << 30;
        QTRY_COMPARE_WITH_TIMEOUT(prompter.messageTexts(), QStringList{NoDataText}, 5000);
        const int silentFrom = sim.lineCount();
        QTRY_VERIFY_WITH_TIMEOUT(sim.lineCount() > silentFrom + 5, 10000);  // still polling
        QCOMPARE(prompter.messageTexts(), QStringList{NoDataText});

        w->DoOutput(false);
        QTRY_VERIFY_WITH_TIMEOUT(sim.linesSince(silentFrom).contains(":OUTP:STAT 0") && !sim.supply->outputOn(), 5000);
        QCOMPARE(w->MainFormState(), 3);

        w->DoOutput(true);  // asking again, 21 s into the silence
        clock.advanceMs(21000);
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 0, 5000);
        QCOMPARE(prompter.messageTexts(), (QStringList{NoDataText, TimeoutText}));

        sim.supply->faults().dropAnswers = 0;
        w->toolButton("OnOffLine")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 3, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(w->OperatorForm() && w->OperatorForm()->isVisible(), 20000);
    }

    // A memory recall started at each of the twelve steps of layout 1's polling cycle goes
    // through: the output is switched off, the rest of the polling already queued is
    // answered, then the supply gets the recall (for memory 4: followed by the initial
    // queries and the memory query, in this order and nothing else); the window stays
    // connected, no time-out.
    void recallAtEveryStepOfTheCycle()
    {
        InstalledPrompter prompter;
        SimSupply sim("XPP-3202");
        auto w = makeWindow(true);
        QVERIFY(connectTo(*w, sim));
        for (int step = 0; step < 12; ++step) {
            w->DoOutput(true);
            QTRY_VERIFY_WITH_TIMEOUT(sim.supply->outputOn(), 10000);
            QTRY_VERIFY_WITH_TIMEOUT(w->supply()->pollIndex() == step, 10000);
            const int before = sim.lineCount();
            recall(*w, step % 10);
            const QString recall = QStringLiteral("*RCL %1").arg(step % 10);
            QTRY_VERIFY2_WITH_TIMEOUT(sim.linesSince(before).contains(recall), qPrintable(recall), 10000);
            QTRY_VERIFY_WITH_TIMEOUT(w->engine().isIdle() && !w->findChild<QDialog *>("dlgWaitRsp")->isVisible(), 10000);
            if (step == 4)
                QTest::qWait(300);  // nothing follows
            const QStringList lines = sim.linesSince(before);
            const qsizetype off = lines.indexOf(":OUTP:STAT 0"), recalled = lines.indexOf(recall);
            QVERIFY2(off >= 0 && off < recalled, qPrintable(recall));
            for (qsizetype i = off + 1; i < recalled; ++i)
                QVERIFY2(lines[i].endsWith('?'), qPrintable(lines[i]));
            if (step == 4)
                QCOMPARE(lines.mid(recalled), RecallLines);
            QVERIFY(!sim.supply->outputOn());
            QCOMPARE(w->MainFormState(), 3);
        }
        QVERIFY(prompter.messages.isEmpty());
    }

    // The cable is pulled while a recall waits for the link to become idle: the window is
    // reset with one message, the busy box closes, no recall is sent and nothing hangs; the
    // supply back on its line, the window connects and recalls again.
    void cablePulledDuringRecall()
    {
        InstalledPrompter prompter;
        SimSupply sim("XPP-3202");
        rememberSerial(sim.port());
        auto w = makeWindow(true);
        QVERIFY(connectTo(*w, sim));
        w->DoOutput(true);
        QTRY_VERIFY(sim.supply->outputOn());
        sim.supply->faults().answerDelayMs = 1000;  // slow answers keep the link busy
        const int before = sim.lineCount();
        recall(*w, 2);
        auto *busy = w->findChild<QDialog *>("dlgWaitRsp");
        QTRY_VERIFY_WITH_TIMEOUT(busy->isVisible(), 10000);
        sim.server->dropLink();
        QTRY_COMPARE_WITH_TIMEOUT(w->MainFormState(), 0, 5000);
        QTRY_VERIFY(!busy->isVisible());
        QTest::qWait(300);
        QVERIFY(!busy->isVisible() && !sim.linesSince(before).contains("*RCL 2"));
        QCOMPARE(prompter.messageTexts(), QStringList{TimeoutText});
        QVERIFY(!w->engine().Clearing && w->engine().isIdle() && !w->connection().QueryTimer.isActive());

        sim.supply->faults().answerDelayMs = 0;
        QVERIFY(sim.replug());
        w->toolButton("OnOffLine")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->OperatorForm() && w->OperatorForm()->isVisible(), 20000);
        const int again = sim.lineCount();
        recall(*w, 2);
        QTRY_VERIFY_WITH_TIMEOUT(sim.linesSince(again).contains("*RCL 2"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(w->engine().isIdle() && !busy->isVisible(), 10000);
        QCOMPARE(w->MainFormState(), 3);
    }
};

QTEST_MAIN(TestHostileLine)
#include "tst_hostileline.moc"
