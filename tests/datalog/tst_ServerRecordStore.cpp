// Saved records on a lab server: a PostgreSQL server of the test's own, one database per
// test function.
#include "StoreTestSupport.h"
#include "support/TestEnvironment.h"
#include "support/LoneGraph.h"
#include "support/TestPostgres.h"

#include "common/Prompter.h"
#include "ui/QtPrompter.h"
#include "datalog/RecordList.h"
#include "datalog/RecordMigration.h"
#include "datalog/RecordPlace.h"
#include "datalog/RecordingInterfaces.h"
#include "datalog/RecordingSession.h"
#include "datalog/RecordSaver.h"
#include "datalog/RecordStore.h"
#include "datalog/ServerRecordStore.h"
#include "datalog/ServerSchema.h"
#include "datalog/SqlConnection.h"
#include "mainwin/dlgRecordPlace.h"
#include "settings/RecordPlaceSettings.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using StoreTest::sample;

namespace {

// A store of this computer in a folder of its own, its buffer holding `samples` samples.
struct LocalStore {
    QTemporaryDir dir;
    RecordStore store;

    bool open() { return store.open(dir.path()).ok(); }
    bool fill(int samples, const QString &volts = u"12.000"_s)
    {
        return store.replaceBuffer([&](const RecordStore::SampleSink &sink) {
            bool written = true;
            for (int i = 0; written && i < samples; ++i)
                written = sink(SampleBytes(sample(i, volts)).view());
            return written;
        });
    }
    QList<SampleRow> buffer() { return store.bufferSamples().value_or(QList<SampleRow>()); }
};

// A TCP port on the loopback address that takes connections (the system completes them)
// but never answers. Closed when the object goes.
struct SilentPort {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ~SilentPort() { ::close(fd); }
    int listen()
    {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof addr;
        auto *a = reinterpret_cast<sockaddr *>(&addr);
        const bool open = fd >= 0 && ::bind(fd, a, size) == 0 && ::listen(fd, 4) == 0 && ::getsockname(fd, a, &size) == 0;
        return open ? ntohs(addr.sin_port) : 0;
    }
};

// A thread that asks `sql` on a connection of its own every few milliseconds and, once the
// count it gives is above 0, sets `acted` to what `act` returns; it gives up after a minute.
std::unique_ptr<QThread> whenCounted(const SqlConnection::Server &server, const QString &sql,
                                     std::function<bool()> act, std::atomic<bool> &acted)
{
    return std::unique_ptr<QThread>(QThread::create([=, &acted] {
        SqlConnection conn(server);
        QElapsedTimer waited;
        waited.start();
        while (conn.open() && waited.elapsed() < 60000) {
            QSqlQuery q(conn.db());
            if (q.exec(sql) && q.next() && q.value(0).toInt() > 0) {
                acted = act();
                return;
            }
            QThread::msleep(2);
        }
    }));
}

RecordInfo describedRecord(const QString &comment)
{
    RecordInfo r = StoreTest::record(QString(), comment, u"2026/03/05 10:00:00"_s, u"2"_s);
    r.endTime = u"2026/03/05 10:05:00"_s;
    r.showStyle = u"3"_s;
    r.machineType = u"XPP-3202"_s;
    return r;
}

} // namespace

class TestServerRecordStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void concurrentSavesGetDistinctNumbers();
    void roundTripThenChangeLosesNothing_data();
    void roundTripThenChangeLosesNothing();
    void failingServerKeepsNothing_data();
    void failingServerKeepsNothing();
    void placeSettingsAndTheirTest();
    void passwordProblemsSayWhatToFix();
    void olderServerIsUpgraded();
    void copyOfLocalRecordsRunsOnce();
    void recordOfTheOtherPlaceIsSavedAnew();

private:
    SqlConnection::Server serverAddress() const
    {
        return {u"QPSQL"_s, m_where.host, m_where.port, m_where.database, m_where.user, QString()};
    }
    // A query on its own connection to the test database: the first column of every row.
    QStringList column(const QString &sql);
    QString joined(const QString &sql) { return column(sql).join(u','); }

    TestPostgres m_pg;
    RecordPlaceSettings m_where;
    int m_databases = 0;
};

void TestServerRecordStore::initTestCase()
{
    TestEnvironment::isolateUserFolders();
    QString why;
    QVERIFY2(m_pg.start(&why), qPrintable(why));
}

void TestServerRecordStore::cleanupTestCase()
{
    m_pg.stop();
}

void TestServerRecordStore::init()
{
    QString why;
    QVERIFY2(m_pg.isRunning() || m_pg.start(&why), qPrintable(why));
    m_where = m_pg.labServer(u"lab%1"_s.arg(++m_databases));
    QVERIFY2(m_pg.createDatabase(m_where.database, &why), qPrintable(why));
}

QStringList TestServerRecordStore::column(const QString &sql)
{
    SqlConnection conn(serverAddress());
    QSqlQuery q(conn.open() ? conn.db() : QSqlDatabase());
    QSqlError error;
    if (!q.exec(sql))
        qWarning() << sql << q.lastError().text();
    return collectRows<QString>(q, [](const QSqlQuery &row) { return row.value(0).toString(); }, &error).value_or(QStringList());
}

void TestServerRecordStore::concurrentSavesGetDistinctNumbers()
{
    // Two benches, each with its own store and connection, saving at the same time; a failed
    // save leaves its reason among the numbers.
    QStringList numbers[2];
    std::unique_ptr<QThread> benches[2];
    for (int b = 0; b < 2; ++b) {
        benches[b].reset(QThread::create([this, saved = &numbers[b]] {
            LocalStore local;
            ServerRecordStore server(m_where, local.store);
            const bool ready = local.open() && local.fill(3);
            for (int i = 0; ready && i < 100; ++i) {
                RecordInfo r = describedRecord(u"save %1"_s.arg(i));
                *saved << (server.saveNewRecord(r) ? r.recNo : server.lastError().description);
            }
        }));
        benches[b]->start();
    }
    QVERIFY(benches[0]->wait(120000) && benches[1]->wait(120000));
    QStringList all = numbers[0] + numbers[1];
    std::sort(all.begin(), all.end(), [](const QString &x, const QString &y) { return x.toInt() < y.toInt(); });
    QCOMPARE(all.join(u','), joined(u"SELECT n FROM generate_series(1, 200) n"_s));
    // Every record knows the bench that saved it; each has its samples.
    QCOMPARE(joined(u"SELECT DISTINCT HostName || '|' || MType || '|' || (SELECT count(*) FROM datadetail) FROM datamain"_s),
             QSysInfo::machineHostName() + u"|XPP-3202|600"_s);
}

void TestServerRecordStore::roundTripThenChangeLosesNothing_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("samples");      // in the buffer after the change
    QTest::addColumn<QString>("onServer"); // record:samples once the buffer is saved there
    QTest::newRow("nothing") << "nothing" << 6 << "1:6,2:6";
    QTest::newRow("new sample") << "sample" << 7 << "1:7";
    QTest::newRow("comment") << "comment" << 6 << "1:6";
    QTest::newRow("clear, then a sample") << "clear" << 1 << "1:6,2:1";
    QTest::newRow("moved to a window") << "move" << 0 << "1:6";
    QTest::newRow("saved on this computer") << "save here" << 6 << "1:6,2:6";
    QTest::newRow("restart") << "restart" << 0 << "1:6";
}

// A record saved by one bench comes back to another as it was. The loaded samples are read
// where they arrived; whatever changes the buffer copies them into this computer's store
// first, and saving then loses or doubles nothing.
void TestServerRecordStore::roundTripThenChangeLosesNothing()
{
    QFETCH(QString, change);
    QFETCH(int, samples);
    QFETCH(QString, onServer);
    LocalStore bench, viewer;
    QVERIFY(bench.open() && viewer.open() && bench.fill(5) && viewer.fill(2, u"1.000"_s));
    QVERIFY(bench.store.updateComment(2, u"it's \"hot\" – 過熱 ü\t\\N\r\n"_s));
    // A sample of another condition, with numbers beyond 32 bits.
    SampleRow odd = sample(5, u"1.000"_s, u"0.100"_s, u"2"_s);
    odd.timeTick = 5000000000;
    odd.diffLastTime = -3;
    QVERIFY(bench.store.appendSample(odd));
    ServerRecordStore server(m_where, bench.store), other(m_where, viewer.store);
    const QString nasty = u"O'Brien's \"burn-in\" 電源測試 Ωü'); DROP TABLE datamain; --"_s;
    RecordInfo saved = describedRecord(nasty);
    QVERIFY2(server.saveNewRecord(saved), qPrintable(server.lastError().description));
    QCOMPARE(saved.recNo, u"1"_s);

    // Listed from another bench, with the saving bench after the usual columns.
    const auto listed = other.savedRecords();
    QVERIFY(listed && listed->size() == 1);
    const RecordInfo &r = listed->first();
    QCOMPARE(StoreTest::describe(r), u"1|2026/03/05 10:00:00|2026/03/05 10:05:00|%1|V|A|2|3"_s.arg(nasty));
    const QString where = QSysInfo::machineHostName() + u" (XPP-3202)"_s;
    QCOMPARE(r.bench(), where);
    QVERIFY(RecordList::tableLine(r).endsWith(QLatin1Char(' ') + where));

    // Loaded into the other bench's buffer: every sample as saved, and nothing in this
    // computer's store that would look unsaved should the program end here.
    RecordInfo record;
    QCOMPARE(other.loadRecord(u" 1 "_s, &record), SavedRecords::LoadResult::Loaded);
    QCOMPARE(record.comment, nasty);
    QCOMPARE(viewer.buffer(), bench.buffer());
    QCOMPARE(viewer.store.bufferSamples(u"2"_s), QList<SampleRow>{odd});
    QCOMPARE(viewer.store.bufferCount().value_or(-1), qint64(6));
    QCOMPARE(viewer.store.unsavedCount().value_or(-1), qint64(0));
    const QString file = viewer.store.filePath();
    const auto count = [&file](const char *table) { return StoreTest::scalar(file, u"SELECT count(*) FROM "_s + table).toInt(); };
    QCOMPARE(count("datatemp"), 0);

    QList<SampleRow> expected = bench.buffer();
    if (change == QLatin1String("sample")) {
        QVERIFY(viewer.store.appendSample(sample(6)));
        expected << sample(6);
    } else if (change == QLatin1String("comment")) {
        QVERIFY(viewer.store.updateComment(2, u"checked"_s));
        expected[2].comment = u"checked"_s;
    } else if (change == QLatin1String("clear")) {
        QVERIFY(viewer.store.clearBuffer() && viewer.store.appendSample(sample(0, u"3.000"_s)));
        expected = {sample(0, u"3.000"_s)};
    } else if (change == QLatin1String("move")) {
        QVERIFY(viewer.store.moveBufferToWindow(1));
        QCOMPARE(count("DataWindow1"), 6);
        expected.clear();
    } else if (change == QLatin1String("save here")) {
        QVERIFY(viewer.store.saveNewRecord(record));
        QCOMPARE(count("datadetail"), 6);
    } else if (change == QLatin1String("restart")) {
        viewer.store.close();
        QVERIFY(viewer.open());
        QCOMPARE(viewer.store.unsavedCount().value_or(-1), qint64(0));
        expected.clear();
    }
    QCOMPARE(viewer.buffer(), expected);

    // Saved over the loaded record, renamed, when samples were added or commented; else as a
    // new record. Read back, the server has what the buffer shows.
    record.recNo = u"1"_s;
    record.comment = u"renamed 'again' — 再測"_s;
    const bool over = change == QLatin1String("sample") || change == QLatin1String("comment");
    QVERIFY2(over ? other.replaceRecord(record) : other.saveNewRecord(record), qPrintable(other.lastError().description));
    QCOMPARE(server.findRecord(record.recNo)->comment, record.comment);
    QCOMPARE(joined(u"SELECT recno || ':' || count(*) FROM datadetail GROUP BY recno ORDER BY recno"_s), onServer);
    QCOMPARE(server.loadRecord(record.recNo), SavedRecords::LoadResult::Loaded);
    QCOMPARE(bench.buffer(), expected);

    // Deleted: gone from the list; the buffer still shows the samples it read from there,
    // now kept on this computer. Loading it, or a number made of SQL, leaves the buffer.
    const QList<SampleRow> before = viewer.buffer();
    QVERIFY(other.deleteRecord(u"1"_s));
    QCOMPARE(server.savedRecords()->size(), over ? 0 : 1);
    QVERIFY(!server.findRecord(u"1"_s) && !server.lastError().isSet());
    QCOMPARE(column(u"SELECT count(*) FROM datadetail WHERE recno = '1'"_s), QStringList{u"0"_s});
    QCOMPARE(count("datatemp"), samples);
    QCOMPARE(other.loadRecord(u"1"_s), SavedRecords::LoadResult::NotFound);
    QCOMPARE(other.loadRecord(u"1' OR '1'='1"_s), SavedRecords::LoadResult::NotFound);
    QCOMPARE(viewer.buffer(), before);
}

void TestServerRecordStore::failingServerKeepsNothing_data()
{
    QTest::addColumn<bool>("hangs");
    QTest::newRow("gone") << false;
    QTest::newRow("hangs") << true;
}

// The server goes away, or hangs, during a save: the save fails saying so, leaves nothing
// there, and from a window offers this computer instead; a load that fails leaves the buffer
// as it was. Once the server is back the same stores save and load anew.
void TestServerRecordStore::failingServerKeepsNothing()
{
    QFETCH(bool, hangs);
    const int samples = hangs ? 500 : 200000;
    LocalStore bench, viewer;
    QVERIFY(bench.open() && viewer.open() && bench.fill(samples) && viewer.fill(3, u"1.000"_s));
    const QList<SampleRow> buffer = bench.buffer();
    const QList<SampleRow> viewed = viewer.buffer();
    ServerRecordStore server(m_where, bench.store), other(m_where, viewer.store);
    RecordInfo first = describedRecord(u"before"_s);
    QVERIFY2(server.saveNewRecord(first) && other.connect(), qPrintable(server.lastError().description));

    // Gone once the save holds its lock, while the samples are written; or hanging with the
    // store's connection open, nothing answering any more.
    std::atomic<bool> stopped{hangs && m_pg.freeze(true)};
    auto thaw = qScopeGuard([this] { m_pg.freeze(false); });
    const auto killer = whenCounted(serverAddress(), QStringLiteral(
        "SELECT count(*) FROM pg_locks l JOIN pg_class c ON c.oid = l.relation "
        "WHERE c.relname = 'datamain' AND l.mode = 'ExclusiveLock' AND l.granted"),
        [this] { QThread::msleep(50); return m_pg.kill(); }, stopped);
    if (!hangs)
        killer->start();
    QElapsedTimer timer;
    timer.start();
    RecordInfo second = describedRecord(u"second"_s);
    QVERIFY(!server.saveNewRecord(second));
    QVERIFY(hangs || killer->wait(70000));
    QVERIFY2(stopped, "the server was not stopped during the save");
    const QString said = server.lastError().description;
    QVERIFY2(server.lastError().unreachable
                 && said.contains(hangs ? u"did not answer for %1 seconds"_s.arg(ServerRecordStore::AnswerTimeoutSeconds)
                                        : u"cannot be reached"_s), qPrintable(said));
    // Bounded by the answer time-out (and a connect time-out), not by the server.
    QVERIFY2(timer.elapsed() < (ServerRecordStore::AnswerTimeoutSeconds + ServerRecordStore::ConnectTimeoutSeconds + 10) * 1000,
             qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(bench.buffer(), buffer);
    if (!hangs) {
        // With the server away the list says so, quickly.
        timer.restart();
        QVERIFY(!server.savedRecords() && server.lastError().unreachable);
        QVERIFY(timer.elapsed() < 5000);
    }

    // From a window: a progress box whose Cancel button stops a load, which leaves the buffer.
    server.setProgressShown(hangs);
    if (hangs) {
        QtPrompter boxes;
        ScopedPrompter real(boxes);
        QString shown;
        QTimer press;
        QObject::connect(&press, &QTimer::timeout, &press, [&] {
            auto *box = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
            if (box && shown.isEmpty()) {
                shown = box->labelText();
                box->findChild<QPushButton *>()->click();
            }
        });
        press.start(20);
        QCOMPARE(server.loadRecord(first.recNo), SavedRecords::LoadResult::Failed);
        QVERIFY2(shown.startsWith(u"Loading record 1 from the lab server"_s), qPrintable(shown));
        QVERIFY2(server.lastError().description.contains(u"was cancelled"_s), qPrintable(server.lastError().description));
        QCOMPARE(bench.buffer(), buffer);
    }
    // A save from a window, stopped or failing, offers this computer instead.
    ScriptedPrompter prompter;
    ScopedPrompter scoped(prompter);
    prompter.cancelWaits = hangs;
    prompter.answers = {true, true};
    RecordSaver saver(server, bench.store, RecordSaver::Texts::dataTable());
    RecordSaver::Form form{QString(), second.startTime, second.endTime, u"kept here"_s, 2, 3, u"XPP-3202"_s};
    QCOMPARE(saver.save(form), RecordSaver::Outcome::SavedHere);
    QVERIFY(!hangs || prompter.waits.value(0).startsWith(u"Saving the record on the lab server"_s));
    QCOMPARE(prompter.questions.size(), 2);
    const QString offer = prompter.questions.at(1).text;
    QVERIFY2(offer.contains(hangs ? u"was cancelled; nothing was changed there"_s : u"cannot be reached"_s)
                 && offer.endsWith(u"Save it as a new record on this computer instead?"_s), qPrintable(offer));
    QVERIFY(form.recNo.isEmpty());
    QCOMPARE(prompter.messageTexts().last(), u"The record was saved on this computer as record 1."_s);
    QCOMPARE(bench.store.findRecord(u"1"_s)->comment, u"kept here"_s);
    QCOMPARE(bench.buffer(), buffer);

    // Back again: no trace of the stopped saves, and the same store saves on a new connection.
    QString why;
    QVERIFY2(hangs ? m_pg.freeze(false) : m_pg.start(&why), qPrintable(why));
    QCOMPARE(joined(u"SELECT Comment || ':' || (SELECT count(*) FROM datadetail) FROM datamain"_s), u"before:%1"_s.arg(samples));
    server.setProgressShown(false);
    QVERIFY2(server.saveNewRecord(second), qPrintable(server.lastError().description));
    QCOMPARE(second.recNo, u"2"_s);
    if (hangs)
        return;

    // The connection ends while a load streams the samples: said so, and the other bench's
    // buffer keeps what it held; loaded on a new connection, every sample is there.
    std::atomic<bool> cut{false};
    const auto cutter = whenCounted(serverAddress(), QStringLiteral(
        "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE query LIKE 'COPY (SELECT%' "
        "AND state = 'active' AND pid <> pg_backend_pid()"), [] { return true; }, cut);
    cutter->start();
    QCOMPARE(other.loadRecord(first.recNo), SavedRecords::LoadResult::Failed);
    QVERIFY(cutter->wait(70000) && cut);
    QVERIFY2(other.lastError().unreachable && other.lastError().description.contains(u"cannot be reached"_s),
             qPrintable(other.lastError().description));
    QCOMPARE(viewer.buffer(), viewed);
    QCOMPARE(other.loadRecord(first.recNo), SavedRecords::LoadResult::Loaded);
    QCOMPARE(viewer.buffer(), buffer);
}

void TestServerRecordStore::placeSettingsAndTheirTest()
{
    // A server that takes the connection but never answers: given up after the time-out.
    SilentPort silent;
    RecordPlaceSettings where = m_where;
    where.host = u"127.0.0.1"_s;
    where.port = silent.listen();
    QVERIFY(where.port > 0);
    QElapsedTimer timer;
    timer.start();
    const std::optional<StoreError> failed = ServerRecordStore::probe(where);
    QVERIFY(failed && failed->unreachable);
    QVERIFY2(timer.elapsed() < (ServerRecordStore::ConnectTimeoutSeconds + 4) * 1000,
             qPrintable(QString::number(timer.elapsed())));
    QVERIFY(failed->description.startsWith(u"The lab server zep@127.0.0.1:%1/"_s.arg(where.port)));

    // Damaged settings read back as their defaults; no password is ever written.
    where.write();
    QCOMPARE(RecordPlaceSettings::read(), where);
    SettingsStore::write(SettingKeys::RecordPlace, u"Mars"_s);
    SettingsStore::write(SettingKeys::ServerPort, u"54x32"_s);
    SettingsStore::write(SettingKeys::ServerDatabase, u"  "_s);
    const RecordPlaceSettings damaged = RecordPlaceSettings::read();
    QCOMPARE(damaged.place, RecordPlaceSettings::Place::ThisComputer);
    QCOMPARE(damaged.port, RecordPlaceSettings::DefaultPort);
    QCOMPARE(damaged.database, u"zep"_s);
    QVERIFY(!StoreTest::readFile(SettingsStore::filePath()).toLower().contains("password"));

    // The place dialog tests the connection it is given.
    RecordPlaceSettings::read().write();  // "This computer" and the defaults
    dlgRecordPlace dialog;
    auto *server = dialog.findChild<QRadioButton *>(u"optLabServer"_s);
    auto *test = dialog.findChild<QPushButton *>(u"cmdTest"_s);
    QVERIFY(server && test && dialog.findChild<QRadioButton *>(u"optThisComputer"_s)->isChecked());
    QVERIFY(!test->isEnabled());

    server->setChecked(true);
    dialog.findChild<QLineEdit *>(u"txtHost"_s)->setText(m_where.host);
    dialog.findChild<QSpinBox *>(u"numPort"_s)->setValue(m_where.port);
    dialog.findChild<QLineEdit *>(u"txtDatabase"_s)->setText(m_where.database);
    dialog.findChild<QLineEdit *>(u"txtUser"_s)->setText(m_where.user);
    QVERIFY(test->isEnabled());
    test->click();
    QVERIFY2(dialog.testResult().startsWith(u"Connected to "_s), qPrintable(dialog.testResult()));
    const QString shots = qEnvironmentVariable("ZEP_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        dialog.grab().save(shots + u"/dlgRecordPlace.png"_s);

    dialog.findChild<QLineEdit *>(u"txtDatabase"_s)->setText(u"no_such_db"_s);
    test->click();
    QVERIFY2(dialog.testResult().contains(u"no_such_db"_s), qPrintable(dialog.testResult()));
    dialog.findChild<QLineEdit *>(u"txtDatabase"_s)->setText(m_where.database);
    static_cast<QDialog &>(dialog).accept();
    QCOMPARE(RecordPlaceSettings::read(), m_where);
}

void TestServerRecordStore::passwordProblemsSayWhatToFix()
{
    // A user that logs in with a password only; the rest keep logging in without one.
    column(u"CREATE ROLE guarded LOGIN PASSWORD 'right horse'"_s);
    column(u"ALTER DATABASE %1 OWNER TO guarded"_s.arg(m_where.database));
    column(u"ALTER SCHEMA public OWNER TO guarded"_s);
    const QString hba = m_pg.host() + u"/data/pg_hba.conf"_s;
    QVERIFY(StoreTest::writeFile(hba, "local all guarded scram-sha-256\n" + StoreTest::readFile(hba)));
    column(u"SELECT pg_reload_conf()"_s);

    QTemporaryDir home;
    const QString pgpass = home.filePath(u"pgpass"_s);
    qputenv("PGPASSFILE", QFile::encodeName(pgpass));
    auto unset = qScopeGuard([] { qunsetenv("PGPASSFILE"); });
    RecordPlaceSettings where = m_where;
    where.user = u"guarded"_s;
    const auto writePassword = [&pgpass](const QByteArray &password) {
        return StoreTest::writeFile(pgpass, "*:*:*:guarded:" + password + '\n')
            && QFile::setPermissions(pgpass, QFile::ReadOwner | QFile::WriteOwner);
    };
    // Says what is wrong and where to fix it, not that the server is away.
    const auto fixHint = [](const std::optional<StoreError> &failed, const QString &what) {
        return failed && failed->description.contains(what) && failed->description.contains(u"~/.pgpass"_s)
            && !failed->description.contains(u"cannot be reached"_s);
    };

    // No entry for the user: the server is there, the password is missing.
    std::optional<StoreError> failed;
    QTRY_VERIFY_WITH_TIMEOUT(fixHint(failed = ServerRecordStore::probe(where), u"asks for the password"_s), 10000);
    QVERIFY2(failed->description.startsWith(u"The lab server guarded@%1"_s.arg(m_where.host)), qPrintable(failed->description));

    // A wrong password: said so, and where to correct it.
    QVERIFY(writePassword("wrong horse"));
    failed = ServerRecordStore::probe(where);
    QVERIFY2(fixHint(failed, u"did not accept the password of user guarded"_s),
             qPrintable(failed ? failed->description : QString()));

    // The save from a window says the same and still offers this computer.
    LocalStore bench;
    QVERIFY(bench.open() && bench.fill(3));
    ServerRecordStore server(where, bench.store);
    ScriptedPrompter prompter;
    ScopedPrompter scoped(prompter);
    prompter.answers = {true, false};
    RecordSaver saver(server, bench.store, RecordSaver::Texts::dataTable());
    RecordSaver::Form form{QString(), QString(), QString(), u"guarded"_s, 0, 0, QString()};
    QCOMPARE(saver.save(form), RecordSaver::Outcome::Declined);
    QCOMPARE(prompter.questions.size(), 2);
    QVERIFY2(prompter.questions.at(1).text.startsWith(failed->description), qPrintable(prompter.questions.at(1).text));

    QVERIFY(writePassword("right horse"));
    failed = ServerRecordStore::probe(where);
    QVERIFY2(!failed, qPrintable(failed ? failed->description : QString()));
}

void TestServerRecordStore::olderServerIsUpgraded()
{
    // Tables as the first server version made them: this computer's columns only.
    SqlConnection conn(serverAddress());
    QVERIFY(conn.open());
    for (const char *sql : {
             "CREATE TABLE datamain (RecNo text, StartTime text, EndTime text, Comment text, PUnit text, "
             "SUnit text, RecStyle text, ShowStyle text)",
             "CREATE TABLE datadetail (recno text, SeqWindow bigint, SeqNo bigint, RecTime text, PVal text, "
             "SVal text, Reason text, PVal2 text, SVal2 text, Reason2 text, PVal3 text, SVal3 text, Reason3 text, "
             "PVal4 text, SVal4 text, Reason4 text, Comment text, TimeTick bigint, DiffLastTime bigint)",
             "INSERT INTO datamain VALUES ('7', '2026/01/02 03:04:05', '2026/01/02 03:05:05', 'old', 'V', 'A', '0', '0')",
             "INSERT INTO datadetail VALUES ('7', 1, 0, '2026/01/02 03:04:05', '1.0', '0.1', '0', '', '', '', '', '', '', "
             "'', '', '', '', 0, 0), ('7', 1, 1, '2026/01/02 03:04:06', '1.5', '0.2', '0', '', '', '', '', '', '', "
             "'', '', '', '', 1, 1)"}) {
        QSqlQuery q(conn.db());
        QVERIFY2(q.exec(QLatin1String(sql)), qPrintable(q.lastError().text()));
    }
    QSqlError error;
    QCOMPARE(ServerSchema::version(conn.db(), &error), 1);

    LocalStore bench;
    QVERIFY(bench.open() && bench.fill(2));
    ServerRecordStore server(m_where, bench.store);
    const auto listed = server.savedRecords();
    QVERIFY2(listed, qPrintable(server.lastError().description));
    QCOMPARE(listed->size(), 1);
    QCOMPARE(listed->first().comment, u"old"_s);
    QCOMPARE(listed->first().bench(), QString());
    QCOMPARE(ServerSchema::version(conn.db(), &error), ServerSchema::Version);
    QCOMPARE(column(u"SELECT indexname FROM pg_indexes WHERE tablename IN ('datamain', 'datadetail') ORDER BY 1"_s),
             QStringList({u"datadetail_recno"_s, u"datamain_recno"_s}));

    RecordInfo fresh = describedRecord(u"new"_s);
    QVERIFY(server.saveNewRecord(fresh));
    QCOMPARE(fresh.recNo, u"8"_s);
    QCOMPARE(server.loadRecord(u"7"_s), SavedRecords::LoadResult::Loaded);
    QCOMPARE(bench.buffer().size(), 2);
    QCOMPARE(bench.buffer().at(1).channels[0].voltage, u"1.5"_s);

    // A second program on the upgraded server changes nothing more.
    ServerRecordStore again(m_where, bench.store);
    QVERIFY(again.connect());
    QCOMPARE(again.savedRecords()->size(), 2);
}

void TestServerRecordStore::copyOfLocalRecordsRunsOnce()
{
    LocalStore bench;
    QVERIFY(bench.open());
    const QStringList comments{u"first"_s, u"it's \"second\" 第二"_s, QString()};
    for (int i = 0; i < comments.size(); ++i) {
        QVERIFY(bench.fill(i + 2));
        RecordInfo r = StoreTest::record(QString(), comments.at(i), u"2026/03/0%1 09:00:00"_s.arg(i + 1));
        QVERIFY(bench.store.saveNewRecord(r));
    }
    ServerRecordStore server(m_where, bench.store);
    RecordInfo already = describedRecord(u"on the server before"_s);
    QVERIFY(server.saveNewRecord(already));

    QStringList lines;
    const auto progress = [&lines](const QString &line) { lines << line; };
    RecordMigration first = RecordMigration::run(bench.store, server, progress);
    QVERIFY2(first.complete(), qPrintable(first.error + lines.join(QLatin1Char('\n'))));
    QCOMPARE(first.copied, 3);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.first(), u"[1/3] record 1: copied as server record 2"_s);

    const QString host = QSysInfo::machineHostName();
    QCOMPARE(column(u"SELECT Comment FROM datamain ORDER BY RecNo::int"_s),
             QStringList({u"on the server before"_s, u"first [record 1 of %1]"_s.arg(host),
                          u"it's \"second\" 第二 [record 2 of %1]"_s.arg(host), u"[record 3 of %1]"_s.arg(host)}));
    QCOMPARE(joined(u"SELECT recno || ':' || count(*) FROM datadetail GROUP BY recno ORDER BY recno"_s), u"1:4,2:2,3:3,4:4"_s);

    lines.clear();
    RecordMigration second = RecordMigration::run(bench.store, server, progress);
    QVERIFY(second.complete());
    QCOMPARE(second.copied, 0);
    QCOMPARE(second.alreadyThere, 3);
    QCOMPARE(lines.last(), u"[3/3] record 3: already on the server as record 4"_s);
    QCOMPARE(column(u"SELECT count(*) || '/' || (SELECT count(*) FROM datadetail) FROM datamain"_s), QStringList{u"4/13"_s});
}

// A record loaded from this computer, then the place switched to the lab server: a save
// there makes a new record and leaves the server's record of the same number as it was.
void TestServerRecordStore::recordOfTheOtherPlaceIsSavedAnew()
{
    LocalStore bench;
    QVERIFY(bench.open() && bench.fill(3));
    RecordInfo mine = StoreTest::record(QString(), u"made here"_s, u"2026/03/01 09:00:00"_s);
    QVERIFY(bench.store.saveNewRecord(mine));
    RecordInfo theirs = describedRecord(u"the server's own"_s);
    QVERIFY(ServerRecordStore(m_where, bench.store).saveNewRecord(theirs));
    QCOMPARE(mine.recNo + theirs.recNo, u"11"_s);

    RecordPlaceSettings here = m_where;
    here.place = RecordPlaceSettings::Place::ThisComputer;
    here.write();
    auto restore = qScopeGuard([] { RecordPlaceSettings().write(); });
    ScriptedPrompter prompter;
    ScopedPrompter scoped(prompter);
    prompter.defaultAnswer = true;
    RecordPlace place(bench.store);
    NoSupply source;
    RecordingSession session(bench.store, &place, source);
    QVERIFY(session.loadRecord(u"1"_s, true));
    QCOMPARE(session.record().comment, u"made here"_s);

    m_where.write();
    place.reload();
    QCOMPARE(session.saveRecord(RecordSaver::Texts::dataTable()), RecordSaver::Outcome::Saved);
    QCOMPARE(prompter.questions.size(), 1);
    QCOMPARE(prompter.questions.first().text, u"Do you want to save this record data?"_s);
    QCOMPARE(session.record().recNo, u"2"_s);
    QCOMPARE(joined(u"SELECT RecNo || ':' || Comment FROM datamain ORDER BY RecNo::int"_s), u"1:the server's own,2:made here"_s);

    // Saved again in the same place, it is that record now: replaced after asking.
    QCOMPARE(session.saveRecord(RecordSaver::Texts::dataTable()), RecordSaver::Outcome::Replaced);
    QCOMPARE(prompter.questions.last().text, u"Do you replace existing data with current record?"_s);
    QCOMPARE(column(u"SELECT count(*) FROM datamain"_s), QStringList{u"2"_s});

    // The server's own record in the window, a sample commented and saved over it: the window
    // shows its samples, and the server keeps each once, with the comment.
    QVERIFY(session.loadRecord(theirs.recNo, true));
    QCOMPARE(session.buffer().size(), 3);
    QCOMPARE(session.buffer().voltage(2, 0), u"12.000"_s);
    QVERIFY(session.setComment(1, u"checked"_s));
    QCOMPARE(session.saveRecord(RecordSaver::Texts::dataTable()), RecordSaver::Outcome::Replaced);
    QCOMPARE(joined(u"SELECT SeqNo || ':' || Comment FROM datadetail WHERE recno = '1' ORDER BY SeqNo"_s), u"0:,1:checked,2:"_s);
}

QTEST_MAIN(TestServerRecordStore)
#include "tst_ServerRecordStore.moc"
