// One program per store: a second store on the same folder is told who holds it and may only
// read; the claim ends with its holder, however it ends.
#include "StoreTestSupport.h"
#include "support/TestEnvironment.h"

#include "datalog/RecordStore.h"
#include "datalog/StoreClaim.h"

#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using StoreTest::sample;

class TestStoreClaim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void secondStoreIsToldWhoHoldsItAndMayOnlyRead();
    void killedHolderLeavesNothingThatBlocks();
    void unsavedSamplesAreKnownAcrossRestarts();
};

void TestStoreClaim::secondStoreIsToldWhoHoldsItAndMayOnlyRead()
{
    QTemporaryDir dir;
    RecordStore first;
    QVERIFY(first.open(dir.path()).ok());
    for (int i = 0; i < 3; ++i)
        QVERIFY(first.appendSample(sample(i)));
    QVERIFY(first.saveRecord(StoreTest::record(QStringLiteral("1"))));
    QVERIFY(first.clearBuffer() && first.appendSample(sample(0)) && first.appendSample(sample(1)));

    RecordStore second;
    StoreOpenResult result = second.open(dir.path());
    QCOMPARE(result.status, StoreOpenResult::Status::HeldElsewhere);
    QCOMPARE(result.holder.pid, qint64(::getpid()));
    QCOMPARE(result.holder.host, QSysInfo::machineHostName());
    const QString who = QStringLiteral("process %1 on host %2").arg(::getpid()).arg(QSysInfo::machineHostName());
    QVERIFY2(result.message.contains(who), qPrintable(result.message));
    QVERIFY(!second.isOpen());

    // Read-only: the records can be browsed; nothing is written, the other's unsaved samples
    // stay, and the reason is given.
    QCOMPARE(second.open(dir.path(), RecordStore::IntegrityCheck::Now, RecordStore::Access::ReadOnly).status,
             StoreOpenResult::Status::Opened);
    QVERIFY(second.isReadOnly() && second.writeRefusal() && second.writeRefusal()->contains(who));
    QCOMPARE(second.savedRecords().value_or(QList<RecordInfo>()).size(), 1);
    QCOMPARE(second.unsavedCount(), std::optional<qint64>(0));
    QCOMPARE(second.loadRecord(QStringLiteral("1")), RecordStore::LoadResult::Loaded);
    QCOMPARE(second.bufferSamples().value_or(QList<SampleRow>()).size(), 3);
    RecordInfo r = StoreTest::record(QString());
    QVERIFY(!second.appendSample(sample(9)));
    QCOMPARE(second.lastError().description, *second.writeRefusal());
    QVERIFY(!second.clearBuffer() && !second.saveNewRecord(r) && !second.deleteRecord(QStringLiteral("1"))
            && !second.replaceRecord(StoreTest::record(QStringLiteral("1"), QStringLiteral("changed")))
            && !second.updateComment(0, QStringLiteral("x")));
    QCOMPARE(first.bufferCount(), std::optional<qint64>(2));
    QCOMPARE(first.findRecord(QStringLiteral("1"))->comment, QString());
    // The holder goes on writing meanwhile.
    QVERIFY(first.appendSample(sample(2)));

    // Closed, the claim passes on; the lock file it leaves is no claim.
    const QString lock = StoreClaim::lockPath(first.filePath());
    first.close();
    QVERIFY(QFile::exists(lock));
    RecordStore third;
    QCOMPARE(third.open(dir.path()).status, StoreOpenResult::Status::Opened);
    QVERIFY(!third.isReadOnly() && third.appendSample(sample(3)));
}

void TestStoreClaim::killedHolderLeavesNothingThatBlocks()
{
    QTemporaryDir dir;
    QProcess writer;
    writer.start(QStringLiteral(STORE_WRITER), {dir.path()});
    QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
    QByteArray output;
    while (!output.contains('\n')) {
        QVERIFY2(writer.waitForReadyRead(60000), writer.readAllStandardError().constData());
        output += writer.readAllStandardOutput();
    }
    RecordStore store;
    const StoreOpenResult held = store.open(dir.path());
    QCOMPARE(held.status, StoreOpenResult::Status::HeldElsewhere);
    QCOMPARE(held.holder.pid, writer.processId());

    writer.kill();  // SIGKILL: no chance to tidy up
    QVERIFY(writer.waitForFinished(60000) && writer.exitStatus() == QProcess::CrashExit);
    QCOMPARE(store.open(dir.path()).status, StoreOpenResult::Status::Opened);
    QCOMPARE(StoreClaim::readHolder(StoreClaim::lockPath(store.filePath())).pid, qint64(::getpid()));
    // The samples the writer committed are this program's unsaved samples now.
    QVERIFY(store.unsavedCount().value_or(0) > 0);
}

// Samples recorded and not saved are known as such after a restart; saved, loaded or cleared
// they are not; the first sample after a save starts unsaved ones again.
void TestStoreClaim::unsavedSamplesAreKnownAcrossRestarts()
{
    QTemporaryDir dir;
    auto reopened = [&dir](RecordStore &store) {
        store.close();
        return store.open(dir.path()).ok();
    };
    RecordStore store;
    QVERIFY(store.open(dir.path()).ok());
    QCOMPARE(store.unsavedCount(), std::optional<qint64>(0));
    for (int i = 0; i < 4; ++i)
        QVERIFY(store.appendSample(sample(i)));
    QVERIFY(reopened(store));
    QCOMPARE(store.unsavedCount(), std::optional<qint64>(4));
    RecordInfo r = StoreTest::record(QString());
    QVERIFY(store.saveNewRecord(r));
    QCOMPARE(store.unsavedCount(), std::optional<qint64>(0));
    QVERIFY(reopened(store));
    QCOMPARE(store.unsavedCount(), std::optional<qint64>(0));
    QCOMPARE(store.bufferCount(), std::optional<qint64>(4));

    QVERIFY(store.clearBuffer() && store.appendSample(sample(0)));
    QVERIFY(reopened(store));
    QCOMPARE(store.unsavedCount(), std::optional<qint64>(1));
    // Saved elsewhere (the lab server) counts as saved too.
    QVERIFY(store.markBufferSaved(QStringLiteral("77")));
    QVERIFY(reopened(store));
    QCOMPARE(store.unsavedCount(), std::optional<qint64>(0));

    // A loaded record is saved, also once a comment has made it the buffer's own copy.
    QVERIFY(store.loadRecord(r.recNo) == RecordStore::LoadResult::Loaded && store.updateComment(1, QStringLiteral("note")));
    QVERIFY(reopened(store));
    QCOMPARE(store.unsavedCount(), std::optional<qint64>(0));
    QCOMPARE(store.bufferCount(), std::optional<qint64>(4));
}

QTEST_GUILESS_MAIN(TestStoreClaim)
#include "tst_StoreClaim.moc"
