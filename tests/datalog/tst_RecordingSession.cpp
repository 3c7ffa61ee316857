// The recording session without any window (QCoreApplication): a supply stand-in read by the
// engine on a fake clock, the samples in a store of a temporary folder; a supply that stops
// running ends the recording and keeps its samples.
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
private slots:
    // Ten one-second samples of two channels: refused without a running supply or with its
    // output off; then the readings as the supply gave them, in the buffer and in the store.
    // The supply then stops running in the middle of the next recording: it ends with a
    // message that does not wait in the tick, and its samples stay.
    void samplesStoredAndKeptWhenTheSupplyGoes();
};

void TestRecordingSession::samplesStoredAndKeptWhenTheSupplyGoes()
{
    QTemporaryDir dir;
    RecordStore store;
    QVERIFY(dir.isValid() && store.open(dir.path()).ok());
    FakeSupply supply;
    ScriptedPrompter prompter;
    ScopedPrompter scopedPrompter{prompter};
    prompter.defaultChoice = Prompter::Choice::Discard;
    FakeClock clock{QDateTime(QDate(2026, 3, 5), QTime(9, 30, 0))};
    ScopedClock scopedClock{clock};
    RecordingSession session(store, nullptr, supply);
    const auto tick = [&] {
        clock.advanceMs(1000);
        session.engine().TimerRecordData_Timer();
    };

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
        tick();
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

    // A new run; after three samples the supply is gone.
    prompter.clear();
    session.RecordPeriod(0, 0, 0, 9, 0, 0);
    QVERIFY(session.BeginRecordData());
    for (int t = 0; t < 3; ++t)
        tick();
    supply.running = false;
    tick();
    QVERIFY(!session.isRecording());
    QCOMPARE(prompter.messageTexts(),
             QStringList{QStringLiteral("The supply is no longer running; the recording has stopped.")});
    QCOMPARE(buffer.size(), 3);
    QCOMPARE(store.bufferSamples().value_or(QList<SampleRow>()).size(), 3);
}

QTEST_GUILESS_MAIN(TestRecordingSession)
#include "tst_RecordingSession.moc"
