// A recording killed in the middle: the next start shows every committed sample in the
// table window with a message that stays, whatever the start-up does meanwhile, and nothing
// deletes them without asking. A store held by another program, or not yet checked, takes
// no recording, save or delete.
#include "MainwinRig.h"

#include "datalog/RecordStore.h"
#include "datalog/RecordingSession.h"
#include "datalog/frmGraphicRecord.h"
#include "mainwin/StoreStartup.h"
#include "support/TestEnvironment.h"

#include <QLineEdit>
#include <QProcess>
#include <QSysInfo>
#include <QtTest>

#include <unistd.h>

namespace {

const QString Recovered = QStringLiteral("samples of a recording that was not saved were recovered");

QString unsavedQuestion(qint64 n)
{
    return QStringLiteral("%1 unsaved samples will be deleted. Save them first?").arg(n);
}

QStringList questionTexts(const ScriptedPrompter &p)
{
    QStringList out;
    for (const auto &q : p.questions)
        out << q.text;
    return out;
}

// The testing mode without a supply: a panel of layout 1 with its table window.
bool identifiedWithoutSupply(MDIForm1 &w)
{
    w.Setup(QStringLiteral("Menu"), QStringLiteral("XPP-3202"), false);
    return QTest::qWaitFor([&w] { return w.MainFormState() == 3 && w.tableDataForm1(); }, 20000);
}

// `n` samples of a recording that was never saved, in the store of the default folder.
bool leaveUnsavedSamples(int n)
{
    RecordStore store;
    if (!store.open().ok() || !store.clearBuffer())
        return false;
    for (int i = 0; i < n; ++i) {
        SampleRow row;
        row.seqNo = i;
        row.recTime = QStringLiteral("2026/01/01 12:00:%1").arg(i, 2, 10, QLatin1Char('0'));
        if (!store.appendSample(row))
            return false;
    }
    return true;
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void killedRecordingIsShownAtNextStart();
    void connectionAtStartKeepsRecoveredSamplesInFront();
    void storeNotYetCheckedOrHeldElsewhereTakesNoWrites();
};

void TestRecovery::killedRecordingIsShownAtNextStart()
{
    QProcess child;
    child.start(QStringLiteral(RECORDING_CHILD), {});
    QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
    QByteArray output;
    // The last whole line the child printed: the number of its last sample.
    const auto reported = [&output] {
        const QList<QByteArray> lines = output.split('\n');
        return lines.size() < 2 ? -1 : lines.at(lines.size() - 2).toLongLong();
    };
    while (reported() < 40) {
        QVERIFY2(child.waitForReadyRead(60000), qPrintable(QStringLiteral("child state %1, exit %2: %3")
                                                               .arg(child.state())
                                                               .arg(child.exitCode())
                                                               .arg(QString::fromLocal8Bit(child.readAllStandardError()))));
        output += child.readAllStandardOutput();
    }
    child.kill();
    QVERIFY(child.waitForFinished(60000) && child.exitStatus() == QProcess::CrashExit);
    output += child.readAllStandardOutput();

    // Started as the program starts: the killed program's claim is gone with it.
    InstalledPrompter prompter;
    const std::shared_ptr<RecordStore> store = StoreStartup::openStore(RecordStore::defaultFolder());
    QVERIFY(store && prompter.messages.isEmpty());
    auto w = makeWindow(false, store);
    StoreStartup startup(*w, store);
    QSignalSpy finished(&startup, &StoreStartup::finished);
    // The window's first frame does not wait for the check.
    bool pendingAtFirstFrame = false;
    connect(&startup, &StoreStartup::firstFrame, this, [&] { pendingAtFirstFrame = store->checkPending(); });
    startup.start();
    QVERIFY(finished.wait(60000));
    QVERIFY(pendingAtFirstFrame && !store->checkPending());
    frmDataTable *table = w->tableDataForm1();
    QVERIFY(table && table->isVisible());
    // Every sample reported is there; at most the one in flight was committed unreported.
    const int rows = w->session().buffer().rowCount();
    QVERIFY2(rows == reported() + 1 || rows == reported() + 2,
             qPrintable(QStringLiteral("reported %1, shown %2").arg(reported()).arg(rows)));
    QCOMPARE(w->session().buffer().seqNo(rows - 1), qint64(rows - 1));
    // Saved as they are, they keep the times of their first and last samples.
    QCOMPARE(table->findChild<QLineEdit *>(QStringLiteral("txtStartTime"))->text(), QStringLiteral("2026/01/01 12:00:00"));
    QCOMPARE(table->findChild<QLineEdit *>(QStringLiteral("txtEndTime"))->text(), w->session().buffer().recTime(rows - 1));
    // Told in a message that stays until read, and in the status bar.
    QCOMPARE(prompter.messageTexts().size(), 1);
    QVERIFY2(prompter.messageTexts().first().startsWith(QStringLiteral("%1 %2").arg(rows).arg(Recovered)),
             qPrintable(prompter.messageTexts().first()));
    w->StatusTimer_Timer();
    QVERIFY2(w->statusText().startsWith(QStringLiteral("%1 %2").arg(rows).arg(Recovered)), qPrintable(w->statusText()));

    // Kept until the user saves them or agrees to lose them: Start and Clear ask first, and
    // Cancel changes nothing.
    prompter.clear();
    w->session().RecordPeriod(0, 0, 0, 10, 0, 0);
    QVERIFY(!w->session().BeginRecordData());
    table->cmdClear_Click();
    QCOMPARE(questionTexts(prompter), QStringList(2, unsavedQuestion(rows)));
    QVERIFY(prompter.messages.isEmpty() && store->bufferCount() == rows && w->session().buffer().rowCount() == rows);

    // Save saves them as an ordinary record, without a second question, and the start goes
    // on: here without a supply, so it is refused after the buffer was emptied.
    prompter.clear();
    prompter.choices = {Prompter::Choice::Save};
    QVERIFY(!w->session().BeginRecordData());
    QCOMPARE(questionTexts(prompter), QStringList{unsavedQuestion(rows)});
    QCOMPARE(prompter.messageTexts(), QStringList{QStringLiteral("Please check connection with device and then try again!")});
    QVERIFY(store->bufferCount() == 0 && w->session().buffer().rowCount() == 0);
    const auto saved = store->savedRecords().value_or(QList<RecordInfo>());
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved.first().startTime, QStringLiteral("2026/01/01 12:00:00"));
    QCOMPARE(store->loadRecord(saved.first().recNo), RecordStore::LoadResult::Loaded);
    QCOMPARE(store->bufferCount(), std::optional<qint64>(rows));
}

// As with "zep --connect": the supply is identified while the store is being checked. The
// recovered samples are in front once the panel is up, and a load asks before it deletes them.
void TestRecovery::connectionAtStartKeepsRecoveredSamplesInFront()
{
    QVERIFY(leaveUnsavedSamples(7));
    InstalledPrompter prompter;
    const std::shared_ptr<RecordStore> store = StoreStartup::openStore(RecordStore::defaultFolder());
    QVERIFY(store);
    auto w = makeWindow(false, store);
    SimSupply sim(QStringLiteral("XPP-3202"));
    StoreStartup startup(*w, store);
    QSignalSpy finished(&startup, &StoreStartup::finished);
    w->SetupSerialPort(sim.port(), 115200);
    startup.start();
    QVERIFY(QTest::qWaitFor([&] { return finished.size() == 1 && w->MainFormState() == 3 && w->OperatorForm()
                                         && !w->connection().isQueryInitialValues(); }, 30000));
    frmDataTable *table = w->tableDataForm1();
    QVERIFY(QTest::qWaitFor([&] { return table && table->isVisible() && !w->OperatorForm()->isVisible(); }, 10000));
    QCOMPARE(w->session().buffer().rowCount(), 7);
    QVERIFY(!prompter.messageTexts().filter(QStringLiteral("7 ") + Recovered).isEmpty());

    // Loading a record would delete them: asked, and Cancel keeps them.
    prompter.clear();
    QVERIFY(!w->session().loadRecord(QStringLiteral("1")));
    QCOMPARE(questionTexts(prompter), QStringList{unsavedQuestion(7)});
    QCOMPARE(store->bufferCount(), std::optional<qint64>(7));
    // Discard lets them go.
    prompter.choices = {Prompter::Choice::Discard};
    table->cmdClear_Click();
    QCOMPARE(store->bufferCount(), std::optional<qint64>(0));
    QCOMPARE(questionTexts(prompter).size(), 2);
}

void TestRecovery::storeNotYetCheckedOrHeldElsewhereTakesNoWrites()
{
    QVERIFY(leaveUnsavedSamples(3));
    {
        // Not yet checked: Start is refused with the reason before anything is asked.
        InstalledPrompter prompter;
        const std::shared_ptr<RecordStore> store = StoreStartup::openStore(RecordStore::defaultFolder());
        QVERIFY(store && store->checkPending());
        auto w = makeWindow(true, store);
        QVERIFY(identifiedWithoutSupply(*w));
        w->DoOutput(true);
        w->session().RecordPeriod(0, 0, 0, 10, 0, 0);
        w->mnuRecordStart_Click();
        QCOMPARE(prompter.messageTexts(), QStringList{*store->writeRefusal()});
        QVERIFY(prompter.questions.isEmpty() && !w->session().engine().isRecording());
        QVERIFY(prompter.messageTexts().first().contains(QStringLiteral("still being checked")));
        // Once checked, the start asks about the 3 samples, and with Discard records.
        StoreStartup startup(*w, store);
        QSignalSpy finished(&startup, &StoreStartup::finished);
        startup.start();
        QVERIFY(finished.wait(60000));
        prompter.clear();
        prompter.choices = {Prompter::Choice::Discard};
        w->mnuRecordStart_Click();
        QCOMPARE(questionTexts(prompter), QStringList{unsavedQuestion(3)});
        QVERIFY(w->session().engine().isRecording());
        w->mnuRecordStop_Click();
    }

    // Held by another program: asked whether to open read-only or quit.
    RecordStore holder;
    QVERIFY(holder.open().ok() && holder.clearBuffer() && holder.appendSample(SampleRow{}));
    const QString who = QStringLiteral("process %1 on host %2").arg(::getpid()).arg(QSysInfo::machineHostName());
    {
        InstalledPrompter prompter;
        prompter.answers = {false};
        QVERIFY(!StoreStartup::openStore(RecordStore::defaultFolder()));
        QCOMPARE(prompter.questions.size(), 1);
        QVERIFY2(prompter.questions.first().text.contains(who), qPrintable(prompter.questions.first().text));
    }
    InstalledPrompter prompter;
    prompter.answers = {true};
    const std::shared_ptr<RecordStore> store = StoreStartup::openStore(RecordStore::defaultFolder());
    QVERIFY(store && store->isReadOnly());
    auto w = makeWindow(false, store);
    StoreStartup startup(*w, store);
    QVERIFY(w->windowTitle().endsWith(QStringLiteral("(read-only)")));
    QVERIFY(identifiedWithoutSupply(*w));
    w->DoOutput(true);
    frmDataTable *table = w->tableDataForm1();
    // The other program's samples are no samples of this one to recover or to ask about.
    QCOMPARE(store->unsavedCount(), std::optional<qint64>(0));
    prompter.clear();
    w->session().RecordPeriod(0, 0, 0, 10, 0, 0);
    w->mnuRecordStart_Click();
    table->cmdSave_Click();
    table->cmdClear_Click();
    w->waveForm1()->cmdDel_Click();
    QCOMPARE(prompter.messageTexts(), QStringList(4, *store->writeRefusal()));
    QVERIFY(prompter.questions.isEmpty() && !w->session().engine().isRecording());
    QVERIFY(store->writeRefusal()->contains(who));
    QCOMPARE(holder.bufferCount(), std::optional<qint64>(1));
    QVERIFY(holder.appendSample(SampleRow{}));
}

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
