// The recording session without any window (QCoreApplication): a supply stand-in read by the
// engine on a fake clock, the samples in a store of a temporary folder, saved, listed and
// loaded back; a supply that stops running ends the recording and keeps its samples.
#include "common/Clock.h"
#include "common/Prompter.h"
#include "datalog/RecordStore.h"
#include "datalog/RecordingInterfaces.h"
#include "datalog/RecordingSession.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The readings of a supply, as the test sets them.
class FakeSupply : public ReadingSource
{
public:
    bool running = true;
    bool output = true;
    QStringList volts{QStringLiteral("0"), QStringLiteral("0")};
    QStringList amps{QStringLiteral("0"), QStringLiteral("0")};

    bool isRunning() const override { return running; }
    bool isOutputOn() const override { return output; }
    QString machineType() const override { return QStringLiteral("XPP-3202"); }
    QString voltageText(int i) const override { return volts.value(i); }
    QString currentText(int i) const override { return amps.value(i); }
    double voltageMaximum(int) const override { return 32; }
    double currentMaximum(int) const override { return 2; }
};

} // namespace

class TestRecordingSession : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir;
    RecordStore store;
    FakeSupply supply;
    ScriptedPrompter prompter;
    ScopedPrompter scopedPrompter{prompter};
    FakeClock clock{QDateTime(QDate(2026, 3, 5), QTime(9, 30, 0))};
    ScopedClock scopedClock{clock};

    void tick(RecordingSession &session, int n)
    {
        for (int i = 0; i < n; ++i) {
            clock.advanceMs(1000);
            session.engine().TimerRecordData_Timer();
        }
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid() && store.open(dir.path()).ok()); }
    void init()
    {
        prompter.clear();
        prompter.defaultChoice = Prompter::Choice::Discard;
        supply = FakeSupply();
    }

    void tenSamplesStoredSavedAndLoaded();
    void supplyGoneStopsAndKeepsTheSamples();
};

// Ten one-second samples of two channels: refused without a running supply or with its
// output off; then the readings as the supply gave them, in the buffer and in the store; the
// record saved, listed and loaded back.
void TestRecordingSession::tenSamplesStoredSavedAndLoaded()
{
    RecordingSession session(store, nullptr, supply);
    session.setChannelCount(2);
    session.RecordPeriod(0, 0, 0, 9, 0, 0);
    supply.running = false;
    QVERIFY(!session.BeginRecordData());
    supply.running = true;
    supply.output = false;
    QVERIFY(!session.BeginRecordData());
    QCOMPARE(prompter.messageTexts(), QStringList({"Please check connection with device and then try again!",
                                                   "Please setup Device into Auto Run mode and then try again!"}));
    // Refusals the user can put right: information, not warnings.
    for (const ScriptedPrompter::Shown &shown : std::as_const(prompter.messages))
        QCOMPARE(shown.severity, Prompter::Severity::Information);
    supply.output = true;
    prompter.clear();

    QSignalSpy inserted(&session.buffer(), &QAbstractItemModel::rowsInserted);
    QVERIFY(session.BeginRecordData());
    QCOMPARE(session.record().startTime, QStringLiteral("2026/03/05 09:30:00"));
    for (int t = 0; t < 10; ++t) {
        // Texts stay as read: a decimal comma, trailing zeros, a unit.
        supply.volts = {QStringLiteral("12,5%1").arg(t), QStringLiteral("5.000")};
        supply.amps = {QStringLiteral("0.%1A").arg(t), QStringLiteral("1.0")};
        tick(session, 1);
    }
    QVERIFY(!session.isRecording());
    QCOMPARE(inserted.size(), 10);
    const SampleBuffer &buffer = session.buffer();
    QCOMPARE(buffer.size(), 10);
    QCOMPARE(buffer.voltage(9, 0) + QLatin1Char('|') + buffer.current(9, 0) + QLatin1Char('|')
                 + buffer.voltage(9, 1) + QLatin1Char('|') + buffer.current(9, 1),
             QStringLiteral("12,59|0.9A|5.000|1.0"));
    const QList<SampleRow> stored = store.bufferSamples().value_or(QList<SampleRow>());
    QCOMPARE(stored.size(), 10);
    QCOMPARE(stored.at(4).channels[0].voltage + QLatin1Char('|') + stored.at(4).channels[0].current,
             QStringLiteral("12,54|0.4A"));
    QCOMPARE(session.record().endTime, QStringLiteral("2026/03/05 09:30:09"));

    session.setDescription(QStringLiteral("bench 2"));
    prompter.answers = {true};
    QCOMPARE(session.saveRecord(RecordSaver::Texts::dataTable()), RecordSaver::Outcome::Saved);
    QCOMPARE(session.record().recNo, QStringLiteral("1"));
    QVERIFY(session.listRecords());
    QCOMPARE(session.savedRecords().rowCount(), 1);
    QCOMPARE(session.savedRecords().index(0, 3).data().toString(), QStringLiteral("bench 2"));

    session.ClearData();
    QCOMPARE(buffer.size(), 0);
    QVERIFY(session.record().recNo.isEmpty());
    QVERIFY(session.loadRecord(QStringLiteral("1")));
    QCOMPARE(buffer.size(), 10);
    QCOMPARE(buffer.voltage(0, 0), QStringLiteral("12,50"));
    QCOMPARE(session.record().recNo + QLatin1Char('|') + session.record().comment, QStringLiteral("1|bench 2"));
    QVERIFY(prompter.messages.isEmpty());
}

// The supply stops running after three samples: the recording ends with a message that does
// not wait in the tick, and the three samples stay.
void TestRecordingSession::supplyGoneStopsAndKeepsTheSamples()
{
    RecordingSession session(store, nullptr, supply);
    session.RecordPeriod(0, 0, 0, 9, 0, 0);
    QVERIFY(session.BeginRecordData());
    tick(session, 3);
    supply.running = false;
    tick(session, 1);
    QVERIFY(!session.isRecording());
    QCOMPARE(prompter.messageTexts(),
             QStringList{QStringLiteral("The supply is no longer running; the recording has stopped.")});
    QCOMPARE(session.buffer().size(), 3);
    QCOMPARE(store.bufferSamples().value_or(QList<SampleRow>()).size(), 3);
}

QTEST_GUILESS_MAIN(TestRecordingSession)
#include "tst_RecordingSession.moc"
