// A recording killed in the middle: the next start shows every committed sample in the
// table window and says how many were recovered; they go when a new recording starts.
#include "MainwinRig.h"

#include "datalog/RecordStore.h"
#include "support/TestEnvironment.h"

#include <QLineEdit>
#include <QProcess>
#include <QtTest>

class TestRecovery : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void killedRecordingIsShownAtNextStart();
};

void TestRecovery::killedRecordingIsShownAtNextStart()
{
    QProcess child;
    child.start(QStringLiteral(RECORDING_CHILD), {});
    QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
    QByteArray output;
    qint64 reported = -1;
    while (reported < 40) {
        QVERIFY2(child.waitForReadyRead(60000), child.readAllStandardError().constData());
        output += child.readAllStandardOutput();
        const QList<QByteArray> lines = output.split('\n');
        reported = lines.size() < 2 ? -1 : lines.at(lines.size() - 2).toLongLong();
    }
    child.kill();
    QVERIFY(child.waitForFinished(60000) && child.exitStatus() == QProcess::CrashExit);
    output += child.readAllStandardOutput();
    const QList<QByteArray> lines = output.split('\n');
    reported = lines.at(lines.size() - 2).toLongLong();

    InstalledPrompter prompter;
    auto store = std::make_shared<RecordStore>();
    QVERIFY(store->open(RecordStore::defaultFolder(), RecordStore::IntegrityCheck::Later).ok());
    QCOMPARE(store->verify().status, StoreOpenResult::Status::Opened);
    MDIForm1::Collaborators c;
    c.records = store;
    MDIForm1 w(std::move(c));
    w.show();
    w.recoverUnsavedRecording();
    frmDataTable *table = w.tableDataForm1();
    QVERIFY(table && table->isVisible());
    // Every sample reported is there; at most the one in flight was committed unreported.
    const int rows = table->buffer().rowCount();
    QVERIFY2(rows == reported + 1 || rows == reported + 2,
             qPrintable(QStringLiteral("reported %1, shown %2").arg(reported).arg(rows)));
    QCOMPARE(table->buffer().seqNo(rows - 1), qint64(rows - 1));
    // Saved as they are, they keep the times of their first and last samples.
    QCOMPARE(table->findChild<QLineEdit *>(QStringLiteral("txtStartTime"))->text(), QStringLiteral("2026/01/01 12:00:00"));
    QCOMPARE(table->findChild<QLineEdit *>(QStringLiteral("txtEndTime"))->text(), table->buffer().recTime(rows - 1));
    w.StatusTimer_Timer();
    QVERIFY2(w.statusText().startsWith(QStringLiteral("%1 samples of a recording that was not saved were recovered").arg(rows)),
             qPrintable(w.statusText()));

    // Kept until the user saves or clears them, or starts a new recording: here without a
    // supply, so the start is refused, but the buffer is emptied first.
    table->RecordPeriod(0, 0, 0, 10, 0, 0);
    QVERIFY(!table->BeginRecordData());
    QCOMPARE(prompter.messageTexts(), QStringList{QStringLiteral("Please check connection with device and then try again!")});
    QCOMPARE(store->bufferCount(), std::optional<qint64>(0));
    QCOMPARE(table->buffer().rowCount(), 0);
}

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
