#include "StoreTestSupport.h"
#include "support/TestEnvironment.h"

#include "datalog/RecordStore.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// A recording killed at any moment loses at most the sample being written, and the file is
// whole when opened again.
class TestStoreDurability : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void killedWriterLosesAtMostTheSampleInProgress();
};

namespace {

// The SeqNo on the last complete line the writer printed, -1 when none.
qint64 lastReported(const QByteArray &output)
{
    const QList<QByteArray> lines = output.split('\n');  // the last piece is incomplete
    return lines.size() < 2 ? -1 : lines.at(lines.size() - 2).toLongLong();
}

} // namespace

void TestStoreDurability::killedWriterLosesAtMostTheSampleInProgress()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("mtype.db"));
    for (const qint64 killAfter : {0, 1, 29, 150, 400}) {
        QProcess writer;
        writer.start(QStringLiteral(STORE_WRITER), {dir.path()});
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        QByteArray output;
        while (lastReported(output) < killAfter) {
            QVERIFY2(writer.waitForReadyRead(60000), writer.readAllStandardError().constData());
            output += writer.readAllStandardOutput();
        }
        writer.kill();  // SIGKILL, in the middle of whatever the writer was doing
        QVERIFY(writer.waitForFinished(60000) && writer.exitStatus() == QProcess::CrashExit);
        output += writer.readAllStandardOutput();
        const qint64 reported = lastReported(output);

        QCOMPARE(StoreTest::scalar(file, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        const qint64 rows = StoreTest::scalar(file, QStringLiteral("SELECT count(*) FROM datatemp")).toLongLong();
        // Every reported sample is there; at most one more was committed but not yet reported.
        QVERIFY2(rows == reported + 1 || rows == reported + 2,
                 qPrintable(QStringLiteral("reported %1, stored %2").arg(reported).arg(rows)));
        QCOMPARE(StoreTest::scalar(file, QStringLiteral("SELECT count(DISTINCT SeqNo) || ':' || max(SeqNo) FROM datatemp")).toString(),
                 QStringLiteral("%1:%2").arg(rows).arg(rows - 1));

        RecordStore store;
        QCOMPARE(store.open(dir.path()).status, StoreOpenResult::Status::Opened);
        QCOMPARE(store.bufferSamples()->last(), StoreTest::sample(rows - 1));
    }
}

QTEST_GUILESS_MAIN(TestStoreDurability)
#include "tst_StoreDurability.moc"
