#include "StoreTestSupport.h"
#include "support/TestEnvironment.h"

#include "common/Prompter.h"
#include "datalog/RecordSaver.h"
#include "datalog/RecordStore.h"
#include "datalog/SavedRecordModel.h"
#include "resources/Catalogue.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using StoreTest::describe;
using StoreTest::record;
using StoreTest::sample;

namespace {

QString describe(const MachineTypeRow &r)
{
    QStringList f{r.mtype, QString::number(r.inMenu), QString::number(r.layout), QString::number(r.perChannel)};
    for (double v : {r.vMax, r.iMax, r.ovpMax, r.vStep, r.iStep, r.ovpStep})
        f << QString::number(v);
    return (f << r.vFormat << r.iFormat << r.ovpFormat).join(QLatin1Char('|'));
}

} // namespace

class TestRecordStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void init();
    void cleanup();

    void firstRunHasSchemaAndCatalogue();
    void bufferOperations();
    void recordNumbersStayUniquePastNine();
    void saveLoadRoundTripKeepsEveryValue();
    void missingRecordLeavesBufferAlone();
    void quotesAreStoredAsTyped();
    void replaceAndDelete();
    void failureInsideAnOperationChangesNothing();
    void statisticsCompareReadingsAsNumbers();
    void moveBufferToDataWindow();
    void savedRecordListCaptions();
    void saveRuleAsksAndReports();

private:
    bool fill(int count);
    QList<SampleRow> buffer();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordStore> m_store;
    QString m_file;
};

void TestRecordStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<RecordStore>();
    const StoreOpenResult result = m_store->open(m_dir->path());
    QCOMPARE(result.status, StoreOpenResult::Status::Opened);
    m_file = m_store->filePath();
}

void TestRecordStore::cleanup()
{
    m_store.reset();
    m_dir.reset();
}

bool TestRecordStore::fill(int count)
{
    for (int i = 0; i < count; ++i) {
        if (!m_store->appendSample(sample(i, QString::number(10 + i) + QStringLiteral(".00"))))
            return false;
    }
    return true;
}

QList<SampleRow> TestRecordStore::buffer()
{
    return m_store->bufferSamples().value_or(QList<SampleRow>());
}

void TestRecordStore::firstRunHasSchemaAndCatalogue()
{
    // The default location follows ZEP_DATA_DIR.
    RecordStore atDefault;
    QCOMPARE(atDefault.open().status, StoreOpenResult::Status::Opened);
    QCOMPARE(atDefault.filePath(), qEnvironmentVariable("ZEP_DATA_DIR") + QStringLiteral("/mtype.db"));
    QVERIFY(QFile::exists(atDefault.filePath()));

    // Every shipped machine type, in table order, field by field.
    const auto types = m_store->machineTypes();
    QVERIFY(types);
    const QList<MachineTypeRow> &shipped = Catalogue::shipped();
    QCOMPARE(types->size(), shipped.size());
    for (int i = 0; i < shipped.size(); ++i)
        QCOMPARE(describe(types->at(i)), describe(shipped.at(i)));
    const auto channel3 = m_store->findMachineType(QStringLiteral("XPP-3202#3"));
    QVERIFY(channel3);
    QCOMPARE(channel3->vMax, 7.0);
    QCOMPARE(channel3->iFormat, QStringLiteral(".00"));
    const auto fields = m_store->machineTypeFields(QStringLiteral("SPP-KRX72"));
    QVERIFY(fields && fields->size() == 13);
    QCOMPARE(QStringList({fields->at(0).toString(), fields->at(2).toString(), fields->at(5).toString(),
                          fields->at(12).toString()}),
             QStringList({"SPP-KRX72", "2", "1.5", ".0"}));
    QVERIFY(!m_store->findMachineType(QStringLiteral("XPP-9999")));
    QVERIFY(!m_store->lastError().isSet());

    // Column names and order that the statements of the windows rely on.
    QCOMPARE(StoreTest::column(m_file, QStringLiteral("SELECT name FROM pragma_table_info('datatemp')")),
             QStringLiteral("SeqNo,RecTime,PVal,SVal,Reason,PVal2,SVal2,Reason2,PVal3,SVal3,Reason3,"
                            "PVal4,SVal4,Reason4,Comment,TimeTick,DiffLastTime").split(QLatin1Char(',')));
    QCOMPARE(StoreTest::column(m_file, QStringLiteral("SELECT name FROM pragma_table_info('datamain')")),
             QStringLiteral("RecNo,StartTime,EndTime,Comment,PUnit,SUnit,RecStyle,ShowStyle").split(QLatin1Char(',')));
    const QStringList detail = StoreTest::column(m_file, QStringLiteral("SELECT name FROM pragma_table_info('datadetail')"));
    QCOMPARE(detail.size(), 19);
    QCOMPARE(detail.mid(0, 3), QStringLiteral("recno,SeqWindow,SeqNo").split(QLatin1Char(',')));
    QCOMPARE(StoreTest::column(m_file, QStringLiteral("SELECT name FROM pragma_table_info('datacopy')")).size(), 19);
    QCOMPARE(StoreTest::column(m_file, QStringLiteral("SELECT name FROM pragma_table_info('datawindow1')")).size(), 17);
    // Record numbers and readings are text even when they look like numbers.
    QVERIFY(m_store->appendSample(sample(0, QStringLiteral("5"), QStringLiteral("0.100"))));
    QCOMPARE(StoreTest::scalar(m_file, QStringLiteral("SELECT typeof(PVal) || typeof(SVal) || typeof(SeqNo) FROM datatemp")).toString(),
             QStringLiteral("texttextinteger"));
}

void TestRecordStore::bufferOperations()
{
    QCOMPARE(m_store->bufferCount(), std::optional<qint64>(0));
    QList<SampleRow> written;
    for (int i = 0; i < 3; ++i) {
        written << sample(i, QStringLiteral("%1.00").arg(i + 1), QStringLiteral("0.%1").arg(i + 1),
                          QLatin1String(i == 1 ? "1" : "0"));
        QVERIFY(m_store->appendSample(written.last()));
    }
    QCOMPARE(m_store->bufferCount(), std::optional<qint64>(3));
    const QList<SampleRow> all = buffer();
    QCOMPARE(all, written);

    const auto timeRows = m_store->bufferSamples(QStringLiteral("0"));
    QCOMPARE(timeRows.value_or(QList<SampleRow>()), QList<SampleRow>({written.at(0), written.at(2)}));
    QCOMPARE(m_store->bufferSamples(QStringLiteral("3"))->size(), 0);

    // The comment of a sample, found by its (trimmed) time stamp.
    QVERIFY(m_store->updateComment(QStringLiteral("  ") + all.at(1).recTime + QStringLiteral(" "),
                                   QStringLiteral("load step")));
    QCOMPARE(buffer().at(1).comment, QStringLiteral("load step"));
    QCOMPARE(buffer().at(0).comment, QString());

    // A visitor may stop early.
    int visited = 0;
    QVERIFY(m_store->forEachBufferSample([&visited](const SampleRow &) { return ++visited < 2; }));
    QCOMPARE(visited, 2);

    QVERIFY(m_store->clearBuffer());
    QCOMPARE(m_store->bufferCount(), std::optional<qint64>(0));
}

void TestRecordStore::recordNumbersStayUniquePastNine()
{
    QCOMPARE(m_store->nextRecordNumber(), std::optional<QString>(QStringLiteral("1")));
    QVERIFY(fill(2));
    for (int i = 1; i <= 11; ++i) {
        const auto number = m_store->nextRecordNumber();
        QCOMPARE(number, std::optional<QString>(QString::number(i)));
        QVERIFY(m_store->saveRecord(record(*number, QStringLiteral("run %1").arg(i))));
    }
    QCOMPARE(m_store->nextRecordNumber(), std::optional<QString>(QStringLiteral("12")));

    // Listed highest number first, "10" and "11" before "9".
    const auto list = m_store->savedRecords();
    QVERIFY(list);
    QStringList numbers;
    for (const RecordInfo &r : *list)
        numbers << r.recNo;
    QCOMPARE(numbers, QStringLiteral("11,10,9,8,7,6,5,4,3,2,1").split(QLatin1Char(',')));

    // A number already taken is refused, not stored twice.
    QVERIFY(!m_store->saveRecord(record(QStringLiteral("10"))));
    QVERIFY(m_store->lastError().isSet());
    QCOMPARE(StoreTest::detailRows(m_file, QStringLiteral("10")), 2);
}

void TestRecordStore::saveLoadRoundTripKeepsEveryValue()
{
    QVERIFY(fill(5));
    QVERIFY(m_store->updateComment(sample(3).recTime, QStringLiteral("overshoot")));
    const QList<SampleRow> recorded = buffer();

    RecordInfo r = record(QStringLiteral("1"), QStringLiteral("oven"), QStringLiteral("2026/03/05 10:00:00"),
                          QStringLiteral("2"));
    r.endTime = QStringLiteral("2026/03/05 10:00:04");
    r.showStyle = QStringLiteral("3");
    QVERIFY(m_store->saveRecord(r));
    QCOMPARE(StoreTest::scalar(m_file, QStringLiteral("SELECT min(SeqWindow) || max(SeqWindow) FROM datadetail")).toString(),
             QStringLiteral("11"));

    QVERIFY(m_store->clearBuffer());
    QVERIFY(m_store->appendSample(sample(0)));
    RecordInfo loaded;
    QCOMPARE(m_store->loadRecord(QStringLiteral(" 1 "), &loaded), RecordStore::LoadResult::Loaded);
    QCOMPARE(buffer(), recorded);
    QCOMPARE(describe(loaded), QStringLiteral("1|2026/03/05 10:00:00|2026/03/05 10:00:04|oven|V|A|2|3"));
}

void TestRecordStore::missingRecordLeavesBufferAlone()
{
    QVERIFY(fill(3));
    QVERIFY(m_store->saveRecord(record(QStringLiteral("1"))));
    QVERIFY(m_store->clearBuffer());
    QVERIFY(m_store->appendSample(sample(0, QStringLiteral("99.00"))));
    const QList<SampleRow> before = buffer();

    RecordInfo untouched;
    untouched.comment = QStringLiteral("as before");
    QCOMPARE(m_store->loadRecord(QStringLiteral("12"), &untouched), RecordStore::LoadResult::NotFound);
    QCOMPARE(buffer(), before);
    QCOMPARE(untouched.comment, QStringLiteral("as before"));
    QVERIFY(!m_store->lastError().isSet());
    // Record numbers compare as text: "01" is not record "1".
    QCOMPARE(m_store->loadRecord(QStringLiteral("01")), RecordStore::LoadResult::NotFound);
    QCOMPARE(buffer(), before);
}

void TestRecordStore::quotesAreStoredAsTyped()
{
    const QString nasty = QStringLiteral("it's \"fine\"'; DELETE FROM datamain; -- 5' 'x");
    QVERIFY(fill(2));
    QVERIFY(m_store->updateComment(sample(1).recTime, nasty));
    QVERIFY(m_store->saveRecord(record(QStringLiteral("1"), nasty)));
    QVERIFY(m_store->saveRecord(record(QStringLiteral("2"), nasty)));

    QVERIFY(m_store->clearBuffer());
    RecordInfo loaded;
    QCOMPARE(m_store->loadRecord(QStringLiteral("1"), &loaded), RecordStore::LoadResult::Loaded);
    QCOMPARE(loaded.comment, nasty);
    QCOMPARE(buffer().at(1).comment, nasty);
    QCOMPARE(m_store->savedRecords()->size(), 2);
    // A quote in a record number or time stamp is just a value that matches nothing.
    QCOMPARE(m_store->loadRecord(QStringLiteral("1' OR '1'='1")), RecordStore::LoadResult::NotFound);
    QVERIFY(m_store->updateComment(QStringLiteral("x' OR '1'='1"), QStringLiteral("gone")));
    QCOMPARE(buffer().at(1).comment, nasty);
}

void TestRecordStore::replaceAndDelete()
{
    QVERIFY(fill(4));
    const QString start = QStringLiteral("2026/03/05 10:00:00");
    QVERIFY(m_store->saveRecord(record(QStringLiteral("1"), QStringLiteral("first"), start, QStringLiteral("1"))));
    const RecordInfo second = record(QStringLiteral("2"), QStringLiteral("second"), start, QStringLiteral("1"));
    QVERIFY(m_store->saveRecord(second));

    // Replace: new description and samples, the rest of the record as saved.
    QCOMPARE(m_store->loadRecord(QStringLiteral("1")), RecordStore::LoadResult::Loaded);
    QVERIFY(m_store->appendSample(sample(4, QStringLiteral("7.5"))));
    const QList<SampleRow> edited = buffer();
    QVERIFY(m_store->replaceRecord(record(QStringLiteral("1"), QStringLiteral("first, longer"), QStringLiteral("ignored"))));
    QVERIFY(m_store->clearBuffer());
    RecordInfo loaded;
    QCOMPARE(m_store->loadRecord(QStringLiteral("1"), &loaded), RecordStore::LoadResult::Loaded);
    QCOMPARE(buffer(), edited);
    QCOMPARE(describe(loaded), QStringLiteral("1|%1||first, longer|V|A|1|").arg(start));

    // Delete: the record and its samples go, the other record stays whole.
    QVERIFY(m_store->deleteRecord(QStringLiteral("1")));
    QVERIFY(!m_store->findRecord(QStringLiteral("1")));
    QCOMPARE(StoreTest::detailRows(m_file, QStringLiteral("1")), 0);
    QCOMPARE(m_store->savedRecords()->size(), 1);
    QCOMPARE(m_store->loadRecord(QStringLiteral("2"), &loaded), RecordStore::LoadResult::Loaded);
    QCOMPARE(buffer().size(), 4);
    QCOMPARE(loaded.comment, QStringLiteral("second"));

    // Replacing a record deleted meanwhile (by the other window) saves it again: the
    // buffer's samples are not lost and every sample has its record row.
    QVERIFY(m_store->deleteRecord(QStringLiteral("2")));
    QVERIFY(m_store->replaceRecord(second));
    QCOMPARE(describe(m_store->findRecord(QStringLiteral("2"))), describe(second));
    QCOMPARE(StoreTest::detailRows(m_file, QStringLiteral("2")), 4);
}

void TestRecordStore::failureInsideAnOperationChangesNothing()
{
    QVERIFY(fill(3));
    RecordInfo r = record(QStringLiteral("1"), QStringLiteral("kept"));
    QVERIFY(m_store->saveRecord(r));
    const QString snapshot = QStringLiteral(
        "SELECT (SELECT group_concat(RecNo || Comment, '|') FROM datamain) || '#' || "
        "(SELECT group_concat(recno || SeqNo || PVal, '|') FROM datadetail)");
    const QString before = StoreTest::scalar(m_file, snapshot).toString();

    // The second statement of a save fails: no record row without samples is left behind.
    QVERIFY(StoreTest::exec(m_file, QStringLiteral(
        "CREATE TRIGGER fail_detail BEFORE INSERT ON datadetail BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    r.recNo = QStringLiteral("2");
    QVERIFY(!m_store->saveRecord(r));
    QVERIFY(m_store->lastError().description.contains(QStringLiteral("injected")));
    QCOMPARE(StoreTest::scalar(m_file, snapshot).toString(), before);
    QCOMPARE(m_store->nextRecordNumber(), std::optional<QString>(QStringLiteral("2")));

    // Replace fails at its last statement: description and old samples stay.
    r.recNo = QStringLiteral("1");
    r.comment = QStringLiteral("changed");
    QVERIFY(m_store->appendSample(sample(3)));
    QVERIFY(!m_store->replaceRecord(r));
    QCOMPARE(StoreTest::scalar(m_file, snapshot).toString(), before);
    QVERIFY(StoreTest::exec(m_file, QStringLiteral("DROP TRIGGER fail_detail")));

    // Delete fails at its second statement: the samples stay with their record.
    QVERIFY(StoreTest::exec(m_file, QStringLiteral(
        "CREATE TRIGGER fail_main BEFORE DELETE ON datamain BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    QVERIFY(!m_store->deleteRecord(QStringLiteral("1")));
    QCOMPARE(StoreTest::scalar(m_file, snapshot).toString(), before);
    QVERIFY(StoreTest::exec(m_file, QStringLiteral("DROP TRIGGER fail_main")));

    // Load fails while filling the buffer: the buffer keeps its rows.
    const QList<SampleRow> buffered = buffer();
    QVERIFY(StoreTest::exec(m_file, QStringLiteral(
        "CREATE TRIGGER fail_temp BEFORE INSERT ON datatemp BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    QCOMPARE(m_store->loadRecord(QStringLiteral("1")), RecordStore::LoadResult::Failed);
    QCOMPARE(buffer(), buffered);
    // And an append that fails says so.
    QVERIFY(!m_store->appendSample(sample(4)));
    QVERIFY(m_store->lastError().description.contains(QStringLiteral("injected")));
}

void TestRecordStore::statisticsCompareReadingsAsNumbers()
{
    auto extremes = [this](int channel) {
        const auto e = m_store->channelExtremes(channel);
        return e ? QStringList({e->maxV, e->minV, e->maxA, e->minA}) : QStringList(QStringLiteral("<failed>"));
    };
    QCOMPARE(extremes(1), QStringList(4, QString()));

    const QList<std::pair<QString, QString>> readings{
        {QStringLiteral("9.5"), QStringLiteral("0.100")},
        {QStringLiteral("10.2"), QStringLiteral("0.95")},
        {QStringLiteral("10,7"), QStringLiteral("1.050")},   // decimal comma
        {QStringLiteral("-0.5"), QStringLiteral("0.0990")},
        {QStringLiteral("2"), QStringLiteral("0.101")},
    };
    for (int i = 0; i < readings.size(); ++i) {
        SampleRow row = sample(i, readings.at(i).first, readings.at(i).second);
        row.channels[3] = {QStringLiteral("5.002"), QStringLiteral("0.101"), QStringLiteral("4")};
        QVERIFY(m_store->appendSample(row));
    }
    QCOMPARE(extremes(1), QStringList({"10,7", "-0.5", "1.050", "0.0990"}));
    QCOMPARE(extremes(4), QStringList({"5.002", "5.002", "0.101", "0.101"}));
    QVERIFY(!m_store->channelExtremes(5));
    QVERIFY(m_store->lastError().isSet());
}

void TestRecordStore::moveBufferToDataWindow()
{
    QVERIFY(fill(3));
    const QList<SampleRow> rows = buffer();
    QVERIFY(m_store->moveBufferToWindow(3));
    QCOMPARE(m_store->bufferCount(), std::optional<qint64>(0));
    QCOMPARE(StoreTest::column(m_file, QStringLiteral("SELECT PVal FROM DataWindow3 ORDER BY SeqNo")),
             QStringList({rows.at(0).channels[0].voltage, rows.at(1).channels[0].voltage, rows.at(2).channels[0].voltage}));
    QVERIFY(fill(2));
    QVERIFY(m_store->moveBufferToWindow(1));
    QCOMPARE(StoreTest::scalar(m_file, QStringLiteral("SELECT count(*) FROM datawindow1")).toInt(), 2);
    QVERIFY(!m_store->moveBufferToWindow(-1));
}

void TestRecordStore::savedRecordListCaptions()
{
    QVERIFY(fill(1));
    for (const QString &n : {QStringLiteral("1"), QStringLiteral("2")})
        QVERIFY(m_store->saveRecord(record(n, QStringLiteral("oven ") + n, QStringLiteral("2016/05/03 14:07:0") + n)));
    SavedRecordModel model;
    model.setRecords(*m_store->savedRecords());
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.rowCount(), 2);
    QStringList shown;
    for (int c = 0; c < 4; ++c)
        shown << model.headerData(c, Qt::Horizontal).toString() << model.data(model.index(0, c)).toString()
              << model.data(model.index(1, c)).toString();
    QCOMPARE(shown, QStringList({"編號", "2", "1", "開始時間", "2016/05/03 14:07:02", "2016/05/03 14:07:01",
                                 "結束時間", "", "", "註  解", "oven 2", "oven 1"}));
    QCOMPARE(model.record(1).recNo, QStringLiteral("1"));
}

void TestRecordStore::saveRuleAsksAndReports()
{
    ScriptedPrompter prompter;
    ScopedPrompter scoped(prompter);
    RecordSaver table(*m_store, RecordSaver::Texts::dataTable());
    RecordSaver graph(*m_store, RecordSaver::Texts::graphicRecord());
    RecordSaver::Form form;
    form.startTime = QStringLiteral("2026/03/05 10:00:00");
    form.endTime = QStringLiteral("2026/03/05 10:00:02");
    form.description = QStringLiteral("bench");
    form.recScale = 2;
    form.xLengthPosition = 3;

    // Empty buffer: the window's message, nothing asked.
    QCOMPARE(table.save(form), RecordSaver::Outcome::EmptyBuffer);
    QCOMPARE(prompter.messageTexts(), QStringList{QStringLiteral("You need do record first and then try this again!")});
    QVERIFY(prompter.questions.isEmpty());
    QVERIFY(fill(3));

    // No: nothing saved.
    prompter.clear();
    prompter.answers = {false};
    QCOMPARE(graph.save(form), RecordSaver::Outcome::Declined);
    QCOMPARE(prompter.questions.at(0).text, QStringLiteral("Do you want to save current record?"));
    QCOMPARE(m_store->savedRecords()->size(), 0);
    QVERIFY(form.recNo.isEmpty());

    // Yes: record "1" with the window's values.
    prompter.answers = {true};
    QCOMPARE(table.save(form), RecordSaver::Outcome::Saved);
    QCOMPARE(prompter.questions.at(1).text, QStringLiteral("Do you want to save this record data?"));
    QCOMPARE(form.recNo, QStringLiteral("1"));
    QCOMPARE(describe(m_store->findRecord(QStringLiteral("1"))),
             QStringLiteral("1|2026/03/05 10:00:00|2026/03/05 10:00:02|bench|V|A|2|3"));

    // With a number shown, the window asks to replace.
    prompter.clear();
    prompter.answers = {true};
    form.description = QStringLiteral("bench, again");
    QCOMPARE(graph.save(form), RecordSaver::Outcome::Replaced);
    QCOMPARE(prompter.questions.at(0).text, QStringLiteral("Do you want to replace existing data with current record?"));
    QCOMPARE(m_store->findRecord(QStringLiteral("1"))->comment, QStringLiteral("bench, again"));

    // A failing statement: the window's error text, the number box stays empty.
    QVERIFY(StoreTest::exec(m_file, QStringLiteral(
        "CREATE TRIGGER fail_detail BEFORE INSERT ON datadetail BEGIN SELECT RAISE(ABORT, 'disk trouble'); END")));
    prompter.clear();
    prompter.answers = {true};
    form.recNo.clear();
    QCOMPARE(table.save(form), RecordSaver::Outcome::Failed);
    QVERIFY(form.recNo.isEmpty());
    QCOMPARE(prompter.messages.size(), 1);
    QVERIFY(prompter.messages.at(0).text.startsWith(QStringLiteral("DataTable: System Error caused by ")));
    QVERIFY(prompter.messages.at(0).text.endsWith(QStringLiteral(":disk trouble")));
    QCOMPARE(m_store->savedRecords()->size(), 1);
}

QTEST_GUILESS_MAIN(TestRecordStore)
#include "tst_RecordStore.moc"
