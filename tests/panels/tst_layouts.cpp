// Every catalogue type inside the real main window: one flow per type against the virtual
// supply on a pseudo-terminal (identification to its layout and dialect, initial queries, polling cycle, a typed set
// point, a mode change, save and recall while polling), and the panels' decoding of answers
// in the testing mode without a supply. Wire texts are stated here, not taken from the
// program's command table.
#include "MainwinRig.h"

#include "panels/NumEdit.h"
#include "panels/TextBox.h"
#include "settings/SettingsStore.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QtTest>

namespace {

// Types into whatever has the focus in the next number dialog, then Enter: what a user does
// who trusts the dialog to open on its number.
void answerNextDialog(const QString &dialog, const QString &typed, bool *shown)
{
    onNextDialog(dialog, [=](QDialog *d) {
        *shown = true;
        QWidget *focus = d->focusWidget();
        QVERIFY(focus);
        QTest::keyClicks(focus, typed);
        QTest::keyClick(focus, Qt::Key_Return);
        if (d->isVisible())
            pressButton(d, "CancelButton"); // Enter did not confirm: fail below, not hang
    });
}

// A click on an option's indicator (a radio button takes clicks on its indicator and its
// caption only, not on the empty rest of its row).
void clickOption(QWidget *option)
{
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
}

QStringList queries(const QStringList &lines) { return lines.filter(QStringLiteral("?")); }

// The window in the testing mode (no supply) with the panel of `type`; the engine's writer
// is stopped, so queued tasks stay where the test can read them.
std::unique_ptr<MDIForm1> menuWindow(const QString &type)
{
    auto w = makeWindow(true);
    w->Setup("Menu", type, false);
    w->engine().writerTimer().stop();
    return w;
}

// Editors of the panel that are not usable, by name, sorted.
QStringList lockedEditors(QWidget &panel)
{
    QStringList out;
    for (QWidget *w : panel.findChildren<QWidget *>()) {
        const QString n = w->objectName();
        if ((n.startsWith("num") || n.startsWith("tbnOCP")) && n != "numSet" && !w->isEnabled())
            out << n;
    }
    out.sort();
    return out;
}

// The supply's answer to query `q` of channel `ch`, decoded as if it had just arrived.
void answer(FrontPanel &panel, Commands::Query q, int ch, const QString &text)
{
    panel.supply().takeAnswer({q, ch}, text);
}

QAbstractButton *button(QWidget &panel, const QString &name) { return panel.findChild<QAbstractButton *>(name); }

QStringList words(const QString &text) { return text.split(QLatin1Char(' '), Qt::SkipEmptyParts); }

// One catalogue type's flow. Lists of wire texts are written space-separated (mode commands,
// which hold blanks, separated by '|').
struct Flow {
    QString type;
    int layout;
    bool decimalComma; // run on a decimal-comma system: readouts with commas, points on the wire
    QString initial;   // the initial queries, in order
    QString cycle;     // one polling cycle from its start
    QString outputOn;
    QString editor;    // where a set point is typed
    QString typed, sent, maximum;
    QString option;    // the coupling option clicked
    QString modeCommands, locked;
    QString save, recall;
};

QList<Flow> flows()
{
    const Flow zep2303{"ZEP-2303", 3, false, "VSET1? VSET2? ISET1? ISET2? VOUT1? IOUT1? VOUT2? IOUT2? STATUS?",
                       "VOUT1? IOUT1? VOUT2? IOUT2?", "OUT1", "numVoltage_0", "2", "VSET1:2", "30", "optParal",
                       "TRACK2", "numCurrent_1 numVoltage_1", "SAV3", "RCL3"};
    Flow zep2306 = zep2303; // the same panel and dialect
    zep2306.type = "ZEP-2306";
    return {
        {"XPP-3201", 1, false,
         ":SYST:AUTO:STAR? :SYST:AUTO:END? :SYST:AUTO:CYCLE? :SYST:AUTO:DEL? :SYST:MEM? "
         ":CHAN1:PROT:VOLT? :CHAN2:PROT:VOLT? :CHAN3:PROT:VOLT? :OUTP:STAT? :OUTP:COUP:TRAC? "
         ":SYST:AUTO:STAT? :CHAN1:PROT:CURR? :CHAN2:PROT:CURR? :CHAN3:PROT:CURR? :CHAN1:VOLT? "
         ":CHAN2:VOLT? :CHAN3:VOLT? :CHAN1:CURR? :CHAN2:CURR? :CHAN3:CURR? :CHAN1:MEAS:VOLT? "
         ":CHAN1:MEAS:CURR? :CHAN2:MEAS:VOLT? :CHAN2:MEAS:CURR? :CHAN3:MEAS:VOLT? :CHAN3:MEAS:CURR?",
         ":CHAN1:MEAS:VOLT? :CHAN1:MEAS:CURR? :CHAN2:MEAS:VOLT? :CHAN2:MEAS:CURR? :CHAN3:MEAS:VOLT? "
         ":CHAN3:MEAS:CURR? :SYST:ERR? :CHAN1:VOLT? :CHAN2:VOLT? :CHAN3:VOLT? :CHAN1:CURR? :CHAN2:CURR?",
         ":OUTP:STAT 1", "numVoltage_1", "2.5", ":CHAN2:VOLT 2.5", "32", "optTrack",
         ":OUTP:COUP:TRAC 1", "numOVP_1 numVoltage_1", "*SAV 3", "*RCL 3"},
        {"XPP-1501", 2, false,
         ":CHAN1:PROT:VOLT? :OUTP:STAT? :CHAN1:PROT:CURR? :CHAN1:VOLT? :CHAN1:CURR? "
         ":CHAN1:MEAS:VOLT? :CHAN1:MEAS:CURR?",
         ":CHAN1:MEAS:VOLT? :CHAN1:MEAS:CURR? :SYST:ERR?", ":OUTP:STAT 1", "numVoltage_0", "2.5",
         ":CHAN1:VOLT 2.5", "15", "optParal", ":OUTP:COUP:TRAC 2",
         "numCurrent_0 numOVP_0 numVoltage_0", "*SAV 3", "*RCL 3"},
        {"SPP-KRX72", 2, true, ":VOLT:PROT? :OUTP:STAT? :CURR:PROT? :VOLT? :CURR? :MEAS:VOLT? :MEAS:CURR? SYST:CONF:MSL?",
         ":MEAS:VOLT? :MEAS:CURR? :SYST:ERR?", ":OUTP:STAT 1", "numVoltage_0", "2,5", ":VOLT 2.5", "72",
         "optTrack", "SYST:CONF:MSL 1", "numOVP_0 numVoltage_0", "*SAV 3", "*RCL 3"},
        {"SPP-KRX20", 2, false, ":VOLT:PROT? :OUTP:STAT? :CURR:PROT? :VOLT? :CURR? :MEAS:VOLT? :MEAS:CURR? SYST:CONF:MSL?",
         ":MEAS:VOLT? :MEAS:CURR? :SYST:ERR?", ":OUTP:STAT 1", "numVoltage_0", "1.25", ":VOLT 1.25", "20",
         "optParal", "SYST:CONF:MSL 1", "numCurrent_0 numOVP_0 numVoltage_0", "*SAV 3", "*RCL 3"},
        zep2303, zep2306,
        {"ZEP-4303", 4, false,
         "VSET1? VSET2? VSET3? VSET4? ISET1? ISET2? ISET3? ISET4? VOUT1? IOUT1? VOUT2? IOUT2? VOUT3? "
         "IOUT3? VOUT4? IOUT4? STATUS?",
         "VOUT1? IOUT1? VOUT2? IOUT2? VSET1? VSET2? ISET1? ISET2? STATUS? VOUT3? IOUT3? VOUT4? IOUT4? "
         "VSET3? VSET4? ISET3? ISET4?",
         "OUT1", "numVoltage_2", "2", "VSET3:2.0", "10.001", "optTrack", "TRACK1|OUT0", "numVoltage_1",
         "SAV3", "RCL3"},
    };
}

} // namespace

Q_DECLARE_METATYPE(Flow)

class TestLayouts : public QObject
{
    Q_OBJECT
private:
    InstalledPrompter prompter;

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateUserFolders();
        SettingsStore::writeInt(SettingKeys::Memory, 5); // the dialogs propose 5 at first
    }

    void init() { prompter.clear(); }

    void endToEnd_data()
    {
        QTest::addColumn<Flow>("flow");
        for (const Flow &f : flows())
            QTest::newRow(qPrintable(f.type)) << f;
    }

    void endToEnd()
    {
        QFETCH(Flow, flow);
        const auto &[type, layout, decimalComma, initialText, cycleText, outputOn, editor, typed, sent,
                     maximum, option, modeText, lockedText, save, recall] = flow;
        const QStringList initial = words(initialText), cycle = words(cycleText);
        const QStringList modeCommands = modeText.split(QLatin1Char('|'));
        const QStringList locked = words(lockedText);

        QLocale::setDefault(decimalComma ? QLocale(QLocale::German) : QLocale::c());
        SimSupply sim(type);
        sim.supply->setVoltage(1, 5);       // 0.5 A into the 10 ohm load
        sim.supply->saveMemory(3);          // memory 3 holds 5 V
        auto w = makeWindow(true);
        QVERIFY(connectTo(*w, sim));
        FrontPanel &panel = *w->OperatorForm();
        auto control = [&](const QString &name) { return panel.findChild<NumEdit *>(name); };
        // Everything queued so far has been written, and read by the supply: a marker query
        // queued last has its answer.
        auto settle = [&] {
            QTRY_VERIFY_WITH_TIMEOUT(w->engine().isIdle(), 20000);
            QObject marker;
            QVERIFY(w->engine().ExecQueryTask("*IDN?", 5, &marker,
                                              [&marker](const QString &a) { marker.setObjectName(a); }));
            QTRY_VERIFY_WITH_TIMEOUT(!marker.objectName().isEmpty(), 20000);
        };
        settle();

        // Identification and the initial queries, in order.
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(panel.layoutNumber()).arg(panel.objectName(), w->windowTitle()),
                 QStringLiteral("%1 frmLayout%1 %2").arg(layout).arg(type));
        QCOMPARE(w->waveForm1()->channels(), panel.channelCount());
        const auto dialect = type.startsWith("XPP") ? Commands::DialectChannelScpi
            : type.startsWith("SPP")                 ? Commands::DialectPlainScpi
                                                     : Commands::DialectShort;
        QVERIFY(w->connection().dialect() == dialect && w->menuItem("mnuGPIB")->isEnabled() == (layout < 3));
        const QStringList lines = sim.linesSince(0);
        QStringList asked = queries(lines.mid(lines.indexOf("*IDN?") + 1));
        asked.removeAll("*IDN?"); // the test's marker
        QCOMPARE(asked, initial);
        QCOMPARE(control("numVoltage_0")->value(), 5.0);

        // The polling cycle from its start, and live readings.
        int mark = sim.lineCount();
        button(panel, "tbnOutput")->click();
        QTRY_VERIFY_WITH_TIMEOUT(queries(sim.linesSince(mark)).size() > cycle.size(), 20000);
        QCOMPARE(sim.commandsSince(mark), QStringList{outputOn});
        QCOMPARE(queries(sim.linesSince(mark)).mid(0, cycle.size()), cycle);
        QTRY_COMPARE_WITH_TIMEOUT(textOf(&panel, "txtVoltage_0") + ' ' + textOf(&panel, "txtCurrent_0"),
                                  QString(decimalComma ? "5,000 0,500" : "5.000 0.500"), 10000);

        // A typed set point and its exact command; a number above the maximum is refused.
        mark = sim.lineCount();
        typeInto(control(editor), typed);
        typeInto(control(editor), QStringLiteral("999"));
        QTRY_VERIFY_WITH_TIMEOUT(sim.linesSince(mark).contains(sent), 10000);
        QCOMPARE(sim.commandsSince(mark), QStringList{sent});
        QCOMPARE(control(editor)->value(), QLocale().toDouble(typed));
        QTRY_VERIFY_WITH_TIMEOUT(w->statusText().contains("at most " + maximum + " V"), 5000);

        // A mode change: its command and the editors it locks; the supply is in that mode.
        mark = sim.lineCount();
        prompter.answers = {false, true}; // the one-channel panel warns first: No, then Yes
        clickOption(button(panel, option));
        if (layout == 2) {
            QVERIFY(prompter.questions.size() == 1 && !button(panel, option)->isChecked());
            clickOption(button(panel, option));
            QCOMPARE(prompter.questions.size(), 2);
        }
        settle();
        QVERIFY(button(panel, option)->isChecked());
        QCOMPARE(sim.commandsSince(mark), modeCommands);
        QCOMPARE(lockedEditors(panel), locked);
        if (layout == 4) { // the mode in force again: nothing is sent
            mark = sim.lineCount();
            clickOption(button(panel, option));
            settle();
            QVERIFY(sim.commandsSince(mark).isEmpty() && panel.supply().coupling() == Commands::CouplingTrack);
        }
        QVERIFY(prompter.messages.isEmpty());
        mark = sim.lineCount();
        clickOption(button(panel, "optIndep"));
        settle();
        QCOMPARE(lockedEditors(panel), QStringList());
        if (!button(panel, "tbnOutput")->isChecked())
            button(panel, "tbnOutput")->click();
        QTRY_VERIFY(sim.supply->outputOn());

        // 5 V saved to memory 3 with the number typed into the dialog; then, while polling,
        // 7 V typed and memory 3 recalled: the editor shows 5 V again, also where the
        // read-back equals the last one the panel received before 7 V was typed.
        auto *volts = control("numVoltage_0");
        typeInto(volts, QStringLiteral("5"));
        bool shown = false;
        mark = sim.lineCount();
        answerNextDialog("dlgSaveData", "3", &shown);
        QTest::mouseClick(button(panel, "btnSave"), Qt::LeftButton);
        QVERIFY(shown);
        settle();
        QVERIFY(sim.commandsSince(mark).contains(save));
        QTRY_VERIFY(sim.supply->outputOn());
        typeInto(volts, QStringLiteral("7"));
        QTRY_COMPARE_WITH_TIMEOUT(sim.supply->voltageSetpoint(1), 7.0, 10000);
        shown = false;
        mark = sim.lineCount();
        answerNextDialog("dlgRecallData", "3", &shown);
        QTest::mouseClick(button(panel, "btnRecall"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(shown, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(sim.linesSince(mark).contains(recall), 20000);
        settle();
        QTRY_COMPARE_WITH_TIMEOUT(volts->value(), 5.0, 10000);
        QVERIFY(sim.supply->voltageSetpoint(1) == 5.0 && !sim.supply->outputOn() && w->MainFormState() == 3);
        QLocale::setDefault(QLocale::c());
    }

    // A multi-unit supply already set to two units: its configuration is read before
    // anything writes it and shown; 0 typed as the unit number is local operation, sent and
    // unlocking the editors; parallel again sends at least one unit.
    void multiUnitReadFirst()
    {
        SimSupply sim("SPP-KRX20");
        QCOMPARE(sim.supply->setMultiUnit(2), sim::SetResult::Ok);
        auto w = makeWindow(true);
        QVERIFY(connectTo(*w, sim));
        QWidget &panel = *w->OperatorForm();
        QTRY_VERIFY_WITH_TIMEOUT(button(panel, "optParal")->isChecked(), 10000);
        const QStringList atConnect = sim.linesSince(0);
        const QStringList written = atConnect.filter(QRegularExpression("^SYST:CONF:MSL \\d"));
        QVERIFY2(atConnect.contains("SYST:CONF:MSL?") && written.isEmpty(), qPrintable(atConnect.join(' ')));
        auto *units = panel.findChild<NumEdit *>("numSet");
        QVERIFY(units->value() == 2.0 && units->isEnabled() && panel.findChild<QLabel *>("lblSet")->buddy() == units);
        QCOMPARE(lockedEditors(panel), (QStringList{"numCurrent_0", "numOVP_0", "numVoltage_0"}));

        int mark = sim.lineCount();
        typeInto(units, "0");
        QTRY_VERIFY_WITH_TIMEOUT(sim.linesSince(mark).contains("SYST:CONF:MSL 0"), 10000);
        QCOMPARE(sim.commandsSince(mark), QStringList{"SYST:CONF:MSL 0"});
        QVERIFY(button(panel, "optIndep")->isChecked() && !units->isEnabled());
        QCOMPARE(lockedEditors(panel), QStringList());
        QTRY_COMPARE(sim.supply->multiUnit(), 0);

        mark = sim.lineCount();
        prompter.answers = {true};
        clickOption(button(panel, "optParal"));
        QTRY_VERIFY_WITH_TIMEOUT(sim.linesSince(mark).contains("SYST:CONF:MSL 1"), 10000);
        QCOMPARE(sim.commandsSince(mark), QStringList{"SYST:CONF:MSL 1"});
        QVERIFY(!sim.linesSince(mark).contains("SYST:CONF:MSL?")); // read once, at connect
    }

    // The SCPI panels poll the error queue (layout 1 in the step its dialect has no status
    // word for): an error answer switches the output off and is shown once the engine's step
    // is done, on one line of printable text whatever bytes the supply sent.
    void errorAnswerSwitchesOutputOff()
    {
        const QString range = "Error detected: '-222,\"Data out of range\"'";
        const struct {
            const char *type;
            QList<std::pair<QString, QString>> errors; // sent, shown
        } cases[] = {{"XPP-3202",
                      {{"Data out of range", range},
                       {QString(300, QLatin1Char('A')), "Error detected: '-222,\"" + QString(71, QLatin1Char('A')) + "...'"}}},
                     {"SPP-KRX20",
                      {{"Data out of range", range},
                       {QString::fromLatin1("\x07\x1b[2J\xff\x01\\x"), "Error detected: '-222,\"\\x07\\x1B[2J\\xFF\\x01\\\\x\"'"}}}};
        for (const auto &c : cases) {
            SimSupply sim{QLatin1String(c.type)};
            auto w = makeWindow(true);
            QVERIFY(connectTo(*w, sim));
            for (const auto &[error, shown] : c.errors) {
                prompter.clear();
                w->DoOutput(true);
                QTRY_VERIFY(sim.supply->outputOn());
                const int mark = sim.lineCount();
                sim.supply->pushError(-222, error);
                QTRY_VERIFY_WITH_TIMEOUT(!sim.supply->outputOn(), 10000);
                QVERIFY(sim.commandsSince(mark).contains(":OUTP:STAT 0"));
                QCOMPARE(prompter.messageTexts(), QStringList{shown});
                QVERIFY(!button(*w->OperatorForm(), "tbnOutput")->isChecked() && !w->connection().QueryTimer.isActive());
            }
        }
    }

    // The short-dialect panels learn the mode and the output from the status word when they
    // connect; the four-channel panel adopts the mode without switching the output off. There,
    // output on, Recall cancelled in its dialog changes nothing, on the wire or on the panel;
    // the memory display stays blank until a memory number is known.
    void statusWordAtConnect()
    {
        for (const char *type : {"ZEP-2303", "ZEP-4303"}) {
            SimSupply sim{QLatin1String(type)};
            sim.supply->setCoupling(1);
            sim.supply->setOutput(true);
            auto w = makeWindow(true);
            QVERIFY2(connectTo(*w, sim), type);
            FrontPanel &panel = *w->OperatorForm();
            QVERIFY(button(panel, "optTrack")->isChecked() && panel.supply().coupling() == Commands::CouplingTrack);
            QVERIFY(button(panel, "tbnOutput")->isChecked() && w->connection().QueryTimer.isActive());
            QCOMPARE(lockedEditors(panel), QStringList{"numVoltage_1"});
            QVERIFY(!sim.linesSince(0).contains("OUT0") && sim.supply->outputOn());
            if (QLatin1String(type) != QLatin1String("ZEP-4303"))
                continue;
            auto *memory = panel.findChild<QLineEdit *>("txtMemory");
            QCOMPARE(memory->text(), QString());
            const int mark = sim.lineCount();
            bool shown = false;
            onNextDialog("dlgRecallData", [&shown](QDialog *d) {
                shown = true;
                pressButton(d, "CancelButton");
            });
            QTest::mouseClick(button(panel, "btnRecall"), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(shown, 5000);
            QTRY_VERIFY_WITH_TIMEOUT(w->engine().isIdle(), 10000);
            QCOMPARE(sim.commandsSince(mark), QStringList());
            QVERIFY(sim.supply->outputOn() && button(panel, "tbnOutput")->isChecked());
            QVERIFY(w->connection().QueryTimer.isActive() && memory->text().isEmpty());
            onNextDialog("dlgSaveData", [](QDialog *d) { // saved to memory 2: that number is known now
                d->findChild<QSpinBox *>()->setValue(2);
                pressButton(d, "OKButton");
            });
            QTest::mouseClick(button(panel, "btnSave"), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(memory->text(), QStringLiteral("2"), 5000);
        }
    }

    // --- The panels without a supply (testing mode): limits from the catalogue, and what
    // the response slots make of the answers the engine assigns to them.

    void limitsFromCatalogue()
    {
        const struct {
            const char *type;
            int channel;
            double vMax, iMax, ovpMax, iStep; // ovpMax -1: no OVP editor
            const char *currentShown;         // the current editor at 0, in its format
        } rows[] = {{"XPP-3202", 2, 7.0, 5.0, 7.5, 0.01, "0.00"}, // channel 3's own row
                    {"XPP-3201", 2, 32.0, 1.0, 33.0, 0.001, "0.000"}, // channel 3 from the model's row
                    {"SPP-KRX72", 0, 72.0, 1.5, 79.0, 0.001, "0.000"},
                    {"ZEP-2306", 1, 30.0, 6.0, -1.0, 0.001, "0.000"},
                    {"ZEP-4303", 0, 30.0, 3.0, -1.0, 0.001, "0.000"},
                    {"ZEP-4303", 2, 10.001, 3.001, -1.0, 0.001, "0.000"}, // fixed channels
                    {"ZEP-4303", 3, 5.001, 1.001, -1.0, 0.001, "0.000"}};
        for (const auto &r : rows) {
            auto w = menuWindow(QLatin1String(r.type));
            FrontPanel &panel = *w->OperatorForm();
            const QString n = QString::number(r.channel);
            const QString where = QStringLiteral("%1 channel %2").arg(QLatin1String(r.type), n);
            QVERIFY2(panel.supply().channel(r.channel).voltageLimits.maximum == r.vMax, qPrintable(where));
            QVERIFY2(panel.supply().channel(r.channel).currentLimits.maximum == r.iMax, qPrintable(where));
            auto *current = panel.findChild<NumEdit *>("numCurrent_" + n);
            QVERIFY2(current->increment() == r.iStep && current->displayedText() == QLatin1String(r.currentShown),
                     qPrintable(where));
            auto *ovp = panel.findChild<NumEdit *>("numOVP_" + n);
            QVERIFY2((ovp ? ovp->maximum() : -1.0) == r.ovpMax, qPrintable(where));
            QCOMPARE(panel.channelCount(), channelCountOfLayout(panel.layoutNumber()));
        }
    }

    // Status words on the two-channel panel: blanks are ignored, a short word does nothing,
    // a new mode locks channel 2 and re-reads every set point, the output follows.
    void statusWordDecoding()
    {
        auto w = menuWindow("ZEP-2303");
        FrontPanel &panel = *w->OperatorForm();
        const auto status = [&](const QString &word) { answer(panel, Commands::Query::Status, 0, word); };
        const int head = w->engine().queryHead();
        status(QStringLiteral("1 1 1 0 1 1 0 0")); // parallel, output on
        QVERIFY(button(panel, "optParal")->isChecked() && button(panel, "tbnOutput")->isChecked());
        QCOMPARE(lockedEditors(panel), (QStringList{"numCurrent_1", "numVoltage_1"}));
        QStringList queued;
        for (int s = head; s != w->engine().queryHead(); s = (s + 1) % CommTasker::RingSize)
            queued << w->engine().queryTaskAt(s).xOutString;
        QCOMPARE(queued, (QStringList{"VSET1?", "VSET2?", "ISET1?", "ISET2?"}));
        answer(panel, Commands::Query::MeasVolt, 2, QStringLiteral("3.000V"));
        QCOMPARE(panel.supply().channel(1).voltageReading.text, QString()); // channel 2 stays blank in parallel mode
        status(QStringLiteral("111")); // too short: nothing
        QVERIFY(button(panel, "optParal")->isChecked() && button(panel, "tbnOutput")->isChecked());
        status(QStringLiteral("11011000")); // independent, output off
        QVERIFY(button(panel, "optIndep")->isChecked() && !button(panel, "tbnOutput")->isChecked());
        QCOMPARE(lockedEditors(panel), QStringList());
    }

    // The coupling answer of the initial query: 0 independent, 2 parallel, anything else
    // tracking; each applies its locks to channel 2.
    void setupOutputMode()
    {
        auto w = menuWindow("XPP-3202");
        FrontPanel &panel = *w->OperatorForm();
        const struct {
            const char *answer;
            QAbstractButton *option;
            QStringList locked;
        } cases[] = {{"2", button(panel, "optParal"), {"numCurrent_1", "numOVP_1", "numVoltage_1", "tbnOCP_1"}},
                     {"1", button(panel, "optTrack"), {"numOVP_1", "numVoltage_1"}},
                     {"0", button(panel, "optIndep"), {}},
                     {"x", button(panel, "optTrack"), {"numOVP_1", "numVoltage_1"}}};
        for (const auto &c : cases) {
            answer(panel, Commands::Query::TrackStatus, 0, QString::fromLatin1(c.answer));
            QVERIFY2(c.option->isChecked(), c.answer);
            QCOMPARE(lockedEditors(panel), c.locked);
        }
    }

    // Each channel shows CV or CC while the output is on, derived from readings and set
    // points (said so in its tool tip), and nothing while the output is off.
    void regulationLabels()
    {
        auto w = menuWindow("ZEP-4303");
        FrontPanel &panel = *w->OperatorForm();
        const auto label = [&](int i) { return panel.findChild<QLabel *>(QStringLiteral("lblRegulation_%1").arg(i)); };
        for (int i = 0; i < 4; ++i)
            QVERIFY(label(i) && label(i)->text().isEmpty() && label(i)->toolTip().contains("derived"));
        panel.supply().setOutput(true);  // without a supply the readouts are blanked: no mode
        QCOMPARE(label(2)->text(), QString());
        answer(panel, Commands::Query::SetVolt, 3, "10.000");
        answer(panel, Commands::Query::SetCurr, 3, "1.000");
        answer(panel, Commands::Query::MeasVolt, 3, "6.000");
        answer(panel, Commands::Query::MeasCurr, 3, "1.000");
        answer(panel, Commands::Query::MeasVolt, 1, "3.000");
        answer(panel, Commands::Query::MeasCurr, 1, "0.300");
        QCOMPARE(label(0)->text() + label(2)->text(), QStringLiteral("CVCC"));
        answer(panel, Commands::Query::MeasCurr, 3, "0.600");
        QCOMPARE(label(2)->text(), QStringLiteral("CV"));
        panel.supply().setOutput(false);
        QCOMPARE(label(0)->text() + label(2)->text(), QString());
    }

    // Read-backs on the one-channel panel: a unit letter is dropped, a text that is no number
    // shows 0, the same answer as before still replaces a value typed since, and edits are
    // sent only once a set point has been read back.
    void readBacks()
    {
        auto w = menuWindow("SPP-KRX20");
        FrontPanel &panel = *w->OperatorForm();
        auto *volts = panel.findChild<NumEdit *>("numVoltage_0");
        const auto slot = [&](const QString &text) { answer(panel, Commands::Query::SetVolt, 1, text); };
        const int head = w->engine().cmdHead();
        typeInto(volts, "3");
        QCOMPARE(w->engine().cmdHead(), head); // before the first read-back: not sent
        slot(QStringLiteral("5.000V"));
        QVERIFY(volts->value() == 5.0 && w->engine().cmdHead() == head); // a read-back is never sent back
        typeInto(volts, "7");
        QCOMPARE(w->engine().cmdTaskAt(head).xOutString, QStringLiteral(":VOLT 7"));
        slot(QStringLiteral("5.000V"));
        QCOMPARE(volts->value(), 5.0);
        slot(QStringLiteral("V"));
        QCOMPARE(volts->value(), 0.0);
        auto *ovp = panel.findChild<NumEdit *>("numOVP_0");
        for (const auto &[text, value] : {std::pair{"12.5", 12.5}, std::pair{"abc", 0.0}}) {
            answer(panel, Commands::Query::Ovp, 1, QLatin1String(text));
            QCOMPARE(ovp->value(), value);
        }
        for (const auto &[text, on] : {std::pair{"1", true}, std::pair{"ON", false}}) {
            answer(panel, Commands::Query::Ocp, 1, QLatin1String(text));
            QCOMPARE(button(panel, "tbnOCP_0")->isChecked(), on);
        }

        // The multi-unit answer: 1 and 2 show PARALL and keep the number for the parallel
        // command, 3 and 4 lock the options, 0 shows LOCAL.
        const auto sets = [&](const QString &text) { panel.supply().takeUnitSetting(text); };
        sets(QStringLiteral("2"));
        QVERIFY(button(panel, "optParal")->isChecked() && panel.supply().unitSetting() == 2);
        sets(QStringLiteral("3"));
        QVERIFY(!button(panel, "optIndep")->isEnabled() && !button(panel, "optParal")->isEnabled());
        sets(QStringLiteral("0"));
        QVERIFY(button(panel, "optIndep")->isChecked() && button(panel, "optTrack")->isEnabled() && panel.supply().unitSetting() == 0);

        // A reading with more digits than its readout holds never loses its leading ones: fewer
        // decimals, exponent form with what fits, "OVER" past any number; the recording still
        // gets the reading whole, and an ordinary one shows as sent.
        auto *readout = panel.findChild<TextBox *>("txtVoltage_0");
        QVERIFY(readout);
        const auto shownWhole = [readout] {
            return readout->readoutMetrics().horizontalAdvance(readout->text()) <= readout->textRoom();
        };
        answer(panel, Commands::Query::MeasVolt, 1, QStringLiteral("12345678901234567890V"));
        QVERIFY2(readout->text().startsWith('1') && readout->text().endsWith("E+19") && shownWhole(),
                 qPrintable(readout->text()));
        QCOMPARE(panel.supply().channel(0).voltageReading.text, QStringLiteral("12345678901234567890"));
        answer(panel, Commands::Query::MeasVolt, 1, QStringLiteral("12.34567890123456V"));
        QVERIFY2(readout->text().startsWith(QStringLiteral("12.3")) && shownWhole(), qPrintable(readout->text()));
        QCOMPARE(panel.supply().channel(0).voltageReading.text, QStringLiteral("12.34567890123456"));
        answer(panel, Commands::Query::MeasVolt, 1, QString(400, QLatin1Char('9')) + QStringLiteral("V"));
        QCOMPARE(readout->text(), QStringLiteral("OVER"));
        answer(panel, Commands::Query::MeasVolt, 1, QStringLiteral("12.345V"));
        QCOMPARE(readout->text() + ' ' + panel.supply().channel(0).voltageReading.text, QStringLiteral("12.345 12.345"));
    }

    // On a decimal-comma system every layout hands the engine a decimal point: a GPIB link
    // writes the command as it is.
    void decimalPointOnTheWire()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        for (const auto &[type, command] : {std::pair{"XPP-3202", ":CHAN1:VOLT 1.5"}, std::pair{"SPP-KRX20", ":VOLT 1.5"},
                                            std::pair{"ZEP-2303", "VSET1:1.5"}, std::pair{"ZEP-4303", "VSET1:1.5"}}) {
            auto w = menuWindow(QLatin1String(type));
            FrontPanel &panel = *w->OperatorForm();
            answer(panel, Commands::Query::SetVolt, 1, QStringLiteral("0.000V"));
            const int head = w->engine().cmdHead();
            typeInto(panel.findChild<NumEdit *>("numVoltage_0"), QStringLiteral("1,5"));
            QCOMPARE(w->engine().cmdHead(), (head + 1) % CommTasker::RingSize);
            QCOMPARE(w->engine().cmdTaskAt(head).xOutString, QLatin1String(command));
        }
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_MAIN(TestLayouts)
#include "tst_layouts.moc"
