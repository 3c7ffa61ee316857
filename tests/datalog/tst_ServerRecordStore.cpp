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
#include <memory>

using StoreTest::sample;

namespace {

// A store of this computer in a folder of its own, its buffer holding `samples` samples.
struct LocalStore {
    QTemporaryDir dir;
    RecordStore store;

    bool open() { return store.open(dir.path()).ok(); }
    bool fill(int samples, const QString &volts = QStringLiteral("12.000"))
    {
        return store.replaceBuffer([&](const RecordStore::SampleSink &sink) {
            for (int i = 0; i < samples; ++i) {
                if (!sink(SampleBytes(sample(i, volts)).view()))
                    return false;
            }
            return true;
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
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&addr), size) != 0 || ::listen(fd, 4) != 0
            || ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &size) != 0)
            return 0;
        return ntohs(addr.sin_port);
    }
};

RecordInfo describedRecord(const QString &comment)
{
    RecordInfo r = StoreTest::record(QString(), comment, QStringLiteral("2026/03/05 10:00:00"), QStringLiteral("2"));
    r.endTime = QStringLiteral("2026/03/05 10:05:00");
    r.showStyle = QStringLiteral("3");
    r.machineType = QStringLiteral("XPP-3202");
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
    void roundTripKeepsQuotesAndNonAscii();
    void serverGoneDuringSaveLosesNothing();
    void frozenServerStopsTheSaveAndKeepsNothing();
    void unansweredServerAndDamagedSettings();
    void passwordProblemsSayWhatToFix();
    void olderServerIsUpgraded();
    void copyOfLocalRecordsRunsOnce();
    void recordOfTheOtherPlaceIsSavedAnew();
    void placeDialogTestsTheConnection();

private:
    // A query on its own connection to the test database: the first column of every row.
    QStringList column(const QString &sql);

    TestPostgres m_pg;
    RecordPlaceSettings m_where;
    int m_databases = 0;
};

void TestServerRecordStore::initTestCase()
{
    TestEnvironment::isolateUserFolders();
    QString why;
    if (!m_pg.start(&why))
        QFAIL(qPrintable(why));
}

void TestServerRecordStore::cleanupTestCase()
{
    m_pg.stop();
}

void TestServerRecordStore::init()
{
    if (!m_pg.isRunning()) {
        QString why;
        QVERIFY2(m_pg.start(&why), qPrintable(why));
    }
    m_where = RecordPlaceSettings();
    m_where.place = RecordPlaceSettings::Place::LabServer;
    m_where.host = m_pg.host();
    m_where.port = m_pg.port();
    m_where.user = m_pg.user();
    m_where.database = QStringLiteral("lab%1").arg(++m_databases);
    QString why;
    QVERIFY2(m_pg.createDatabase(m_where.database, &why), qPrintable(why));
}

QStringList TestServerRecordStore::column(const QString &sql)
{
    SqlConnection conn(SqlConnection::Server{QStringLiteral("QPSQL"), m_where.host, m_where.port,
                                             m_where.database, m_where.user, QString()});
    QStringList out;
    if (!conn.open()) {
        qWarning() << conn.lastError().text();
        return out;
    }
    QSqlQuery q(conn.db());
    if (!q.exec(sql))
        qWarning() << sql << q.lastError().text();
    while (q.next())
        out << q.value(0).toString();
    return out;
}

void TestServerRecordStore::concurrentSavesGetDistinctNumbers()
{
    // Two benches, each with its own store and connection, saving at the same time.
    class Bench : public QThread
    {
    public:
        RecordPlaceSettings where;
        QStringList numbers;
        QString failure;

        void run() override
        {
            LocalStore local;
            if (!local.open() || !local.fill(3)) {
                failure = QStringLiteral("local store");
                return;
            }
            ServerRecordStore server(where, local.store);
            for (int i = 0; i < 100; ++i) {
                RecordInfo r = describedRecord(QStringLiteral("save %1").arg(i));
                if (!server.saveNewRecord(r)) {
                    failure = server.lastError().description;
                    return;
                }
                numbers << r.recNo;
            }
        }
    };
    Bench a;
    Bench b;
    a.where = b.where = m_where;
    a.start();
    b.start();
    QVERIFY(a.wait(120000) && b.wait(120000));
    QVERIFY2(a.failure.isEmpty() && b.failure.isEmpty(), qPrintable(a.failure + b.failure));

    QStringList all = a.numbers + b.numbers;
    std::sort(all.begin(), all.end(), [](const QString &x, const QString &y) { return x.toInt() < y.toInt(); });
    QStringList expected;
    for (int n = 1; n <= 200; ++n)
        expected << QString::number(n);
    QCOMPARE(all, expected);
    QCOMPARE(column(QStringLiteral("SELECT count(*) FROM datadetail")), QStringList{QStringLiteral("600")});
    // Every record knows the bench that saved it.
    QCOMPARE(column(QStringLiteral("SELECT DISTINCT HostName || '|' || MType FROM datamain")),
             QStringList{QSysInfo::machineHostName() + QStringLiteral("|XPP-3202")});
}

void TestServerRecordStore::roundTripKeepsQuotesAndNonAscii()
{
    LocalStore bench;
    LocalStore viewer;
    QVERIFY(bench.open() && viewer.open() && bench.fill(5) && viewer.fill(2, QStringLiteral("1.000")));
    QVERIFY(bench.store.updateComment(2, QStringLiteral("it's \"hot\" – 過熱 ü")));
    ServerRecordStore server(m_where, bench.store);
    ServerRecordStore other(m_where, viewer.store);

    const QString nasty = QStringLiteral("O'Brien's \"burn-in\" 電源測試 Ωü'); DROP TABLE datamain; --");
    RecordInfo saved = describedRecord(nasty);
    QVERIFY2(server.saveNewRecord(saved), qPrintable(server.lastError().description));
    QCOMPARE(saved.recNo, QStringLiteral("1"));

    // Listed from another bench, with the saving bench after the usual columns.
    const auto listed = other.savedRecords();
    QVERIFY(listed && listed->size() == 1);
    const RecordInfo &r = listed->first();
    QCOMPARE(StoreTest::describe(r), QStringLiteral("1|2026/03/05 10:00:00|2026/03/05 10:05:00|%1|V|A|2|3").arg(nasty));
    const QString where = QSysInfo::machineHostName() + QStringLiteral(" (XPP-3202)");
    QCOMPARE(r.bench(), where);
    QVERIFY(RecordList::tableLine(r).endsWith(QLatin1Char(' ') + where));

    // Loaded into the other bench's buffer: every sample as saved.
    RecordInfo loaded;
    QCOMPARE(other.loadRecord(QStringLiteral(" 1 "), &loaded), SavedRecords::LoadResult::Loaded);
    QCOMPARE(loaded.comment, nasty);
    QCOMPARE(viewer.buffer(), bench.buffer());

    // Replaced by a new buffer and description, then loaded again.
    QVERIFY(bench.fill(3, QStringLiteral("7.500")));
    saved.comment = QStringLiteral("renamed 'again' — 再測");
    QVERIFY2(server.replaceRecord(saved), qPrintable(server.lastError().description));
    QCOMPARE(other.findRecord(QStringLiteral("1"))->comment, saved.comment);
    QCOMPARE(other.loadRecord(QStringLiteral("1")), SavedRecords::LoadResult::Loaded);
    QCOMPARE(viewer.buffer(), bench.buffer());

    // Deleted: gone from the list; loading it, or a number made of SQL, leaves the buffer.
    QVERIFY(other.deleteRecord(QStringLiteral("1")));
    QCOMPARE(server.savedRecords()->size(), 0);
    QVERIFY(!server.findRecord(QStringLiteral("1")) && !server.lastError().isSet());
    QCOMPARE(column(QStringLiteral("SELECT count(*) FROM datadetail")), QStringList{QStringLiteral("0")});
    const QList<SampleRow> before = viewer.buffer();
    QCOMPARE(other.loadRecord(QStringLiteral("1")), SavedRecords::LoadResult::NotFound);
    QCOMPARE(other.loadRecord(QStringLiteral("1' OR '1'='1")), SavedRecords::LoadResult::NotFound);
    QCOMPARE(viewer.buffer(), before);
}

void TestServerRecordStore::serverGoneDuringSaveLosesNothing()
{
    constexpr int Samples = 200000;
    LocalStore bench;
    QVERIFY(bench.open() && bench.fill(Samples));
    const QList<SampleRow> buffer = bench.buffer();
    ServerRecordStore server(m_where, bench.store);
    QVERIFY(server.connect());

    // The server goes away once the save holds its lock, while the samples are written.
    std::atomic<bool> killed{false};
    std::unique_ptr<QThread> watcher(QThread::create([this, &killed] {
        SqlConnection conn(SqlConnection::Server{QStringLiteral("QPSQL"), m_where.host, m_where.port,
                                                 m_where.database, m_where.user, QString()});
        if (!conn.open())
            return;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 60000) {
            QSqlQuery q(conn.db());
            q.exec(QStringLiteral("SELECT count(*) FROM pg_locks l JOIN pg_class c ON c.oid = l.relation "
                                  "WHERE c.relname = 'datamain' AND l.mode = 'ExclusiveLock' AND l.granted"));
            if (q.next() && q.value(0).toInt() > 0) {
                QThread::msleep(50);
                killed = m_pg.kill();
                return;
            }
            QThread::msleep(2);
        }
    }));
    watcher->start();
    RecordInfo record = describedRecord(QStringLiteral("long run"));
    const bool saved = server.saveNewRecord(record);
    QVERIFY(watcher->wait(70000));
    QVERIFY2(killed, "the server was not stopped during the save");
    QVERIFY(!saved);
    QVERIFY(server.lastError().unreachable);
    QVERIFY2(server.lastError().description.contains(QStringLiteral("cannot be reached")),
             qPrintable(server.lastError().description));
    QCOMPARE(bench.buffer(), buffer);

    // With the server away: the list says so, quickly; the save offers this computer.
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!server.savedRecords() && server.lastError().unreachable);
    QVERIFY(timer.elapsed() < 5000);
    ScriptedPrompter prompter;
    ScopedPrompter scoped(prompter);
    RecordSaver saver(server, bench.store, RecordSaver::Texts::dataTable());
    RecordSaver::Form form{QString(), record.startTime, record.endTime, QStringLiteral("kept"), 2, 3, QStringLiteral("XPP-3202")};
    prompter.answers = {true, true};
    QCOMPARE(saver.save(form), RecordSaver::Outcome::SavedHere);
    QCOMPARE(prompter.questions.size(), 2);
    QVERIFY(prompter.questions.at(1).text.contains(QStringLiteral("cannot be reached")));
    QVERIFY(prompter.questions.at(1).text.endsWith(QStringLiteral("Save it as a new record on this computer instead?")));
    QVERIFY(form.recNo.isEmpty());
    QCOMPARE(prompter.messageTexts().last(), QStringLiteral("The record was saved on this computer as record 1."));
    QCOMPARE(bench.store.findRecord(QStringLiteral("1"))->comment, QStringLiteral("kept"));
    QCOMPARE(bench.buffer(), buffer);

    // Back again: no trace of the broken save, and the same store saves on a new connection.
    QString why;
    QVERIFY2(m_pg.start(&why), qPrintable(why));
    QCOMPARE(column(QStringLiteral("SELECT count(*) FROM datamain")), QStringList{QStringLiteral("0")});
    QCOMPARE(column(QStringLiteral("SELECT count(*) FROM datadetail")), QStringList{QStringLiteral("0")});
    QVERIFY2(server.saveNewRecord(record), qPrintable(server.lastError().description));
    QCOMPARE(record.recNo, QStringLiteral("1"));
    QCOMPARE(column(QStringLiteral("SELECT count(*) FROM datadetail")), QStringList{QString::number(Samples)});
}

void TestServerRecordStore::frozenServerStopsTheSaveAndKeepsNothing()
{
    LocalStore bench;
    QVERIFY(bench.open() && bench.fill(500));
    const QList<SampleRow> buffer = bench.buffer();
    ServerRecordStore server(m_where, bench.store);
    RecordInfo first = describedRecord(QStringLiteral("before"));
    QVERIFY2(server.saveNewRecord(first), qPrintable(server.lastError().description));

    // The server hangs with the store's connection open: nothing answers any more.
    QVERIFY(m_pg.freeze(true));
    auto thaw = qScopeGuard([this] { m_pg.freeze(false); });
    QElapsedTimer timer;
    timer.start();
    RecordInfo frozen = describedRecord(QStringLiteral("frozen"));
    QVERIFY(!server.saveNewRecord(frozen));
    const qint64 took = timer.elapsed();
    QVERIFY(server.lastError().unreachable);
    QVERIFY2(server.lastError().description.contains(
                 QStringLiteral("did not answer for %1 seconds").arg(ServerRecordStore::AnswerTimeoutSeconds)),
             qPrintable(server.lastError().description));
    // Bounded by the answer time-out (and a connect time-out), not by the server.
    QVERIFY2(took < (ServerRecordStore::AnswerTimeoutSeconds + ServerRecordStore::ConnectTimeoutSeconds + 10) * 1000,
             qPrintable(QString::number(took)));

    // From a window: a progress box whose Cancel button stops the work; a load leaves the
    // buffer as it was.
    server.setProgressShown(true);
    {
        QtPrompter boxes;
        ScopedPrompter real(boxes);
        QString shown;
        QTimer press;
        QObject::connect(&press, &QTimer::timeout, &press, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QProgressDialog *>(w);
                if (box && box->isVisible() && shown.isEmpty()) {
                    shown = box->labelText();
                    box->findChild<QPushButton *>()->click();
                }
            }
        });
        press.start(20);
        QCOMPARE(server.loadRecord(first.recNo), SavedRecords::LoadResult::Failed);
        QVERIFY2(shown.startsWith(QStringLiteral("Loading record 1 from the lab server")), qPrintable(shown));
        QVERIFY2(server.lastError().description.contains(QStringLiteral("was cancelled")),
                 qPrintable(server.lastError().description));
        QCOMPARE(bench.buffer(), buffer);
    }

    // A cancelled save offers this computer instead.
    ScriptedPrompter prompter;
    ScopedPrompter scoped(prompter);
    prompter.cancelWaits = true;
    prompter.answers = {true, true};
    RecordSaver saver(server, bench.store, RecordSaver::Texts::dataTable());
    RecordSaver::Form form{QString(), frozen.startTime, frozen.endTime, QStringLiteral("kept here"), 2, 3,
                           QStringLiteral("XPP-3202")};
    QCOMPARE(saver.save(form), RecordSaver::Outcome::SavedHere);
    QVERIFY(prompter.waits.value(0).startsWith(QStringLiteral("Saving the record on the lab server")));
    QCOMPARE(prompter.questions.size(), 2);
    QVERIFY2(prompter.questions.at(1).text.contains(QStringLiteral("was cancelled; nothing was changed there")),
             qPrintable(prompter.questions.at(1).text));
    QCOMPARE(bench.store.findRecord(QStringLiteral("1"))->comment, QStringLiteral("kept here"));
    QCOMPARE(bench.buffer(), buffer);

    // Running again: neither stopped save left anything, and the same store saves anew.
    QVERIFY(m_pg.freeze(false));
    QCOMPARE(column(QStringLiteral("SELECT string_agg(Comment, ',') FROM datamain")), QStringList{QStringLiteral("before")});
    QCOMPARE(column(QStringLiteral("SELECT count(*) FROM datadetail")), QStringList{QStringLiteral("500")});
    server.setProgressShown(false);
    QVERIFY2(server.saveNewRecord(frozen), qPrintable(server.lastError().description));
    QCOMPARE(frozen.recNo, QStringLiteral("2"));
}

void TestServerRecordStore::unansweredServerAndDamagedSettings()
{
    // A server that takes the connection but never answers: given up after the time-out.
    SilentPort silent;
    RecordPlaceSettings where = m_where;
    where.host = QStringLiteral("127.0.0.1");
    where.port = silent.listen();
    QVERIFY(where.port > 0);
    QElapsedTimer timer;
    timer.start();
    const std::optional<StoreError> failed = ServerRecordStore::probe(where);
    QVERIFY(failed && failed->unreachable);
    QVERIFY2(timer.elapsed() < (ServerRecordStore::ConnectTimeoutSeconds + 4) * 1000,
             qPrintable(QString::number(timer.elapsed())));
    QVERIFY(failed->description.startsWith(QStringLiteral("The lab server zep@127.0.0.1:%1/").arg(where.port)));

    // Damaged settings read back as their defaults; no password is ever written.
    where.write();
    QCOMPARE(RecordPlaceSettings::read(), where);
    SettingsStore::write(SettingKeys::RecordPlace, QStringLiteral("Mars"));
    SettingsStore::write(SettingKeys::ServerPort, QStringLiteral("54x32"));
    SettingsStore::write(SettingKeys::ServerDatabase, QStringLiteral("  "));
    const RecordPlaceSettings damaged = RecordPlaceSettings::read();
    QCOMPARE(damaged.place, RecordPlaceSettings::Place::ThisComputer);
    QCOMPARE(damaged.port, RecordPlaceSettings::DefaultPort);
    QCOMPARE(damaged.database, QStringLiteral("zep"));
    QVERIFY(!StoreTest::readFile(SettingsStore::filePath()).toLower().contains("password"));
}

void TestServerRecordStore::passwordProblemsSayWhatToFix()
{
    // A user that logs in with a password only; the rest keep logging in without one.
    column(QStringLiteral("CREATE ROLE guarded LOGIN PASSWORD 'right horse'"));
    column(QStringLiteral("ALTER DATABASE %1 OWNER TO guarded").arg(m_where.database));
    column(QStringLiteral("ALTER SCHEMA public OWNER TO guarded"));
    QFile hba(m_pg.host() + QStringLiteral("/data/pg_hba.conf"));
    QVERIFY(hba.open(QIODevice::ReadOnly));
    const QByteArray rules = hba.readAll();
    hba.close();
    QVERIFY(hba.open(QIODevice::WriteOnly | QIODevice::Truncate));
    hba.write("local all guarded scram-sha-256\n" + rules);
    hba.close();
    column(QStringLiteral("SELECT pg_reload_conf()"));

    QTemporaryDir home;
    const QString pgpass = home.filePath(QStringLiteral("pgpass"));
    qputenv("PGPASSFILE", QFile::encodeName(pgpass));
    auto unset = qScopeGuard([] { qunsetenv("PGPASSFILE"); });
    RecordPlaceSettings where = m_where;
    where.user = QStringLiteral("guarded");
    const auto writePassword = [&](const char *password) {
        QFile f(pgpass);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QStringLiteral("*:*:*:guarded:%1\n").arg(QLatin1String(password)).toUtf8());
        f.close();
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    };

    // No entry for the user: the server is there, the password is missing.
    std::optional<StoreError> failed;
    QTRY_VERIFY_WITH_TIMEOUT((failed = ServerRecordStore::probe(where))
                                 && failed->description.contains(QStringLiteral("asks for the password")),
                             10000);
    QVERIFY2(failed->description.startsWith(QStringLiteral("The lab server guarded@%1").arg(m_where.host))
                 && failed->description.contains(QStringLiteral("~/.pgpass"))
                 && !failed->description.contains(QStringLiteral("cannot be reached")),
             qPrintable(failed->description));

    // A wrong password: said so, and where to correct it.
    writePassword("wrong horse");
    failed = ServerRecordStore::probe(where);
    QVERIFY(failed);
    QVERIFY2(failed->description.contains(QStringLiteral("did not accept the password of user guarded"))
                 && failed->description.contains(QStringLiteral("~/.pgpass"))
                 && !failed->description.contains(QStringLiteral("cannot be reached")),
             qPrintable(failed->description));

    // The save from a window says the same and still offers this computer.
    LocalStore bench;
    QVERIFY(bench.open() && bench.fill(3));
    ServerRecordStore server(where, bench.store);
    ScriptedPrompter prompter;
    ScopedPrompter scoped(prompter);
    prompter.answers = {true, false};
    RecordSaver saver(server, bench.store, RecordSaver::Texts::dataTable());
    RecordSaver::Form form{QString(), QString(), QString(), QStringLiteral("guarded"), 0, 0, QString()};
    QCOMPARE(saver.save(form), RecordSaver::Outcome::Declined);
    QCOMPARE(prompter.questions.size(), 2);
    QVERIFY2(prompter.questions.at(1).text.startsWith(failed->description),
             qPrintable(prompter.questions.at(1).text));

    writePassword("right horse");
    failed = ServerRecordStore::probe(where);
    QVERIFY2(!failed, qPrintable(failed ? failed->description : QString()));
}

void TestServerRecordStore::olderServerIsUpgraded()
{
    // Tables as the first server version made them: this computer's columns only.
    SqlConnection conn(SqlConnection::Server{QStringLiteral("QPSQL"), m_where.host, m_where.port,
                                             m_where.database, m_where.user, QString()});
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
    QCOMPARE(listed->first().comment, QStringLiteral("old"));
    QCOMPARE(listed->first().bench(), QString());
    QCOMPARE(ServerSchema::version(conn.db(), &error), ServerSchema::Version);
    QCOMPARE(column(QStringLiteral("SELECT indexname FROM pg_indexes WHERE tablename IN ('datamain', 'datadetail') ORDER BY 1")),
             QStringList({QStringLiteral("datadetail_recno"), QStringLiteral("datamain_recno")}));

    RecordInfo fresh = describedRecord(QStringLiteral("new"));
    QVERIFY(server.saveNewRecord(fresh));
    QCOMPARE(fresh.recNo, QStringLiteral("8"));
    QCOMPARE(server.loadRecord(QStringLiteral("7")), SavedRecords::LoadResult::Loaded);
    QCOMPARE(bench.buffer().size(), 2);
    QCOMPARE(bench.buffer().at(1).channels[0].voltage, QStringLiteral("1.5"));

    // A second program on the upgraded server changes nothing more.
    ServerRecordStore again(m_where, bench.store);
    QVERIFY(again.connect());
    QCOMPARE(again.savedRecords()->size(), 2);
}

void TestServerRecordStore::copyOfLocalRecordsRunsOnce()
{
    LocalStore bench;
    QVERIFY(bench.open());
    const QStringList comments{QStringLiteral("first"), QStringLiteral("it's \"second\" 第二"), QString()};
    for (int i = 0; i < comments.size(); ++i) {
        QVERIFY(bench.fill(i + 2));
        RecordInfo r = StoreTest::record(QString(), comments.at(i), QStringLiteral("2026/03/0%1 09:00:00").arg(i + 1));
        QVERIFY(bench.store.saveNewRecord(r));
    }
    ServerRecordStore server(m_where, bench.store);
    RecordInfo already = describedRecord(QStringLiteral("on the server before"));
    QVERIFY(server.saveNewRecord(already));

    QStringList lines;
    const auto progress = [&lines](const QString &line) { lines << line; };
    RecordMigration first = RecordMigration::run(bench.store, server, progress);
    QVERIFY2(first.complete(), qPrintable(first.error + lines.join(QLatin1Char('\n'))));
    QCOMPARE(first.copied, 3);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.first(), QStringLiteral("[1/3] record 1: copied as server record 2"));

    const QString host = QSysInfo::machineHostName();
    QCOMPARE(column(QStringLiteral("SELECT Comment FROM datamain ORDER BY RecNo::int")),
             QStringList({QStringLiteral("on the server before"), QStringLiteral("first [record 1 of %1]").arg(host),
                          QStringLiteral("it's \"second\" 第二 [record 2 of %1]").arg(host),
                          QStringLiteral("[record 3 of %1]").arg(host)}));
    QCOMPARE(column(QStringLiteral("SELECT recno || ':' || count(*) FROM datadetail GROUP BY recno ORDER BY recno")),
             QStringList({QStringLiteral("1:4"), QStringLiteral("2:2"), QStringLiteral("3:3"), QStringLiteral("4:4")}));

    lines.clear();
    RecordMigration second = RecordMigration::run(bench.store, server, progress);
    QVERIFY(second.complete());
    QCOMPARE(second.copied, 0);
    QCOMPARE(second.alreadyThere, 3);
    QCOMPARE(lines.last(), QStringLiteral("[3/3] record 3: already on the server as record 4"));
    QCOMPARE(column(QStringLiteral("SELECT count(*) FROM datamain")), QStringList{QStringLiteral("4")});
    QCOMPARE(column(QStringLiteral("SELECT count(*) FROM datadetail")), QStringList{QStringLiteral("13")});
}

// A record loaded from this computer, then the place switched to the lab server: a save
// there makes a new record and leaves the server's record of the same number as it was.
void TestServerRecordStore::recordOfTheOtherPlaceIsSavedAnew()
{
    LocalStore bench;
    QVERIFY(bench.open() && bench.fill(3));
    RecordInfo mine = StoreTest::record(QString(), QStringLiteral("made here"), QStringLiteral("2026/03/01 09:00:00"));
    QVERIFY(bench.store.saveNewRecord(mine));
    RecordInfo theirs = describedRecord(QStringLiteral("the server's own"));
    QVERIFY(ServerRecordStore(m_where, bench.store).saveNewRecord(theirs));
    QCOMPARE(mine.recNo + theirs.recNo, QStringLiteral("11"));

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
    QVERIFY(session.loadRecord(QStringLiteral("1"), true));
    QCOMPARE(session.record().comment, QStringLiteral("made here"));

    m_where.write();
    place.reload();
    QCOMPARE(session.saveRecord(RecordSaver::Texts::dataTable()), RecordSaver::Outcome::Saved);
    QCOMPARE(prompter.questions.size(), 1);
    QCOMPARE(prompter.questions.first().text, QStringLiteral("Do you want to save this record data?"));
    QCOMPARE(session.record().recNo, QStringLiteral("2"));
    QCOMPARE(column(QStringLiteral("SELECT RecNo || ':' || Comment FROM datamain ORDER BY RecNo::int")),
             QStringList({QStringLiteral("1:the server's own"), QStringLiteral("2:made here")}));

    // Saved again in the same place, it is that record now: replaced after asking.
    QCOMPARE(session.saveRecord(RecordSaver::Texts::dataTable()), RecordSaver::Outcome::Replaced);
    QCOMPARE(prompter.questions.last().text, QStringLiteral("Do you replace existing data with current record?"));
    QCOMPARE(column(QStringLiteral("SELECT count(*) FROM datamain")), QStringList{QStringLiteral("2")});
}

void TestServerRecordStore::placeDialogTestsTheConnection()
{
    RecordPlaceSettings::read().write();  // "This computer" and the defaults
    dlgRecordPlace dialog;
    auto *server = dialog.findChild<QRadioButton *>(QStringLiteral("optLabServer"));
    auto *test = dialog.findChild<QPushButton *>(QStringLiteral("cmdTest"));
    QVERIFY(server && test && dialog.findChild<QRadioButton *>(QStringLiteral("optThisComputer"))->isChecked());
    QVERIFY(!test->isEnabled());

    server->setChecked(true);
    dialog.findChild<QLineEdit *>(QStringLiteral("txtHost"))->setText(m_where.host);
    dialog.findChild<QSpinBox *>(QStringLiteral("numPort"))->setValue(m_where.port);
    dialog.findChild<QLineEdit *>(QStringLiteral("txtDatabase"))->setText(m_where.database);
    dialog.findChild<QLineEdit *>(QStringLiteral("txtUser"))->setText(m_where.user);
    QVERIFY(test->isEnabled());
    test->click();
    QVERIFY2(dialog.testResult().startsWith(QStringLiteral("Connected to ")), qPrintable(dialog.testResult()));
    const QString shots = qEnvironmentVariable("ZEP_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        dialog.grab().save(shots + QStringLiteral("/dlgRecordPlace.png"));

    dialog.findChild<QLineEdit *>(QStringLiteral("txtDatabase"))->setText(QStringLiteral("no_such_db"));
    test->click();
    QVERIFY2(dialog.testResult().contains(QStringLiteral("no_such_db")), qPrintable(dialog.testResult()));
    dialog.findChild<QLineEdit *>(QStringLiteral("txtDatabase"))->setText(m_where.database);
    static_cast<QDialog &>(dialog).accept();
    QCOMPARE(RecordPlaceSettings::read(), m_where);
}

QTEST_MAIN(TestServerRecordStore)
#include "tst_ServerRecordStore.moc"
