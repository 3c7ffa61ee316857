#include "StoreTestSupport.h"
#include "support/TestEnvironment.h"

#include "common/Clock.h"
#include "datalog/SqlConnection.h"
#include "datalog/StoreCheck.h"
#include "datalog/StoreClaim.h"
#include "resources/Catalogue.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSysInfo>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using StoreTest::record;
using StoreTest::sample;

namespace {

// A store of `samples` samples saved in records 1 .. `records`, then moved to graph window
// `window` (none: cleared), closed; `written` gets the samples.
QString storeWithSavedSamples(const QTemporaryDir &dir, int samples, QList<SampleRow> *written, int records = 1,
                              int window = 0)
{
    const QString file = dir.filePath(QStringLiteral("mtype.db"));
    RecordStore store;
    // In one statement: one append each would sync every sample.
    const bool ok = store.open(dir.path()).ok()
        && StoreTest::exec(file, QStringLiteral(
               "WITH RECURSIVE n(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM n WHERE x < %1) "
               "INSERT INTO datatemp SELECT x, '2026/03/05 10:00:00', x, '0.5', '0', x * 2, '0.6', '0', "
               "x * 3, '0.7', '0', x * 4, '0.8', '0', '', x, 1 FROM n").arg(samples - 1))
        && store.saveRecord(StoreTest::record(QStringLiteral("1"), QStringLiteral("long run")))
        && (records < 2 || store.saveRecord(StoreTest::record(QStringLiteral("2"), QStringLiteral("second"))));
    *written = store.bufferSamples().value_or(QList<SampleRow>());
    const bool cleared = ok && (window ? store.moveBufferToWindow(window) : store.clearBuffer());
    store.close();
    return cleared && StoreTest::exec(file, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")) ? file : QString();
}

// Overwrites the given pages of `file` with `fill`; the file's bytes after, empty on failure.
QByteArray overwritePages(const QString &file, const QList<int> &pages, char fill)
{
    const int pageSize = StoreTest::scalar(file, QStringLiteral("PRAGMA page_size")).toInt();
    QByteArray bytes = StoreTest::readFile(file);
    for (int page : pages) {
        if (pageSize <= 0 || bytes.size() < page * pageSize)
            return QByteArray();
        bytes.replace((page - 1) * pageSize, pageSize, QByteArray(pageSize, fill));
    }
    return StoreTest::writeFile(file, bytes) ? bytes : QByteArray();
}

// The SeqNo on the last complete line store_writer printed, -1 when none.
qint64 lastReported(const QByteArray &output)
{
    const QList<QByteArray> lines = output.split('\n');  // the last piece is incomplete
    return lines.size() < 2 ? -1 : lines.at(lines.size() - 2).toLongLong();
}

} // namespace

// Opening the record database at start-up: an older store, a folder or file that cannot be
// used, the repair of a damaged file, and one program per store: a second store on the same
// folder is told who holds it and may only read; the claim ends with its holder, however it
// ends, and a killed writer loses at most the sample it was writing.
class TestStoreStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void olderStoreGetsMissingMachineTypesAndKeepsRecords()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("mtype.db"));
        // A store of an earlier version: fewer machine types (one edited by hand), one record,
        // and no buffer or auxiliary tables yet.
        for (const char *sql : {
                 "CREATE TABLE data1 (MTYPE TEXT, INMENU INTEGER, LAYOUT INTEGER, PERCHANNEL INTEGER, "
                 "VMAX REAL, IMAX REAL, OVPMAX REAL, VSTEP REAL, ISTEP REAL, OVPSTEP REAL, "
                 "VFORMAT TEXT, IFORMAT TEXT, OVPFORMAT TEXT)",
                 "INSERT INTO data1 VALUES ('XPP-3201', 'true', 1, 0, 30, 1, 33, 0.01, 0.001, 0.01, '.00', '.000', '.00')",
                 "INSERT INTO data1 VALUES ('LAB-0001', 0, 2, 0, 10, 1, 11, 0.1, 0.01, 0.1, '.0', '.00', '.0')",
                 "CREATE TABLE datamain (RecNo TEXT, StartTime TEXT, EndTime TEXT, Comment TEXT, PUnit TEXT, "
                 "SUnit TEXT, RecStyle TEXT, ShowStyle TEXT)",
                 "INSERT INTO datamain VALUES ('7', '2016/05/03 14:07:09', '2016/05/03 14:08:09', 'oven', 'V', 'A', '0', '1')",
                 "CREATE TABLE datadetail (recno TEXT, SeqWindow INTEGER, SeqNo INTEGER, RecTime TEXT, PVal TEXT, "
                 "SVal TEXT, Reason TEXT, PVal2 TEXT, SVal2 TEXT, Reason2 TEXT, PVal3 TEXT, SVal3 TEXT, Reason3 TEXT, "
                 "PVal4 TEXT, SVal4 TEXT, Reason4 TEXT, Comment TEXT, TimeTick INTEGER, DiffLastTime INTEGER)",
                 "INSERT INTO datadetail VALUES ('7', 1, 0, '2016/05/03 14:07:09', '5.002', '0.101', '1', '0', '0', '2', "
                 "'0', '0', '3', '0', '0', '4', 'hot', 0, 0)"}) {
            QVERIFY(StoreTest::exec(file, QLatin1String(sql)));
        }

        RecordStore store;
        QCOMPARE(store.open(dir.path()).status, StoreOpenResult::Status::Opened);
        store.close();  // opening again adds nothing twice
        QCOMPARE(store.open(dir.path()).status, StoreOpenResult::Status::Opened);
        const auto types = store.machineTypes();
        QVERIFY(types && types->size() == Catalogue::shipped().size() + 1);
        QCOMPARE(types->at(0).vMax, 30.0);          // the hand edit stays
        QVERIFY(types->at(0).inMenu);               // "true" typed as text still reads as true
        QCOMPARE(types->at(1).mtype, QStringLiteral("LAB-0001"));

        RecordInfo loaded;
        QCOMPARE(store.loadRecord(QStringLiteral("7"), &loaded), RecordStore::LoadResult::Loaded);
        QCOMPARE(loaded.comment, QStringLiteral("oven"));
        const auto rows = store.bufferSamples();
        QVERIFY(rows && rows->size() == 1);
        QCOMPARE(rows->at(0).channels[0].voltage + rows->at(0).comment, QStringLiteral("5.002hot"));
        QCOMPARE(store.nextRecordNumber(), std::optional<QString>(QStringLiteral("8")));
    }

    // A folder that cannot be made, or a store that is there but cannot be used, is explained
    // with its reason; it is never called missing (the advice to copy a file over it would
    // overwrite the user's records) and never "repaired".
    void unusableStoreSaysWhy()
    {
        StoreTest::TempStore users;  // the user's store, with one sample
        QVERIFY(users.open() && users.store.appendSample(sample(0)));
        users.store.close();
        QTemporaryDir dir;
        const QDir d(dir.path());
        const QString foreign = d.filePath(QStringLiteral("foreign/mtype.db"));  // another program's, with a data1
        QVERIFY(StoreTest::writeFile(d.filePath(QStringLiteral("blocker")), "a file, not a folder")
                && d.mkpath(QStringLiteral("odd/mtype.db/inside")) && d.mkpath(QStringLiteral("foreign"))
                && StoreTest::exec(foreign, QStringLiteral("CREATE TABLE data1 (id INTEGER, name TEXT)"))
                && StoreTest::exec(foreign, QStringLiteral("INSERT INTO data1 VALUES (1, 'theirs')")));
        SqlConnection locker(users.file());  // another program's lock
        std::optional<QSqlQuery> lock;
        QVERIFY(locker.open() && lock.emplace(locker.db()).exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"))
                && lock->exec(QStringLiteral("BEGIN EXCLUSIVE")));

        // Each folder, the text its message starts with, and texts it contains.
        struct Case { QString folder, starts; QStringList contains; };
        const QString blocked = d.filePath(QStringLiteral("blocker/ZEP-1-0"));
        QList<Case> cases{
            {blocked, QStringLiteral("The data folder [%1] cannot be created: Not a directory.").arg(blocked), {}},
            {d.filePath(QStringLiteral("odd")), QStringLiteral("System cannot find ["), {}},
            {d.filePath(QStringLiteral("foreign")), QString(), {QStringLiteral("is not a record database of this program"), QStringLiteral("data1")}},
            {users.dir.path(), QString(), {QStringLiteral("locked by another program")}}};
        // A parent folder without write permission (the superuser may write anywhere), and a
        // folder that is there but takes no new file.
        const QString locked = d.filePath(QStringLiteral("locked"));
        if (::geteuid() != 0) {
            QVERIFY(d.mkpath(locked) && ::chmod(QFile::encodeName(locked).constData(), 0555) == 0);
            cases << Case{locked + QStringLiteral("/ZEP-1-0"),
                          QStringLiteral("The data folder [%1/ZEP-1-0] cannot be created: Permission denied.").arg(locked), {}}
                  << Case{locked, QString(), {QStringLiteral("cannot be claimed"), QStringLiteral("Permission denied")}};
        }
        RecordStore store;
        for (const Case &c : std::as_const(cases)) {
            const StoreOpenResult result = store.open(c.folder);
            QCOMPARE(result.status, StoreOpenResult::Status::CannotOpen);
            QVERIFY2(result.message.startsWith(c.starts) && (c.starts.contains(QStringLiteral("cannot find"))
                                                             || !result.message.contains(QStringLiteral("cannot find"))),
                     qPrintable(result.message));
            for (const QString &part : c.contains)
                QVERIFY2(result.message.contains(part), qPrintable(result.message));
            QVERIFY(!store.isOpen() && !store.bufferCount());
            QCOMPARE(QDir(c.folder).entryList({QStringLiteral("mtype2*")}, QDir::Files), QStringList());
        }
        ::chmod(QFile::encodeName(locked).constData(), 0755);
        QCOMPARE(StoreTest::column(foreign, QStringLiteral("SELECT name FROM data1")), QStringList{QStringLiteral("theirs")});
        lock->exec(QStringLiteral("ROLLBACK"));
        lock.reset();
        locker.close();
        QVERIFY(store.open(users.dir.path()).ok() && store.bufferCount() == 1);
    }

    void damagedFileIsRepairedKeepingWhatCanBeRead_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("earlierBackup");
        QTest::newRow("text, not a database") << QStringLiteral("text") << true;
        QTest::newRow("first page overwritten") << QStringLiteral("first page") << false;
        QTest::newRow("random bytes") << QStringLiteral("random") << false;
        QTest::newRow("four middle pages overwritten") << QStringLiteral("middle pages") << false;
        QTest::newRow("index overwritten") << QStringLiteral("index") << false;
    }

    // A file that is no database, a first page overwritten, or a file of random bytes: nothing can
    // be read, and the user is told so, with where the damaged file is kept, instead of
    // "repaired". Four pages of a record's samples overwritten in the middle of a 10 000-sample
    // store: the repair keeps every sample that can still be read, before and after the damage.
    // The samples' index overwritten: every record is kept whole. Today's earlier backup is
    // kept, a stale rebuild does not get in the way, and the store opens with its catalogue.
    void damagedFileIsRepairedKeepingWhatCanBeRead()
    {
        QFETCH(QString, damage);
        QFETCH(bool, earlierBackup);
        FakeClock clock(QDateTime(QDate(2026, 7, 1), QTime(8, 0)));
        ScopedClock scoped(clock);
        QTemporaryDir dir;
        const QDir d(dir.path());
        QList<SampleRow> written;
        const QString file = damage == QLatin1String("index") ? storeWithSavedSamples(dir, 300, &written, 2, 4)
            : damage.contains(QLatin1String("page"))           ? storeWithSavedSamples(dir, 10000, &written)
                                                               : d.filePath(QStringLiteral("mtype.db"));
        QVERIFY(!file.isEmpty());
        QByteArray bytes = damage == QLatin1String("text") ? QByteArray("this is not a database\n").repeated(400)
                                                           : QByteArray(64 * 1024, '\0');
        if (damage == QLatin1String("random")) {
            std::generate(bytes.begin(), bytes.end(), [] { return char(QRandomGenerator::global()->bounded(256)); });
        } else if (damage == QLatin1String("first page")) {
            bytes = overwritePages(file, {1}, '\x5A');
        } else if (damage == QLatin1String("middle pages")) {
            // Four of the pages holding samples 5000.. of datadetail, found by their page numbers.
            const QStringList pages = StoreTest::column(file, QStringLiteral(
                "SELECT DISTINCT pageno FROM dbstat WHERE name = 'datadetail' AND pagetype = 'leaf' ORDER BY pageno"));
            QVERIFY2(pages.size() > 100, qPrintable(QString::number(pages.size())));
            QList<int> middle;
            for (int k = 0; k < 4; ++k)
                middle << pages.at(pages.size() / 2 + k).toInt();
            bytes = overwritePages(file, middle, '\xA5');
        } else if (damage == QLatin1String("index")) {
            const int root = StoreTest::scalar(file, QStringLiteral(
                "SELECT rootpage FROM sqlite_master WHERE name = 'datadetail_recno'")).toInt();
            QVERIFY(root > 1);
            bytes = overwritePages(file, {root}, '\0');
            QVERIFY(StoreTest::scalar(file, QStringLiteral("PRAGMA integrity_check")).toString() != QLatin1String("ok"));
        }
        QVERIFY(!bytes.isEmpty() && StoreTest::writeFile(file, bytes));
        const QString earlier = d.filePath(QStringLiteral("mtype20260701.db"));
        QVERIFY(!earlierBackup || StoreTest::writeFile(earlier, "earlier backup of today"));
        QVERIFY(StoreTest::writeFile(d.filePath(QStringLiteral("mtypenew.db")), "stale rebuild"));

        RecordStore store;
        const bool later = damage == QLatin1String("index");
        StoreOpenResult result =
            store.open(dir.path(), later ? RecordStore::IntegrityCheck::Later : RecordStore::IntegrityCheck::Now);
        if (later) {
            // At start-up the window shows before the check of every page; the check, in a
            // worker thread, then finds the damage and the store is repaired before anything
            // is written.
            QCOMPARE(result.status, StoreOpenResult::Status::Opened);
            QVERIFY(!store.appendSample(sample(0)) && !store.clearBuffer() && !store.saveRecord(record(QStringLiteral("3"))));
            QCOMPARE(store.lastError().description, *store.writeRefusal());
            StoreCheck check;
            QSignalSpy done(&check, &StoreCheck::finished);
            check.start(store.filePath());
            QVERIFY(done.wait(60000));
            result = store.applyCheck(done.at(0).at(0).value<StoreCheck::Outcome>());
        }
        QCOMPARE(result.status, StoreOpenResult::Status::Repaired);
        const QString backup = earlierBackup ? d.filePath(QStringLiteral("mtype20260701-2.db")) : earlier;
        QCOMPARE(StoreTest::readFile(backup), bytes);
        QVERIFY(!earlierBackup || StoreTest::readFile(earlier) == "earlier backup of today");
        QVERIFY(!QFile::exists(d.filePath(QStringLiteral("mtypenew.db"))));
        QCOMPARE(store.machineTypes().value_or(QList<MachineTypeRow>()).size(), Catalogue::shipped().size());
        if (damage == QLatin1String("index")) {
            QVERIFY2(result.message.contains(QStringLiteral("600 of 600 samples were recovered")), qPrintable(result.message));
            QCOMPARE(StoreTest::scalar(file, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
            for (const char *n : {"1", "2"}) {
                QCOMPARE(store.loadRecord(QLatin1String(n)), RecordStore::LoadResult::Loaded);
                QCOMPARE(store.bufferSamples().value_or(QList<SampleRow>()), written);
            }
            QCOMPARE(StoreTest::scalar(file, QStringLiteral("SELECT count(*) FROM DataWindow4")).toInt(), 300);
        } else if (damage != QLatin1String("middle pages")) {
            QCOMPARE(result.message, QStringLiteral("The record database [%1] was damaged and no samples could be "
                                                    "recovered: the program goes on with an empty record database. "
                                                    "The damaged file is kept as [%2].").arg(file, backup));
            QCOMPARE(store.savedRecords().value_or(QList<RecordInfo>()).size(), 0);
        } else {
            QCOMPARE(store.loadRecord(QStringLiteral("1")), RecordStore::LoadResult::Loaded);
            const QList<SampleRow> kept = store.bufferSamples().value_or(QList<SampleRow>());
            QVERIFY2(result.message.contains(QStringLiteral("repaired: %1 ").arg(kept.size()))
                         && result.message.contains(QStringLiteral("samples were recovered"))
                         && result.message.contains(d.filePath(QStringLiteral("mtype"))),
                     qPrintable(result.message));
            // Four leaf pages hold well under 200 samples; the last samples are there too.
            QVERIFY2(kept.size() > 9800 && kept.size() < 10000, qPrintable(QString::number(kept.size())));
            for (const SampleRow &row : kept)
                QCOMPARE(row, written.at(int(row.seqNo)));
            QCOMPARE(kept.first().seqNo + kept.last().seqNo, 9999);
        }
        QVERIFY(store.appendSample(sample(0)) && store.saveRecord(record(QStringLiteral("3"))));
    }

    void secondStoreIsToldWhoHoldsItAndMayOnlyRead()
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

        // Read-only: the records can be browsed; nothing is written, and the reason is given.
        QCOMPARE(second.open(held.dir.path(), RecordStore::IntegrityCheck::Now, RecordStore::Access::ReadOnly).status,
                 StoreOpenResult::Status::Opened);
        QVERIFY(second.isReadOnly() && second.writeRefusal() && second.writeRefusal()->contains(who));
        QCOMPARE(second.savedRecords().value_or(QList<RecordInfo>()).size(), 1);
        QCOMPARE(second.loadRecord(QStringLiteral("1")), RecordStore::LoadResult::Loaded);
        QCOMPARE(second.bufferSamples().value_or(QList<SampleRow>()).size(), 3);
        RecordInfo r = record(QString());
        QVERIFY(!second.appendSample(sample(9)));
        QCOMPARE(second.lastError().description, *second.writeRefusal());
        QVERIFY(!second.clearBuffer() && !second.saveNewRecord(r) && !second.deleteRecord(QStringLiteral("1"))
                && !second.replaceRecord(record(QStringLiteral("1"), QStringLiteral("changed")))
                && !second.updateComment(0, QStringLiteral("x")));
        QCOMPARE(first.findRecord(QStringLiteral("1"))->comment, QString());

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
    void killedWriterLosesAtMostTheSampleInProgressAndBlocksNothing()
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
    void unsavedSamplesAreKnownAcrossRestarts()
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
};

QTEST_GUILESS_MAIN(TestStoreStartup)
#include "tst_StoreStartup.moc"
