#include "StoreTestSupport.h"
#include "support/TestEnvironment.h"

#include "common/Clock.h"
#include "datalog/RecordStore.h"
#include "datalog/SqlConnection.h"
#include "datalog/StoreCheck.h"
#include "resources/Catalogue.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using StoreTest::sample;

// Opening the record database at start-up: first run, an older store, a folder or file that
// cannot be used, and the repair of a damaged file.
class TestStoreStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void olderStoreGetsMissingMachineTypesAndKeepsRecords();
    void folderThatCannotBeMadeSaysWhy();
    void fileThatIsNoDatabaseIsRepairedOrKept();
    void damagedIndexIsRepairedWithEveryRecord();
    void damagedPagesCostOnlyTheirOwnSamples();
    void repairThatKeptNothingSaysSo();
    void fileThatIsThereIsNeverReportedMissing();

private:
    static QByteArray garbage() { return QByteArray("this is not a database\n").repeated(400); }
    // A store of `samples` samples in saved record 1, closed.
    static QString storeWithSavedSamples(const QTemporaryDir &dir, int samples);
};

QString TestStoreStartup::storeWithSavedSamples(const QTemporaryDir &dir, int samples)
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
        && store.clearBuffer();
    store.close();
    return ok && StoreTest::exec(file, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")) ? file : QString();
}

void TestStoreStartup::olderStoreGetsMissingMachineTypesAndKeepsRecords()
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

// A data folder that cannot be made is named with the system's reason; nobody is told to
// copy a file into a folder that cannot exist.
void TestStoreStartup::folderThatCannotBeMadeSaysWhy()
{
    QTemporaryDir dir;
    QVERIFY(StoreTest::writeFile(dir.filePath(QStringLiteral("blocker")), "a file, not a folder"));
    const QString folder = dir.filePath(QStringLiteral("blocker/ZEP-1-0"));
    RecordStore store;
    StoreOpenResult result = store.open(folder);
    QCOMPARE(result.status, StoreOpenResult::Status::CannotOpen);
    QVERIFY2(result.message.startsWith(QStringLiteral("The data folder [%1] cannot be created: Not a directory.").arg(folder)),
             qPrintable(result.message));
    QVERIFY(!store.isOpen() && !store.bufferCount());

    // A parent folder without write permission (the superuser may write anywhere).
    if (::geteuid() != 0) {
        const QString parent = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(parent) && ::chmod(QFile::encodeName(parent).constData(), 0555) == 0);
        result = store.open(parent + QStringLiteral("/ZEP-1-0"));
        QCOMPARE(result.status, StoreOpenResult::Status::CannotOpen);
        QVERIFY2(result.message.startsWith(QStringLiteral("The data folder [%1/ZEP-1-0] cannot be created: Permission denied.")
                                               .arg(parent)), qPrintable(result.message));
        // A folder that is there but takes no new file.
        result = store.open(parent);
        QVERIFY2(result.message.contains(QStringLiteral("cannot be claimed")) && result.message.contains(QStringLiteral("Permission denied")),
                 qPrintable(result.message));
        ::chmod(QFile::encodeName(parent).constData(), 0755);
    }

    // A file that cannot be opened for another reason than damage is not "repaired".
    QTemporaryDir other;
    QVERIFY(QDir(other.path()).mkpath(QStringLiteral("mtype.db/inside")));
    result = store.open(other.path());
    QCOMPARE(result.status, StoreOpenResult::Status::CannotOpen);
    QVERIFY(result.message.startsWith(QStringLiteral("System cannot find [")));
    QCOMPARE(QDir(other.path()).entryList({QStringLiteral("mtype2*")}, QDir::Files), QStringList());
}

void TestStoreStartup::fileThatIsNoDatabaseIsRepairedOrKept()
{
    FakeClock clock(QDateTime(QDate(2026, 3, 5), QTime(9, 30)));
    ScopedClock scoped(clock);
    QTemporaryDir dir;
    const QDir d(dir.path());
    const QString file = d.filePath(QStringLiteral("mtype.db"));
    const QString backup = d.filePath(QStringLiteral("mtype20260305.db"));
    QVERIFY(StoreTest::writeFile(file, garbage()));
    RecordStore store;

    // Repaired: today's earlier backup is kept and the damaged file gets a backup of its
    // own; a stale rebuild does not get in the way, and the store opens with its catalogue.
    QVERIFY(StoreTest::writeFile(backup, "earlier backup of today")
            && StoreTest::writeFile(d.filePath(QStringLiteral("mtypenew.db")), "stale rebuild"));
    const StoreOpenResult result = store.open(dir.path());
    QCOMPARE(result.status, StoreOpenResult::Status::Repaired);
    const QString second = d.filePath(QStringLiteral("mtype20260305-2.db"));
    QVERIFY2(result.message.contains(second), qPrintable(result.message));
    QCOMPARE(StoreTest::readFile(backup), QByteArray("earlier backup of today"));
    QCOMPARE(StoreTest::readFile(second), garbage());
    QVERIFY(!QFile::exists(d.filePath(QStringLiteral("mtypenew.db"))));
    QCOMPARE(store.machineTypes().value_or(QList<MachineTypeRow>()).size(), Catalogue::shipped().size());
    QVERIFY(store.appendSample(sample(0)) && store.saveRecord(StoreTest::record(QStringLiteral("1"))));
}

void TestStoreStartup::damagedIndexIsRepairedWithEveryRecord()
{
    QTemporaryDir dir;
    const QDir d(dir.path());
    const QString file = d.filePath(QStringLiteral("mtype.db"));
    QList<SampleRow> samples;
    {
        RecordStore store;
        QVERIFY(store.open(dir.path()).ok());
        for (int i = 0; i < 300; ++i) {
            samples << sample(i, QString::number(i));
            QVERIFY(store.appendSample(samples.last()));
        }
        QVERIFY(store.saveRecord(StoreTest::record(QStringLiteral("1"), QStringLiteral("first"))));
        QVERIFY(store.saveRecord(StoreTest::record(QStringLiteral("2"), QStringLiteral("second"))));
        QVERIFY(store.moveBufferToWindow(4));
    }
    // Overwrite the pages of the samples' index with zeros.
    const int pageSize = StoreTest::scalar(file, QStringLiteral("PRAGMA page_size")).toInt();
    const int root = StoreTest::scalar(file, QStringLiteral(
        "SELECT rootpage FROM sqlite_master WHERE name = 'datadetail_recno'")).toInt();
    QByteArray bytes = StoreTest::readFile(file);
    QVERIFY(pageSize > 0 && root > 1 && bytes.size() >= root * pageSize);
    bytes.replace((root - 1) * pageSize, pageSize, QByteArray(pageSize, '\0'));
    QVERIFY(StoreTest::writeFile(file, bytes));
    QVERIFY(StoreTest::scalar(file, QStringLiteral("PRAGMA integrity_check")).toString() != QLatin1String("ok"));

    FakeClock clock(QDateTime(QDate(2026, 12, 31), QTime(23, 59)));
    ScopedClock scoped(clock);
    RecordStore store;
    // At start-up the window shows before the check of every page; the check, in a worker
    // thread, then finds the damage and the store is repaired before anything is written.
    QCOMPARE(store.open(dir.path(), RecordStore::IntegrityCheck::Later).status, StoreOpenResult::Status::Opened);
    QVERIFY(!store.appendSample(sample(0)) && !store.clearBuffer() && !store.saveRecord(StoreTest::record(QStringLiteral("3"))));
    QCOMPARE(store.lastError().description, *store.writeRefusal());
    StoreCheck check;
    QSignalSpy done(&check, &StoreCheck::finished);
    check.start(store.filePath());
    QVERIFY(done.wait(60000));
    const StoreOpenResult repaired = store.applyCheck(done.at(0).at(0).value<StoreCheck::Outcome>());
    QCOMPARE(repaired.status, StoreOpenResult::Status::Repaired);
    QVERIFY2(repaired.message.contains(QStringLiteral("600 of 600 samples were recovered")), qPrintable(repaired.message));
    QCOMPARE(StoreTest::readFile(d.filePath(QStringLiteral("mtype20261231.db"))), bytes);
    QCOMPARE(StoreTest::scalar(file, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    for (const char *n : {"1", "2"}) {
        QCOMPARE(store.loadRecord(QLatin1String(n)), RecordStore::LoadResult::Loaded);
        QCOMPARE(store.bufferSamples().value_or(QList<SampleRow>()), samples);
    }
    QCOMPARE(StoreTest::scalar(file, QStringLiteral("SELECT count(*) FROM DataWindow4")).toInt(), 300);
    QCOMPARE(store.machineTypes()->size(), Catalogue::shipped().size());
}

// Four pages of a record's samples overwritten in the middle of a 10 000-sample store: the
// repair keeps every sample that can still be read, before and after the damage.
void TestStoreStartup::damagedPagesCostOnlyTheirOwnSamples()
{
    QTemporaryDir dir;
    const QDir d(dir.path());
    const QString file = d.filePath(QStringLiteral("mtype.db"));
    QList<SampleRow> written;
    {
        RecordStore store;
        QVERIFY(store.open(dir.path()).ok());
        // Ten thousand samples in one statement (one append each would sync ten thousand times).
        QVERIFY(StoreTest::exec(file, QStringLiteral(
            "WITH RECURSIVE n(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM n WHERE x < 9999) "
            "INSERT INTO datatemp SELECT x, '2026/03/05 10:00:00', x, '0.5', '0', x * 2, '0.6', '0', "
            "x * 3, '0.7', '0', x * 4, '0.8', '0', '', x, 1 FROM n")));
        written = store.bufferSamples().value_or(QList<SampleRow>());
        QCOMPARE(written.size(), 10000);
        QVERIFY(store.saveRecord(StoreTest::record(QStringLiteral("1"), QStringLiteral("long run"))));
        QVERIFY(store.clearBuffer());
    }
    QVERIFY(StoreTest::exec(file, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
    // The pages holding samples 5000.. of datadetail, found by their page numbers.
    const QStringList pages = StoreTest::column(file, QStringLiteral(
        "SELECT DISTINCT pageno FROM dbstat WHERE name = 'datadetail' AND pagetype = 'leaf' ORDER BY pageno"));
    QVERIFY2(pages.size() > 100, qPrintable(QString::number(pages.size())));
    const int pageSize = StoreTest::scalar(file, QStringLiteral("PRAGMA page_size")).toInt();
    QByteArray bytes = StoreTest::readFile(file);
    for (int k = 0; k < 4; ++k) {
        const int page = pages.at(pages.size() / 2 + k).toInt();
        bytes.replace((page - 1) * pageSize, pageSize, QByteArray(pageSize, '\xA5'));
    }
    QVERIFY(StoreTest::writeFile(file, bytes));

    RecordStore store;
    const StoreOpenResult result = store.open(dir.path());
    QCOMPARE(result.status, StoreOpenResult::Status::Repaired);
    QCOMPARE(store.loadRecord(QStringLiteral("1")), RecordStore::LoadResult::Loaded);
    const QList<SampleRow> kept = store.bufferSamples().value_or(QList<SampleRow>());
    QVERIFY2(result.message.contains(QStringLiteral("repaired: %1 ").arg(kept.size()))
                 && result.message.contains(QStringLiteral("samples were recovered"))
                 && result.message.contains(d.filePath(QStringLiteral("mtype"))),
             qPrintable(result.message));
    QVERIFY(!QFile::exists(d.filePath(QStringLiteral("mtypenew.db"))));
    // Four leaf pages hold well under 200 samples; the last samples are there too.
    QVERIFY2(kept.size() > 9800 && kept.size() < 10000, qPrintable(QString::number(kept.size())));
    for (const SampleRow &row : kept)
        QCOMPARE(row, written.at(int(row.seqNo)));
    QCOMPARE(kept.first().seqNo + kept.last().seqNo, 9999);
}

// A first page overwritten, or a file of random bytes: nothing can be read, and the user is
// told so, with where the damaged file is kept, instead of "repaired".
void TestStoreStartup::repairThatKeptNothingSaysSo()
{
    FakeClock clock(QDateTime(QDate(2026, 7, 1), QTime(8, 0)));
    ScopedClock scoped(clock);
    for (const bool random : {false, true}) {
        QTemporaryDir dir;
        const QDir d(dir.path());
        const QString file = random ? d.filePath(QStringLiteral("mtype.db")) : storeWithSavedSamples(dir, 10000);
        QVERIFY(!file.isEmpty());
        QByteArray bytes = random ? QByteArray(64 * 1024, '\0') : StoreTest::readFile(file);
        if (random) {
            for (char &b : bytes)
                b = char(QRandomGenerator::global()->bounded(256));
        } else {
            bytes.replace(0, 4096, QByteArray(4096, '\x5A'));
        }
        QVERIFY(StoreTest::writeFile(file, bytes));

        RecordStore store;
        const StoreOpenResult result = store.open(dir.path());
        QCOMPARE(result.status, StoreOpenResult::Status::Repaired);
        const QString backup = d.filePath(QStringLiteral("mtype20260701.db"));
        QCOMPARE(result.message, QStringLiteral("The record database [%1] was damaged and no samples could be "
                                                "recovered: the program goes on with an empty record database. "
                                                "The damaged file is kept as [%2].").arg(file, backup));
        QCOMPARE(StoreTest::readFile(backup), bytes);
        QVERIFY(!QFile::exists(d.filePath(QStringLiteral("mtypenew.db"))));
        QCOMPARE(store.savedRecords().value_or(QList<RecordInfo>()).size(), 0);
    }
}

// A store that is there but cannot be used is explained, not called missing: the advice
// to copy a file over it would overwrite the user's records.
void TestStoreStartup::fileThatIsThereIsNeverReportedMissing()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("mtype.db"));
    {
        RecordStore store;
        QVERIFY(store.open(dir.path()).ok() && store.appendSample(sample(0)));
    }
    {
        // Locked by another program.
        SqlConnection other(file);
        QVERIFY(other.open());
        QSqlQuery lock(other.db());
        QVERIFY(lock.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")) && lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        RecordStore store;
        const StoreOpenResult result = store.open(dir.path());
        QCOMPARE(result.status, StoreOpenResult::Status::CannotOpen);
        QVERIFY2(result.message.contains(QStringLiteral("locked by another program")), qPrintable(result.message));
        QVERIFY(!result.message.contains(QStringLiteral("cannot find")));
        lock.exec(QStringLiteral("ROLLBACK"));
    }
    // Another program's database with a data1 of its own.
    QTemporaryDir foreign;
    const QString other = foreign.filePath(QStringLiteral("mtype.db"));
    QVERIFY(StoreTest::exec(other, QStringLiteral("CREATE TABLE data1 (id INTEGER, name TEXT)"))
            && StoreTest::exec(other, QStringLiteral("INSERT INTO data1 VALUES (1, 'theirs')")));
    RecordStore store;
    const StoreOpenResult result = store.open(foreign.path());
    QCOMPARE(result.status, StoreOpenResult::Status::CannotOpen);
    QVERIFY2(result.message.contains(QStringLiteral("is not a record database of this program"))
                 && result.message.contains(QStringLiteral("data1")), qPrintable(result.message));
    QCOMPARE(StoreTest::column(other, QStringLiteral("SELECT name FROM data1")), QStringList{QStringLiteral("theirs")});
    QCOMPARE(QDir(foreign.path()).entryList({QStringLiteral("mtype2*")}, QDir::Files), QStringList());
    QVERIFY(store.open(dir.path()).ok() && store.bufferCount() == 1);
}

QTEST_GUILESS_MAIN(TestStoreStartup)
#include "tst_StoreStartup.moc"
