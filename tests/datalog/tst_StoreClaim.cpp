// One program per store: a second store on the same folder is told who holds it and may only
// read; the claim ends with its holder, however it ends, and a killed writer loses at most the
// sample it was writing.
#include "StoreTestSupport.h"
#include "support/TestEnvironment.h"

#include "datalog/StoreClaim.h"

#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QtTest>

#include <unistd.h>

using StoreTest::record;
using StoreTest::sample;

// The SeqNo on the last complete line the writer printed, -1 when none.
static qint64 lastReported(const QByteArray &output)
{
    const QList<QByteArray> lines = output.split('\n');  // the last piece is incomplete
    return lines.size() < 2 ? -1 : lines.at(lines.size() - 2).toLongLong();
}

class TestStoreClaim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void secondStoreIsToldWhoHoldsItAndMayOnlyRead();
    void killedWriterLosesAtMostTheSampleInProgressAndBlocksNothing();
    void unsavedSamplesAreKnownAcrossRestarts();
};

void TestStoreClaim::secondStoreIsToldWhoHoldsItAndMayOnlyRead()
{
    StoreTest::TempStore held;
    RecordStore &first = held.store;
    QVERIFY(held.open() && StoreTest::appendSamples(first, 3) && first.saveRecord(record(QStringLiteral("1"))));
    QVERIFY(first.clearBuffer() && StoreTest::appendSamples(first, 2));

    RecordStore second;
    StoreOpenResult result = second.open(held.dir.path());
    QCOMPARE(result.status, StoreOpenResult::Status::HeldElsewhere);
    QCOMPARE(result.holder.pid, qint64(::getpid()));
    QCOMPARE(result.holder.host, QSysInfo::machineHostName());
    const QString who = QStringLiteral("process %1 on host %2").arg(::getpid()).arg(QSysInfo::machineHostName());
    QVERIFY2(result.message.contains(who), qPrintable(result.message));
    QVERIFY(!second.isOpen());

    // Read-only: the records can be browsed; nothing is written, the other's unsaved samples
    // stay, and the reason is given.
    QCOMPARE(second.open(held.dir.path(), RecordStore::IntegrityCheck::Now, RecordStore::Access::ReadOnly).status,
             StoreOpenResult::Status::Opened);
    QVERIFY(second.isReadOnly() && second.writeRefusal() && second.writeRefusal()->contains(who));
    QCOMPARE(second.savedRecords().value_or(QList<RecordInfo>()).size(), 1);
    QCOMPARE(second.unsavedCount(), std::optional<qint64>(0));
    QCOMPARE(second.loadRecord(QStringLiteral("1")), RecordStore::LoadResult::Loaded);
    QCOMPARE(second.bufferSamples().value_or(QList<SampleRow>()).size(), 3);
    RecordInfo r = record(QString());
    QVERIFY(!second.appendSample(sample(9)));
    QCOMPARE(second.lastError().description, *second.writeRefusal());
    QVERIFY(!second.clearBuffer() && !second.saveNewRecord(r) && !second.deleteRecord(QStringLiteral("1"))
            && !second.replaceRecord(record(QStringLiteral("1"), QStringLiteral("changed")))
            && !second.updateComment(0, QStringLiteral("x")));
    QCOMPARE(first.bufferCount(), std::optional<qint64>(2));
    QCOMPARE(first.findRecord(QStringLiteral("1"))->comment, QString());
    QVERIFY(first.appendSample(sample(2)));  // the holder goes on writing meanwhile

    // Closed, the claim passes on; the lock file it leaves is no claim.
    const QString lock = StoreClaim::lockPath(first.filePath());
    first.close();
    second.close();
    QVERIFY(QFile::exists(lock));
    QCOMPARE(second.open(held.dir.path()).status, StoreOpenResult::Status::Opened);
    QVERIFY(!second.isReadOnly() && second.appendSample(sample(3)));
}

// A recording killed at any moment loses at most the sample being written, and the file is
// whole when opened again; meanwhile the writer held the store, and its claim died with it.
void TestStoreClaim::killedWriterLosesAtMostTheSampleInProgressAndBlocksNothing()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("mtype.db"));
    for (const qint64 killAfter : {0, 1, 29, 150, 400}) {
        QProcess writer;
        writer.start(QStringLiteral(STORE_WRITER), {dir.path()});
        QByteArray output;
        while (lastReported(output) < killAfter) {
            QVERIFY2(writer.waitForReadyRead(60000), writer.readAllStandardError().constData());
            output += writer.readAllStandardOutput();
        }
        RecordStore store;
        const StoreOpenResult held = store.open(dir.path());
        QCOMPARE(held.status, StoreOpenResult::Status::HeldElsewhere);
        QCOMPARE(held.holder.pid, writer.processId());
        writer.kill();  // SIGKILL, in the middle of whatever the writer was doing: no chance to tidy up
        QVERIFY(writer.waitForFinished(60000) && writer.exitStatus() == QProcess::CrashExit);
        const qint64 reported = lastReported(output + writer.readAllStandardOutput());

        QCOMPARE(StoreTest::scalar(file, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        const qint64 rows = StoreTest::scalar(file, QStringLiteral("SELECT count(*) FROM datatemp")).toLongLong();
        // Every reported sample is there; at most one more was committed but not yet reported.
        QVERIFY2(rows == reported + 1 || rows == reported + 2,
                 qPrintable(QStringLiteral("reported %1, stored %2").arg(reported).arg(rows)));
        QCOMPARE(StoreTest::scalar(file, QStringLiteral("SELECT count(DISTINCT SeqNo) || ':' || max(SeqNo) FROM datatemp"))
                     .toString(), QStringLiteral("%1:%2").arg(rows).arg(rows - 1));

        QCOMPARE(store.open(dir.path()).status, StoreOpenResult::Status::Opened);
        QCOMPARE(StoreClaim::readHolder(StoreClaim::lockPath(store.filePath())).pid, qint64(::getpid()));
        QCOMPARE(store.bufferSamples()->last(), sample(rows - 1));
        // The samples the writer committed are this program's unsaved samples now.
        QCOMPARE(store.unsavedCount(), std::optional<qint64>(rows));
    }
}

// Samples recorded and not saved are known as such after a restart; saved, loaded or cleared
// they are not; the first sample after a save starts unsaved ones again.
void TestStoreClaim::unsavedSamplesAreKnownAcrossRestarts()
{
    StoreTest::TempStore t;
    RecordStore &store = t.store;
    // The unsaved count and buffer size after closing and opening the store again.
    auto afterRestart = [&t] {
        t.store.close();
        return t.open() ? QList<qint64>({t.store.unsavedCount().value_or(-1), t.store.bufferCount().value_or(-1)})
                        : QList<qint64>();
    };
    QVERIFY(t.open());
    QCOMPARE(store.unsavedCount(), std::optional<qint64>(0));
    QVERIFY(StoreTest::appendSamples(store, 4));
    QCOMPARE(afterRestart(), QList<qint64>({4, 4}));
    RecordInfo r = record(QString());
    QVERIFY(store.saveNewRecord(r));
    QCOMPARE(store.unsavedCount(), std::optional<qint64>(0));
    QCOMPARE(afterRestart(), QList<qint64>({0, 4}));

    QVERIFY(store.clearBuffer() && store.appendSample(sample(0)));
    QCOMPARE(afterRestart(), QList<qint64>({1, 1}));
    // Saved elsewhere (the lab server) counts as saved too.
    QVERIFY(store.markBufferSaved(QStringLiteral("77")));
    QCOMPARE(afterRestart(), QList<qint64>({0, 1}));

    // A loaded record is saved, also once a comment has made it the buffer's own copy.
    QVERIFY(store.loadRecord(r.recNo) == RecordStore::LoadResult::Loaded && store.updateComment(1, QStringLiteral("note")));
    QCOMPARE(afterRestart(), QList<qint64>({0, 4}));
}

QTEST_GUILESS_MAIN(TestStoreClaim)
#include "tst_StoreClaim.moc"
