#include "StoreTestSupport.h"
#include "support/TestEnvironment.h"

#include "common/Clock.h"
#include "common/Prompter.h"
#include "datalog/RecordSaver.h"
#include "datalog/RecordingInterfaces.h"
#include "datalog/RecordingSession.h"
#include "datalog/SavedRecordModel.h"
#include "resources/Catalogue.h"

#include <QtTest>

#include <memory>

using StoreTest::describe;
using StoreTest::record;
using StoreTest::sample;

// The readings of a supply, as the test sets them.
class FakeSupply : public ReadingSource
{
public:
    bool running = true;
    bool output = true;
    QStringList volts, amps;

    bool isRunning() const override { return running; }
    bool isOutputOn() const override { return output; }
    QString machineType() const override { return QStringLiteral("XPP-3202"); }
    QString voltageText(int i) const override { return volts.value(i); }
    QString currentText(int i) const override { return amps.value(i); }
    double voltageMaximum(int) const override { return 32; }
    double currentMaximum(int) const override { return 2; }
};

static QString describe(const MachineTypeRow &r)
{
    QStringList f{r.mtype, QString::number(r.inMenu), QString::number(r.layout), QString::number(r.perChannel)};
    for (double v : {r.vMax, r.iMax, r.ovpMax, r.vStep, r.iStep, r.ovpStep})
        f << QString::number(v);
    return (f << r.vFormat << r.iFormat << r.ovpFormat).join(QLatin1Char('|'));
}

class TestRecordStore : public QObject
{
    Q_OBJECT

    bool fill(int count) { return StoreTest::appendSamples(*m_store, count); }
    QList<SampleRow> buffer() { return m_store->bufferSamples().value_or(QList<SampleRow>()); }
    int detailRows(const char *recNo)
    {
        return StoreTest::scalar(m_file, QStringLiteral("SELECT count(*) FROM datadetail WHERE recno = '%1'")
                                             .arg(QLatin1String(recNo))).toInt();
    }

    std::unique_ptr<StoreTest::TempStore> m_temp;
    RecordStore *m_store = nullptr;
    QString m_file;

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void init()
    {
        m_temp = std::make_unique<StoreTest::TempStore>();
        m_store = &m_temp->store;
        m_file = m_temp->file();
        QVERIFY(m_temp->open());
    }

    void firstRunHasSchemaAndCatalogue()
    {
        // The default location follows ZEP_DATA_DIR.
        RecordStore atDefault;
        QCOMPARE(atDefault.open().status, StoreOpenResult::Status::Opened);
        QCOMPARE(atDefault.filePath(), qEnvironmentVariable("ZEP_DATA_DIR") + QStringLiteral("/mtype.db"));

        // Every shipped machine type, in table order, field by field; look-ups by type and position.
        const auto types = m_store->machineTypes();
        const QList<MachineTypeRow> &shipped = Catalogue::shipped();
        QVERIFY(types && types->size() == shipped.size());
        for (int i = 0; i < shipped.size(); ++i)
            QCOMPARE(describe(types->at(i)), describe(shipped.at(i)));
        QCOMPARE(m_store->findMachineType(QStringLiteral("XPP-3202#3"))->vMax, 7.0);
        QVERIFY(!m_store->findMachineType(QStringLiteral("XPP-9999")));
        const auto fields = m_store->machineTypeFields(QStringLiteral("SPP-KRX72"));
        QVERIFY(fields && fields->size() == 13);
        QCOMPARE(fields->at(5).toString() + fields->at(12).toString(), QStringLiteral("1.5.0"));

        // Column order the windows' statements rely on; readings are text even when numeric.
        QCOMPARE(StoreTest::column(m_file, QStringLiteral("SELECT name FROM pragma_table_info('datatemp')")),
                 QStringLiteral("SeqNo,RecTime,PVal,SVal,Reason,PVal2,SVal2,Reason2,PVal3,SVal3,Reason3,"
                                "PVal4,SVal4,Reason4,Comment,TimeTick,DiffLastTime").split(QLatin1Char(',')));
        QVERIFY(m_store->appendSample(sample(0, QStringLiteral("5"), QStringLiteral("0.100"))));
        QCOMPARE(StoreTest::scalar(m_file, QStringLiteral("SELECT typeof(PVal) || typeof(SeqNo) FROM datatemp")).toString(),
                 QStringLiteral("textinteger"));
    }

    // The buffer gives its samples back as written, also by reason; the extremes of a channel
    // compare readings as numbers; moving the buffer to a graph window's table empties it.
    void bufferOperationsAndExtremes()
    {
        auto extremes = [this](int channel) {
            const auto e = m_store->channelExtremes(channel);
            return e ? QStringList({e->maxV, e->minV, e->maxA, e->minA}) : QStringList(QStringLiteral("<failed>"));
        };
        QCOMPARE(extremes(1), QStringList(4, QString()));
        const QStringList volts{"9.5", "10.2", "10,7" /* decimal comma */, "-0.5", "2"};
        const QStringList amps{"0.100", "0.95", "1.050", "0.0990", "0.101"};
        QList<SampleRow> written;
        for (int i = 0; i < volts.size(); ++i) {
            written << sample(i, volts.at(i), amps.at(i), QLatin1String(i == 1 ? "1" : "0"));
            written.last().channels[3] = {QStringLiteral("5.002"), QStringLiteral("0.101"), QStringLiteral("4")};
            QVERIFY(m_store->appendSample(written.last()));
        }
        QCOMPARE(m_store->bufferCount(), std::optional<qint64>(5));
        QCOMPARE(buffer(), written);
        QCOMPARE(m_store->bufferSamples(QStringLiteral("0")).value_or(QList<SampleRow>()),
                 QList<SampleRow>({written[0], written[2], written[3], written[4]}));
        QCOMPARE(extremes(1), QStringList({"10,7", "-0.5", "1.050", "0.0990"}));
        QCOMPARE(extremes(4), QStringList({"5.002", "5.002", "0.101", "0.101"}));
        QVERIFY(!m_store->channelExtremes(5));

        // The comment of a sample, found by its number: a sample sharing its time stamp (a late
        // tick) keeps its own.
        QVERIFY(StoreTest::exec(m_file, QStringLiteral("UPDATE datatemp SET RecTime = '%1' WHERE SeqNo = 2")
                                            .arg(written.at(1).recTime)));
        QVERIFY(m_store->updateComment(1, QStringLiteral("load step")));
        QCOMPARE(buffer().at(1).comment + QLatin1Char('|') + buffer().at(2).comment, QStringLiteral("load step|"));

        QVERIFY(m_store->moveBufferToWindow(3));
        QCOMPARE(m_store->bufferCount(), std::optional<qint64>(0));
        QCOMPARE(StoreTest::column(m_file, QStringLiteral("SELECT PVal FROM DataWindow3 ORDER BY SeqNo")), volts);
        QVERIFY(!m_store->moveBufferToWindow(-1));
        QVERIFY(fill(1) && m_store->clearBuffer());
        QCOMPARE(m_store->bufferCount(), std::optional<qint64>(0));
    }

    // A saved record keeps every value (quotes too) and loads back; a number not saved leaves the
    // buffer alone; replace takes a new comment and samples, delete drops only its own record;
    // any of them failing inside changes nothing.
    void savedRecordsLoadReplaceAndDeleteWhole()
    {
        const QString nasty = QStringLiteral("it's \"fine\"'; DELETE FROM datamain; -- 5' 'x");
        const QString start = QStringLiteral("2026/03/05 10:00:00");
        QVERIFY(fill(5) && m_store->updateComment(3, nasty));
        const QList<SampleRow> recorded = buffer();
        RecordInfo r = record(QStringLiteral("1"), nasty, start, QStringLiteral("2"));
        r.endTime = QStringLiteral("2026/03/05 10:00:04");
        r.showStyle = QStringLiteral("3");
        const RecordInfo second = record(QStringLiteral("2"), nasty, start, QStringLiteral("1"));
        QVERIFY(m_store->saveRecord(r) && m_store->saveRecord(second));
        QCOMPARE(m_store->savedRecords()->size(), 2);

        QVERIFY(m_store->clearBuffer() && m_store->appendSample(sample(0)));
        RecordInfo loaded;
        QCOMPARE(m_store->loadRecord(QStringLiteral(" 1 "), &loaded), RecordStore::LoadResult::Loaded);
        QCOMPARE(buffer(), recorded);
        QCOMPARE(describe(loaded), QStringLiteral("1|%1|2026/03/05 10:00:04|%2|V|A|2|3").arg(start, nasty));
        // "01" is not record "1", and a quote in a number is just a value that matches nothing.
        for (const char *missing : {"12", "01", "1' OR '1'='1"})
            QCOMPARE(m_store->loadRecord(QLatin1String(missing), &loaded), RecordStore::LoadResult::NotFound);
        QCOMPARE(buffer(), recorded);
        QCOMPARE(loaded.comment, nasty);
        QVERIFY(!m_store->lastError().isSet());

        // Replacing the loaded record unchanged keeps its samples and takes the new comment.
        r.comment = QStringLiteral("renamed");
        QVERIFY(m_store->replaceRecord(r));
        QCOMPARE(m_store->findRecord(QStringLiteral("1"))->comment, QStringLiteral("renamed"));
        QCOMPARE(detailRows("1"), 5);
        // With a sample more: the new samples and comment, the rest of the record as saved.
        QVERIFY(m_store->appendSample(sample(5, QStringLiteral("7.5"))));
        const QList<SampleRow> edited = buffer();
        QVERIFY(m_store->replaceRecord(record(QStringLiteral("1"), QStringLiteral("first, longer"), QStringLiteral("ignored"))));
        QVERIFY(m_store->clearBuffer());
        QCOMPARE(m_store->loadRecord(QStringLiteral("1"), &loaded), RecordStore::LoadResult::Loaded);
        QCOMPARE(buffer(), edited);
        QCOMPARE(describe(loaded), QStringLiteral("1|%1|2026/03/05 10:00:04|first, longer|V|A|2|3").arg(start));

        // Delete: the record and its samples go, the other record stays whole; the loaded buffer is
        // copied out first and stays.
        QVERIFY(m_store->deleteRecord(QStringLiteral("1")) && !m_store->findRecord(QStringLiteral("1")));
        QCOMPARE(buffer(), edited);
        QCOMPARE(QList<int>({detailRows("1"), detailRows("2")}), QList<int>({0, 5}));
        // Replacing a record deleted meanwhile (by the other window) saves it again.
        QVERIFY(m_store->deleteRecord(QStringLiteral("2")) && m_store->replaceRecord(second));
        QCOMPARE(describe(*m_store->findRecord(QStringLiteral("2"))), describe(second));
        QCOMPARE(detailRows("2"), 6);

        // A statement failing inside an operation (a trigger makes it fail) changes nothing.
        const QString snapshot = QStringLiteral(
            "SELECT (SELECT group_concat(RecNo || Comment, '|') FROM datamain) || '#' || "
            "(SELECT group_concat(recno || SeqNo || PVal, '|') FROM datadetail)");
        const QString before = StoreTest::scalar(m_file, snapshot).toString();
        auto failOn = [this](const char *when, const char *table) {
            return StoreTest::exec(m_file, QStringLiteral("DROP TRIGGER IF EXISTS fail"))
                && StoreTest::exec(m_file, QStringLiteral("CREATE TRIGGER fail BEFORE %1 ON %2 BEGIN "
                                                          "SELECT RAISE(ABORT, 'injected'); END")
                                               .arg(QLatin1String(when), QLatin1String(table)));
        };
        // Save fails at the samples: no record row without samples is left behind.
        QVERIFY(failOn("INSERT", "datadetail"));
        QVERIFY(!m_store->saveRecord(record(QStringLiteral("3"), QStringLiteral("kept"))));
        QVERIFY(m_store->lastError().description.contains(QStringLiteral("injected")));
        QCOMPARE(StoreTest::scalar(m_file, snapshot).toString(), before);
        // Replace fails at its last statement: description and old samples stay.
        QVERIFY(m_store->appendSample(sample(6)));
        QVERIFY(!m_store->replaceRecord(record(QStringLiteral("2"), QStringLiteral("changed"))));
        QCOMPARE(StoreTest::scalar(m_file, snapshot).toString(), before);
        // Delete fails at its second statement: the samples stay with their record.
        QVERIFY(failOn("DELETE", "datamain"));
        QVERIFY(!m_store->deleteRecord(QStringLiteral("2")));
        QCOMPARE(StoreTest::scalar(m_file, snapshot).toString(), before);
        // Load fails while emptying the buffer: the buffer keeps its rows.
        const QList<SampleRow> buffered = buffer();
        QVERIFY(failOn("DELETE", "datatemp"));
        QCOMPARE(m_store->loadRecord(QStringLiteral("2")), RecordStore::LoadResult::Failed);
        QCOMPARE(buffer(), buffered);
        // A loaded record is copied into the buffer table before its first change; when that
        // copy fails, the change fails and says so.
        QVERIFY(StoreTest::exec(m_file, QStringLiteral("DROP TRIGGER fail")));
        QCOMPARE(m_store->loadRecord(QStringLiteral("2")), RecordStore::LoadResult::Loaded);
        QVERIFY(failOn("INSERT", "datatemp"));
        QVERIFY(!m_store->appendSample(sample(7)));
        QVERIFY(m_store->lastError().description.contains(QStringLiteral("injected")));
    }

    // The windows' save rule: nothing to save, declined, saved, replaced, failed; record numbers
    // count up past nine and a number already taken is refused; the list of saved records.
    void recordNumbersListAndSaveRule()
    {
        ScriptedPrompter prompter;
        ScopedPrompter scoped(prompter);
        RecordSaver table(*m_store, RecordSaver::Texts::dataTable());
        RecordSaver graph(*m_store, RecordSaver::Texts::graphicRecord());
        RecordSaver::Form form{QString(), QStringLiteral("2026/03/05 10:00:00"), QString(), QStringLiteral("bench"), 2, 3, QString()};

        // Empty buffer: the window's message, nothing asked.
        QCOMPARE(table.save(form), RecordSaver::Outcome::EmptyBuffer);
        QCOMPARE(prompter.messageTexts(), QStringList{QStringLiteral("You need do record first and then try this again!")});
        QVERIFY(fill(3));
        // No: nothing saved. Yes: record "1" with the window's values.
        prompter.answers = {false, true};
        QCOMPARE(graph.save(form), RecordSaver::Outcome::Declined);
        QCOMPARE(m_store->savedRecords()->size(), 0);
        QCOMPARE(table.save(form), RecordSaver::Outcome::Saved);
        QCOMPARE(form.recNo, QStringLiteral("1"));
        QCOMPARE(describe(*m_store->findRecord(QStringLiteral("1"))), QStringLiteral("1|2026/03/05 10:00:00||bench|V|A|2|3"));
        // With a number shown, the window asks to replace.
        prompter.clear();
        prompter.answers = {true};
        form.description = QStringLiteral("bench, again");
        QCOMPARE(graph.save(form), RecordSaver::Outcome::Replaced);
        QCOMPARE(prompter.questions.at(0).text, QStringLiteral("Do you want to replace existing data with current record?"));
        QCOMPARE(m_store->findRecord(QStringLiteral("1"))->comment, QStringLiteral("bench, again"));

        for (int i = 2; i <= 11; ++i) {
            const auto number = m_store->nextRecordNumber();
            QCOMPARE(number, std::optional<QString>(QString::number(i)));
            QVERIFY(m_store->saveRecord(record(*number)));
        }
        QCOMPARE(m_store->nextRecordNumber(), std::optional<QString>(QStringLiteral("12")));
        QStringList numbers;  // listed highest number first, "10" and "11" before "9"
        for (const RecordInfo &r : m_store->savedRecords().value_or(QList<RecordInfo>()))
            numbers << r.recNo;
        QCOMPARE(numbers, QStringLiteral("11,10,9,8,7,6,5,4,3,2,1").split(QLatin1Char(',')));
        // A number already taken is refused, not stored twice.
        QVERIFY(!m_store->saveRecord(record(QStringLiteral("10"))));
        QVERIFY(m_store->lastError().isSet());
        QCOMPARE(detailRows("10"), 3);

        // The list of saved records under its captions, record "1" last; the bench is known only
        // on the lab server.
        SavedRecordModel model;
        model.setRecords(*m_store->savedRecords());
        QStringList shown;
        for (int c = 0; c < model.columnCount(); ++c)
            shown << model.headerData(c, Qt::Horizontal).toString() << model.data(model.index(10, c)).toString();
        QCOMPARE(shown, QStringList({"編號", "1", "開始時間", "2026/03/05 10:00:00", "結束時間", "", "註  解", "bench, again", "Bench", ""}));

        // A failing statement: the window's error text, the number box stays empty.
        QVERIFY(StoreTest::exec(m_file, QStringLiteral(
            "CREATE TRIGGER fail BEFORE INSERT ON datadetail BEGIN SELECT RAISE(ABORT, 'disk trouble'); END")));
        prompter.clear();
        prompter.answers = {true};
        form.recNo.clear();
        QCOMPARE(table.save(form), RecordSaver::Outcome::Failed);
        QVERIFY(form.recNo.isEmpty());
        QVERIFY(prompter.messages.size() == 1 && prompter.messages.at(0).text.endsWith(QStringLiteral(":disk trouble")));
        QVERIFY(prompter.messages.at(0).text.startsWith(QStringLiteral("DataTable: System Error caused by ")));
    }

    // The recording session without any window (QCoreApplication), a supply stand-in read by
    // the engine on a fake clock: ten one-second samples of two channels, refused without a
    // running supply or with its output off; then the readings as the supply gave them, in the
    // buffer and in the store. The supply then stops running in the middle of the next run: it
    // ends with a message that does not wait in the tick, and its samples stay.
    void sessionStoresSamplesAndKeepsThemWhenTheSupplyGoes()
    {
        FakeSupply supply;
        ScriptedPrompter prompter;
        ScopedPrompter scopedPrompter{prompter};
        prompter.defaultChoice = Prompter::Choice::Discard;
        FakeClock clock{QDateTime(QDate(2026, 3, 5), QTime(9, 30, 0))};
        ScopedClock scopedClock{clock};
        RecordingSession session(*m_store, nullptr, supply);
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
        const SampleBuffer &rows = session.buffer();
        QCOMPARE(rows.size(), 10);
        QCOMPARE(rows.voltage(9, 0) + QLatin1Char('|') + rows.current(9, 0) + QLatin1Char('|')
                     + rows.voltage(9, 1) + QLatin1Char('|') + rows.current(9, 1),
                 QStringLiteral("12,59|0.9A|5.000|1.0"));
        const QList<SampleRow> stored = buffer();
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
        QCOMPARE(rows.size(), 3);
        QCOMPARE(buffer().size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestRecordStore)
#include "tst_RecordStore.moc"
