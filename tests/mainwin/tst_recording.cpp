// Recording from setup to saved record, in the real main window with layout 1 on the virtual
// supply XPP-3202: the record setup dialog, the recording engine on a fake clock, and the
// table window's records, filter, comments, clearing and printing; the recording outliving
// its windows.
#include "MainwinRig.h"

#include "common/Clock.h"
#include "common/NumberFormat.h"
#include "datalog/RecordScale.h"
#include "datalog/RecordStore.h"
#include "datalog/RecordingSession.h"
#include "datalog/SqlConnection.h"
#include "settings/SettingsStore.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPdfWriter>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <qcustomplot.h>

#include <tuple>

class TestRecording : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<SimSupply> sim;
    std::unique_ptr<MDIForm1> w;
    InstalledPrompter prompter;
    FakeClock clock{QDateTime(QDate(2026, 3, 5), QTime(10, 0, 0))};
    std::unique_ptr<ScopedClock> scopedClock;

    frmDataTable &table() { return *w->tableDataForm1(); }
    RecordingSession &session() { return w->session(); }
    SampleBuffer &buffer() { return session().buffer(); }
    QAbstractItemModel &grid() { return *in<QTableView>(&table(), "grdHelQuest")->model(); }
    QStringList graphStatistics() { return listItems(w->waveForm1(), "lstWave"); }
    template<class T = QWidget>
    T *in(QWidget *parent, const QString &name) { return parent->findChild<T *>(name); }
    void useFakeClock()
    {
        if (!scopedClock)
            scopedClock = std::make_unique<ScopedClock>(clock);
    }
    void settle() { QTRY_VERIFY_WITH_TIMEOUT(w->engine().isIdle(), 20000); }
    // The record setup through the Record menu: the length, scale and operation, then OK.
    void setup(int d, int h, int m, int s, int scale, int operation)
    {
        onNextDialog(QStringLiteral("dlgRecordLength"), [=, this](QDialog *dlg) {
            in<QComboBox>(dlg, "cmbDays")->setCurrentIndex(d);
            in<QComboBox>(dlg, "cmbHours")->setCurrentIndex(h);
            in<QComboBox>(dlg, "cmbMinuites")->setCurrentIndex(m);
            in<QComboBox>(dlg, "cmbSeconds")->setCurrentIndex(s / 5);
            in<QComboBox>(dlg, "cmdScale")->setCurrentIndex(scale);
            in<QComboBox>(dlg, "cmdOperation")->setCurrentIndex(operation);
            pressButton(dlg, "OKButton");
        });
        w->menuItem("mnuRecordPeriod")->trigger();
    }
    void tick(int n)
    {
        for (int i = 0; i < n; ++i) {
            clock.advanceMs(1000);
            w->session().engine().TimerRecordData_Timer();
        }
    }
    // Readings of every channel of the panel, as the polling would leave them.
    void setReadings(const QString &volts, const QString &amps)
    {
        for (int c = 1; c <= 3; ++c) {
            w->supply()->takeAnswer({Commands::Query::MeasVolt, c}, volts);
            w->supply()->takeAnswer({Commands::Query::MeasCurr, c}, amps);
        }
    }
    QStringList column(int col)
    {
        QStringList out;
        for (int r = 0; r < buffer().rowCount(); ++r)
            out << buffer().index(r, col).data().toString();
        return out;
    }
    // The stored samples, read through a second store as a later start of the program would:
    // sequence number, time tick and seconds since the last sample, then the four reasons.
    QStringList stored()
    {
        QStringList out;
        RecordStore probe;
        probe.open(RecordStore::defaultFolder(), RecordStore::IntegrityCheck::Now, RecordStore::Access::ReadOnly);
        for (const SampleRow &row : probe.bufferSamples().value_or(QList<SampleRow>()))
            out << QStringLiteral("%1/%2/%3 ").arg(row.seqNo).arg(row.timeTick).arg(row.diffLastTime)
                    + row.channels[0].reason + row.channels[1].reason + row.channels[2].reason + row.channels[3].reason;
        return out;
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateUserFolders();
        sim = std::make_unique<SimSupply>("XPP-3202");
        sim->supply->setVoltage(1, 12.5);
        sim->supply->setLoad(1, 10);
        w = makeWindow(true);
        QVERIFY(connectTo(*w, *sim));
        settle();
        QVERIFY(w->tableDataForm1());
        QVERIFY(!w->menuItem("mnuRecord")->isEnabled());
        const int mark = sim->lineCount();
        w->menuItem("mnuOutput")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(sim->linesSince(mark).contains(":OUTP:STAT 1"), 10000);
        QVERIFY(w->menuItem("mnuRecord")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(textOf(w->OperatorForm(), "txtVoltage_0"), QStringLiteral("12.500"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(textOf(w->OperatorForm(), "txtCurrent_0"), QStringLiteral("1.250"), 10000);
    }

    void init()
    {
        prompter.clear();
        // Each case starts recordings over the samples of the one before.
        prompter.defaultChoice = Prompter::Choice::Discard;
    }

    void cleanupTestCase()
    {
        scopedClock.reset();
        w.reset();
        sim.reset();
    }

    void setupDialogListsRulesAndSettings();
    void recordingFromSetupToSavedRecord();
    void everyScaleAndPointOperation();
    void stopResumeAcrossMidnightWithWindowsClosed();
    void failedCommitStopsAndKeepsTheSamples();
    void printsTheRowsToPdf();
};

// First run: the lists, the scale rule, the colours and timers; the length check by scale;
// the thirteen keys; a hand-edited setting is clamped to its list.
void TestRecording::setupDialogListsRulesAndSettings()
{
    QStringList seen;
    onNextDialog(QStringLiteral("dlgRecordLength"), [&](QDialog *d) {
        for (const char *list : {"cmbDays", "cmbHours", "cmbMinuites", "cmbSeconds", "cmdScale", "cmdOperation"}) {
            auto *box = in<QComboBox>(d, list);
            seen << QStringLiteral("%1:%2:%3").arg(list).arg(box->count()).arg(box->currentText());
        }
        seen << QString::number(in<QComboBox>(d, "cmdOperation")->isEnabled());
        for (const char *name : {"txtCh1Color", "txtCh2Color", "txtCh3Color", "txtCh4Color",
                                 "txtWaitingTime", "txtRoundTime", "txtWriter"})
            seen << in<QLineEdit>(d, name)->text();
        // "2 seconds" for a day: asked, Cancel keeps the dialog open with the day selected.
        in<QComboBox>(d, "cmdScale")->setCurrentIndex(1);
        seen << QString::number(in<QComboBox>(d, "cmdOperation")->isEnabled());
        in<QComboBox>(d, "cmbDays")->setCurrentIndex(1);
        in<QLineEdit>(d, "txtRoundTime")->setText(QStringLiteral("abc"));
        in<QLineEdit>(d, "txtWriter")->setText(QStringLiteral("0"));
        prompter.answers = {false};
        pressButton(d, "OKButton");
        seen << QString::number(d->isVisible()) << in<QComboBox>(d, "cmbDays")->currentText()
             << textOf(d, "txtRoundTime");
        // OK on the question: the days become 0 and the dialog closes.
        prompter.answers = {true};
        pressButton(d, "OKButton");
    });
    w->menuItem("mnuRecordPeriod")->trigger();
    QCOMPARE(seen, QStringList({"cmbDays:8:0", "cmbHours:24:0", "cmbMinuites:60:0", "cmbSeconds:12:0",
                                "cmdScale:10:1 second", "cmdOperation:3:Maximum", "0",
                                "49152", "12582912", "8388736", "65535", "500", "3000", "100", "1",
                                "1", "1", "3000"}));
    const QString line = QStringLiteral("The Max. Record Time Lenth must less than 17.8 Hours !\nChoose <Cancle> to change other setting!");
    QVERIFY(prompter.questions.size() == 2 && prompter.questions.at(0).text == line);
    QCOMPARE(prompter.messageTexts().first(), QStringLiteral("Round Timer Value should be numberic type and it is reset to 3000ms"));
    QVERIFY(!w->engine().writerTimer().isActive());  // "0" in the writer box switches it off
    for (const char *key : {"Days", "Hours", "Miniutes", "Seconds", "RecScale", "RecPointStyle", "Ch1Color",
                            "Ch2Color", "Ch3Color", "WaitingTime", "RoundTime", "Ch4Color", "WriterTime"})
        QVERIFY2(!SettingsStore::read(QStringLiteral("RECORDPERIOD"), QLatin1String(key), QStringLiteral("<absent>"))
                      .startsWith(QLatin1Char('<')), key);
    QCOMPARE(SettingsStore::read(SettingKeys::RecScale) + SettingsStore::read(SettingKeys::Days)
                 + SettingsStore::read(SettingKeys::RoundTime) + SettingsStore::read(SettingKeys::WriterTime),
             QStringLiteral("1030000"));
    w->engine().writerTimer().start();

    // Hand-edited values beyond the lists, a colour that is no colour; a cancelled colour
    // picker changes nothing, a chosen colour is stored.
    for (const auto &[key, value] : {std::pair{SettingKeys::Days, "9"}, std::pair{SettingKeys::Seconds, "25"},
                                     std::pair{SettingKeys::RecScale, "-4"}, std::pair{SettingKeys::Ch2Color, "blue"},
                                     std::pair{SettingKeys::WriterTime, "100"}})
        SettingsStore::write(key, QLatin1String(value));
    seen.clear();
    onNextDialog(QStringLiteral("dlgRecordLength"), [&](QDialog *d) {
        for (const char *list : {"cmbDays", "cmbSeconds", "cmdScale"})
            seen << in<QComboBox>(d, list)->currentText();
        seen << textOf(d, "txtCh2Color");
        prompter.colors = {std::nullopt, QColor(255, 0, 0)};
        w->recordSetup()->chooseColor(0);
        w->recordSetup()->chooseColor(2);
        seen << textOf(d, "txtCh1Color") << textOf(d, "txtCh3Color");
        pressButton(d, "OKButton");  // 7 days at "1 second": OK on the question sets 0
    });
    prompter.answers = {true};
    w->menuItem("mnuRecordPeriod")->trigger();
    QCOMPARE(seen, QStringList({"7", "25", "1 second", "12582912", "49152", "255"}));

    QCOMPARE(SettingsStore::read(SettingKeys::Ch3Color) + QLatin1Char('|') + SettingsStore::read(SettingKeys::Ch2Color)
                 + QLatin1Char('|') + SettingsStore::read(SettingKeys::Days) + SettingsStore::read(SettingKeys::Seconds),
             QStringLiteral("255|12582912|025"));

    // Longer scales allow more days: 5 seconds one day, 10 seconds three, 30 seconds all.
    for (const auto &[scale, days, line, setTo] : {std::tuple{2, 1, "", 1}, std::tuple{2, 2, "1.8 day", 1},
                                                  std::tuple{3, 5, "3.8 day", 3}, std::tuple{4, 7, "", 7}}) {
        prompter.clear();
        prompter.answers = {true};
        setup(days, 0, 0, 0, scale, 0);
        const QString asked = prompter.questions.isEmpty() ? QString() : prompter.questions.first().text;
        QVERIFY2(QLatin1String(line).isEmpty() ? asked.isEmpty() : asked.contains(QLatin1String(line)), qPrintable(asked));
        QCOMPARE(SettingsStore::read(SettingKeys::Days), QString::number(setTo));
    }
}

// Ten seconds at one point a second from the supply's readings: eleven samples, committed
// one by one; then save, list, comment, replace, clear, load and the filter.
void TestRecording::recordingFromSetupToSavedRecord()
{
    useFakeClock();
    clock.setNow(QDateTime(QDate(2026, 3, 5), QTime(10, 0, 0)));
    setup(0, 0, 0, 10, 0, 0);
    w->menuItem("mnuRecordStart")->trigger();
    QVERIFY(w->session().engine().isRecording());
    // The real end: ten one-second ticks after the first sample.
    QCOMPARE(textOf(&table(), "txtStartTime") + '|' + textOf(&table(), "txtEndTime"),
             QStringLiteral("2026/03/05 10:00:00|2026/03/05 10:00:10"));
    tick(11);
    QVERIFY(!w->session().engine().isRecording() && w->session().engine().CountRecordCount() == -1);
    QCOMPARE(buffer().rowCount(), 11);
    QCOMPARE(column(1).last(), QStringLiteral("2026/03/05 10:00:10"));
    for (const auto &[c, value] : {std::pair{2, "12.500"}, std::pair{3, "1.250"}, std::pair{4, "Time"}})
        QCOMPARE(column(c), QStringList(11, QLatin1String(value)));
    QCOMPARE(buffer().columnCount(), 12);
    QCOMPARE(buffer().headerData(8, Qt::Horizontal).toString(), QStringLiteral("CH3:Voltage[V]"));
    const QStringList rows = stored();
    QCOMPARE(rows.filter(QStringLiteral(" 0000")), rows);
    QCOMPARE(rows.mid(0, 3) << rows.value(10) << QString::number(rows.size()),
             QStringList({"0/0/0 0000", "1/1/1 0000", "2/2/1 0000", "10/10/1 0000", "11"}));
    prompter.clear();
    w->menuItem("mnuRecordStart")->trigger();  // a full run needs a new setup
    QCOMPARE(prompter.messageTexts(), QStringList{QStringLiteral("Please Setup Record the period first.")});

    // "Time" finds the time-driven samples; a limit condition finds none in the grid, while
    // the graph's statistics and its export still see the whole recording.
    auto *filter = in<QComboBox>(&table(), "CmbSample");
    for (const auto &[position, rows] : {std::pair{1, 11}, std::pair{2, 0}}) {
        filter->setCurrentIndex(position);
        table().CmbSample_Click();
        QCOMPARE(grid().rowCount(), rows);
    }
    QCOMPARE(buffer().rowCount(), 11);
    QCOMPARE(graphStatistics().at(2), QStringLiteral("Samples: 11"));
    QCOMPARE(w->waveForm1()->trace(1)->dataCount(), 11);
    QTemporaryDir csvDir;
    prompter.clear();
    prompter.fileNames = {csvDir.filePath(QStringLiteral("all.csv"))};
    w->waveForm1()->cmdExport_Click();
    QFile csv(csvDir.filePath(QStringLiteral("all.csv")));
    QVERIFY(prompter.messages.isEmpty() && csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count("\r\n"), 12);  // the header and every sample
    // A sample picked on the graph is found in the filtered grid only when it is shown there.
    filter->setCurrentIndex(1);
    table().CmbSample_Click();
    table().openComment(2);
    QCOMPARE(textOf(&table(), "lblCommentSample"), QStringLiteral("2  2026/03/05 10:00:02"));
    table().cmdProcCancel_Click();
    filter->setCurrentIndex(0);
    table().CmbSample_Click();
    QCOMPARE(grid().rowCount(), 11);

    // A comment on sample 3, then saved as record 1.
    in<QLineEdit>(&table(), "txtDataDesc")->setText(QStringLiteral("oven"));
    table().openComment(3);
    in<QLineEdit>(&table(), "txtDataComment")->setText(QStringLiteral("door opened"));
    table().cmdProcOK_Click();
    prompter.answers = {true};
    w->menuItem("mnuRecordSave")->trigger();
    QCOMPARE(prompter.questions.last().text, QStringLiteral("Do you want to save this record data?"));
    QCOMPARE(textOf(&table(), "txtRecno"), QStringLiteral("1"));
    // Saving again asks to replace; the new description replaces the old.
    in<QLineEdit>(&table(), "txtDataDesc")->setText(QStringLiteral("oven, second look"));
    prompter.answers = {true};
    table().cmdSave_Click();
    QCOMPARE(prompter.questions.last().text, QStringLiteral("Do you replace existing data with current record?"));

    // Clear asks when there are samples; clearing an empty buffer asks nothing.
    prompter.clear();
    prompter.answers = {false};
    table().cmdClear_Click();
    QCOMPARE(buffer().rowCount(), 11);
    prompter.answers = {true};
    table().cmdClear_Click();
    QVERIFY(buffer().rowCount() == 0 && textOf(&table(), "txtRecno").isEmpty());
    table().cmdClear_Click();
    QCOMPARE(prompter.questions.size(), 2);

    // The record list and loading record 1 back with its comment.
    w->menuItem("mnuRecordLoad")->trigger();
    auto *list = in<QListWidget>(&table(), "List1");
    QVERIFY(list->isVisibleTo(&table()));
    QCOMPARE(listItems(&table(), "List1"), QStringList{"1     2026/03/05 10: oven, second look        "});
    table().List1_Click(0);
    QVERIFY(!list->isVisibleTo(&table()) && buffer().rowCount() == 11);
    QCOMPARE(column(buffer().commentColumn()).join(QLatin1Char(',')), QStringLiteral(",,,door opened,,,,,,,"));
    QCOMPARE(textOf(&table(), "txtRecno") + QLatin1Char('|') + textOf(&table(), "txtEndTime"),
             QStringLiteral("1|2026/03/05 10:00:10"));
    // A comment added to the loaded record and replaced is there at the next load; a new
    // save of it takes the comments along.
    table().openComment(7);
    in<QLineEdit>(&table(), "txtDataComment")->setText(QStringLiteral("fan on"));
    table().cmdProcOK_Click();
    prompter.answers = {true};
    table().cmdSave_Click();
    in<QLineEdit>(&table(), "txtRecno")->clear();
    prompter.answers = {true};
    table().cmdSave_Click();
    QCOMPARE(textOf(&table(), "txtRecno"), QStringLiteral("2"));
    for (int listed : {1, 0}) {  // record 1, then record 2 (listed first)
        table().cmdLoadRecord_Click();
        table().List1_Click(listed);
        QCOMPARE(buffer().comment(3) + QLatin1Char('|') + buffer().comment(7), QStringLiteral("door opened|fan on"));
    }
    table().RowSelected(5);
    QCOMPARE(buffer().index(5, 2).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 192, 255));
    QCOMPARE(buffer().index(4, 2).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 192));
    QVERIFY(prompter.messages.isEmpty());
}

// Every scale position stores one point per interval of the shared table, reduced by its
// point operation; channel 4, absent on this layout, keeps its reset latch.
void TestRecording::everyScaleAndPointOperation()
{
    useFakeClock();
    w->connection().QueryTimer.stop();
    settle();
    // The average example: 12, 12, 13, 13 and 12.5 over five seconds give 12.50.
    w->session().RecordPeriod(0, 0, 0, 4, 2, RecordScale::Average);
    QVERIFY(w->session().BeginRecordData());
    for (const char *v : {"12", "12", "13", "13", "12.5"}) {
        setReadings(QLatin1String(v), QStringLiteral("0,5"));  // a decimal comma is a number too
        tick(1);
    }
    QCOMPARE(buffer().rowCount(), 1);
    QCOMPARE(buffer().voltage(0, 0) + QLatin1Char('|') + buffer().current(0, 0), QStringLiteral("12.50|0.50"));
    // Decimal commas compare as numbers in the maximum and in the buffer's extremes.
    // An interval opens with its first reading: the maximum of negative readings is one of
    // them, not the reset value.
    w->session().RecordPeriod(0, 0, 0, 5, 1, RecordScale::Maximum);
    QVERIFY(w->session().BeginRecordData());
    for (const char *v : {"9,5", "9,75", "-1", "10,25", "-3", "-2"}) {
        setReadings(QLatin1String(v), QStringLiteral("1"));
        tick(1);
    }
    QCOMPARE(buffer().voltage(0, 0) + QLatin1Char('|') + buffer().voltage(1, 0) + QLatin1Char('|')
                 + buffer().voltage(2, 0), QStringLiteral("9,75|10,25|-2"));
    QCOMPARE(buffer().extremes(0).maxV + QLatin1Char('|') + buffer().extremes(0).minV, QStringLiteral("10,25|-2"));

    for (int position = 0; position < RecordScale::Positions; ++position) {
        const int seconds = RecordScale::SecondsPerPoint[size_t(position)];
        for (int operation : {RecordScale::Maximum, RecordScale::Minimum, RecordScale::Average}) {
            if (position == 0 && operation != RecordScale::Maximum)
                continue;
            // Two intervals: readings 5.00 with one 7.25 and (from three ticks on) one 4.75.
            w->session().RecordPeriod(0, 0, 0, 2 * seconds - 1, position, operation);
            QVERIFY(w->session().BeginRecordData());
            for (int t = 0; t < 2 * seconds; ++t) {
                const int j = t % seconds;
                const bool high = j == 1 || seconds == 1;
                const bool low = seconds >= 3 && j == seconds - 1;
                setReadings(high ? QStringLiteral("7.25") : low ? QStringLiteral("4.75") : QStringLiteral("5.00"),
                            QStringLiteral("1.00"));
                tick(1);
            }
            const QString where = QStringLiteral("position %1, operation %2").arg(position).arg(operation);
            QVERIFY2(!w->session().engine().isRecording() && buffer().rowCount() == 2, qPrintable(where));
            const double mean = seconds >= 3 ? 5 + 2.0 / seconds : (7.25 + 5.0) / 2;
            const QString expected = operation == RecordScale::Maximum || seconds == 1 ? QStringLiteral("7.25")
                : operation == RecordScale::Minimum ? (seconds >= 3 ? QStringLiteral("4.75") : QStringLiteral("5.00"))
                : NumberFormat::format(mean, QStringLiteral("###0.00#"));
            QVERIFY2(buffer().voltage(1, 2) == expected, qPrintable(where + QLatin1String(": ") + buffer().voltage(1, 2)));
            QVERIFY2(buffer().row(1).timeTick == seconds, qPrintable(where));
            const QString absent = operation == RecordScale::Minimum ? QStringLiteral("99999") : QStringLiteral("0");
            QVERIFY2(buffer().voltage(1, 3) == absent, qPrintable(where));
        }
    }
}

// Stopped after four samples, started again without a new setup: the remaining seconds are
// recorded from a new start, across midnight, with times and ticks still increasing. The
// table and graph windows closed meanwhile: the samples keep arriving, and the windows opened
// again show the whole recording and follow it to its end.
void TestRecording::stopResumeAcrossMidnightWithWindowsClosed()
{
    useFakeClock();
    clock.setNow(QDateTime(QDate(2026, 3, 5), QTime(23, 59, 55)));
    setReadings(QStringLiteral("3.30"), QStringLiteral("0.20"));
    setup(0, 0, 0, 10, 0, 0);
    w->menuItem("mnuRecordStart")->trigger();
    tick(4);
    w->menuItem("mnuRecordStop")->trigger();
    QVERIFY(!w->session().engine().isRecording());
    w->session().engine().TimerRecordData_Timer();  // a tick already queued does nothing
    QCOMPARE(buffer().rowCount(), 4);
    QCOMPARE(w->session().engine().CountRecordCount(), 6);
    // Stopped early, the record ends at its last sample.
    QCOMPARE(textOf(&table(), "txtEndTime"), QStringLiteral("2026/03/05 23:59:58"));
    w->menuItem("mnuRecordStart")->trigger();
    tick(2);
    table().parentWidget()->close();
    w->waveForm1()->parentWidget()->close();
    QTRY_VERIFY(!w->tableDataForm1() && !w->waveForm1());
    tick(2);
    QVERIFY(session().isRecording());
    QCOMPARE(buffer().rowCount(), 4);
    w->menuItem("mnuTableData")->trigger();
    w->menuItem("mnuWave")->trigger();
    QVERIFY(w->tableDataForm1() && w->waveForm1());
    QCOMPARE(grid().rowCount(), 4);
    QCOMPARE(w->waveForm1()->trace(1)->dataCount(), 4);
    QCOMPARE(textOf(w->waveForm1(), "cmdStart"), QStringLiteral("Record..."));
    QCOMPARE(textOf(&table(), "txtStartTime"), QStringLiteral("2026/03/05 23:59:59"));
    tick(3);
    QVERIFY(!session().isRecording());
    QCOMPARE(grid().rowCount(), 7);
    QCOMPARE(column(0).last(), QStringLiteral("6"));
    QCOMPARE(column(1), QStringList({"2026/03/05 23:59:59", "2026/03/06 00:00:00", "2026/03/06 00:00:01",
                                     "2026/03/06 00:00:02", "2026/03/06 00:00:03", "2026/03/06 00:00:04",
                                     "2026/03/06 00:00:05"}));
    QCOMPARE(w->waveForm1()->trace(1)->dataCount(), 7);
    QCOMPARE(graphStatistics().at(2), QStringLiteral("Samples: 7"));
    QCOMPARE(stored().size(), 7);
    QCOMPARE(stored().last(), QStringLiteral("6/6/1 0000"));
    QVERIFY(prompter.messages.isEmpty());
}

// A sample that cannot be committed stops the recording with a message that does not wait in
// the tick; the samples before it stay in the buffer and in the store.
void TestRecording::failedCommitStopsAndKeepsTheSamples()
{
    useFakeClock();
    setup(0, 0, 0, 10, 0, 0);
    w->menuItem("mnuRecordStart")->trigger();
    tick(3);
    SqlConnection other(QDir(RecordStore::defaultFolder()).filePath(QStringLiteral("mtype.db")));
    QVERIFY(other.open());
    QSqlQuery sql(other.db());
    QVERIFY(sql.exec(QStringLiteral("CREATE TRIGGER full_disk BEFORE INSERT ON datatemp BEGIN "
                                    "SELECT RAISE(ABORT, 'database or disk is full'); END")));
    tick(1);
    QVERIFY(!w->session().engine().isRecording());
    QCOMPARE(prompter.messages.size(), 1);  // told without waiting in the tick
    QVERIFY2(prompter.messageTexts().first().contains(QStringLiteral("database or disk is full")),
             qPrintable(prompter.messageTexts().first()));
    QVERIFY(sql.exec(QStringLiteral("DROP TRIGGER full_disk")));
    QCOMPARE(buffer().rowCount(), 3);
    QCOMPARE(stored().size(), 3);
}

// Printing the grid of 200 rows to a PDF: a page for each band of columns and rows; "Show
// style" starts the grid lower, below where a graph goes, so it takes at least as many pages.
void TestRecording::printsTheRowsToPdf()
{
    QTemporaryDir pdfDir;
    QVERIFY(pdfDir.isValid());
    auto pages = [this, &pdfDir](bool showStyle) {
        in<QCheckBox>(&table(), "chkShowStyle")->setChecked(showStyle);
        const QString file = pdfDir.filePath(QStringLiteral("table-%1.pdf").arg(showStyle));
        {
            QPdfWriter pdf(file);
            pdf.setResolution(300);
            pdf.setPdfVersion(QPagedPaintDevice::PdfVersion_1_4);
            if (!table().printTo(pdf))
                return -1;
        }
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        if (!bytes.startsWith("%PDF"))
            return -2;
        return int(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "))
            + int(bytes.count("/Type /Page>>"));
    };
    useFakeClock();
    w->session().RecordPeriod(0, 0, 0, 199, 0, 0);
    QVERIFY(w->session().BeginRecordData());
    tick(200);
    QCOMPARE(buffer().rowCount(), 200);
    const int plain = pages(false);
    QVERIFY2(plain >= 3, qPrintable(QString::number(plain)));
    QVERIFY(pages(true) >= plain);
}

QTEST_MAIN(TestRecording)
#include "tst_recording.moc"
