// The graph window: a recording followed live and redrawn from the buffer in the real main
// window on the virtual supply (fake clock); records saved, loaded and deleted from it; and,
// on a window of its own over a filled buffer, the axes, cursors, statistics, CSV export and
// printing.
#include "MainwinRig.h"

#include "common/Clock.h"
#include "datalog/GraphPower.h"
#include "datalog/GraphScales.h"
#include "datalog/RecordStore.h"
#include "datalog/RecordingSession.h"
#include "datalog/SampleBuffer.h"
#include "datalog/GraphPrintout.h"
#include "datalog/TraceSwatch.h"
#include "datalog/frmGraphicRecord.h"
#include "support/PaintedText.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPdfWriter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "support/LoneGraph.h"

#include <qcustomplot.h>

namespace {

// A two-channel graph window over a session and a store of its own.
struct LoneWindow {
    explicit LoneWindow(const ReadingSource &source)
        : session(store, nullptr, source), g((session.setChannelCount(2), session), host, 2) {}
    QTemporaryDir dir;
    RecordStore store;
    bool opened = store.open(dir.path()).ok();
    LoneGraphHost host;
    RecordingSession session;
    frmGraphicRecord g;
};

// A supply of a known type, for a printout's title.
class TypedSupply : public NoSupply
{
public:
    QString machineType() const override { return QStringLiteral("XPP-3202"); }
};

// The lines of a file written with CR LF line ends.
QStringList crlfLines(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n")) : QStringList();
}

QList<QPointF> points(const QCPGraph *g)
{
    QList<QPointF> out;
    for (auto it = g->data()->constBegin(); it != g->data()->constEnd(); ++it)
        out << QPointF(it->key, it->value);
    return out;
}

SampleRow row(int i, const QString &v, const QString &a)
{
    SampleRow r;
    r.seqNo = i;
    r.recTime = QStringLiteral("2026/03/05 10:00:%1").arg(i, 2, 10, QLatin1Char('0'));
    for (auto &c : r.channels)
        c = {v, a, QStringLiteral("0")};
    return r;
}

} // namespace

class TestGraph : public QObject
{
    Q_OBJECT
private:
    InstalledPrompter prompter;
    FakeClock clock{QDateTime(QDate(2026, 3, 5), QTime(10, 0, 0))};

    template<class T = QWidget>
    static T *in(QWidget *parent, const QString &name) { return parent->findChild<T *>(name); }
    QStringList stats(frmGraphicRecord &g)
    {
        QStringList out;
        auto *list = in<QListWidget>(&g, "lstWave");
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void init() { prompter.clear(); }

    void liveRecordingRedrawAndRecords();
    void axesCursorsAndStatistics();
    void exportAndPrint();
    void printedGraphSaysWhatItShows();
    void powerAndEnergy();
};

// A recording started from the graph window: the points drawn live are the points of a
// redraw and of a re-created window; the record is saved, loaded and deleted from the graph.
void TestGraph::liveRecordingRedrawAndRecords()
{
    ScopedClock scoped(clock);
    SimSupply sim("XPP-3202");
    auto w = makeWindow(true);
    QVERIFY(connectTo(*w, sim));
    QTRY_VERIFY_WITH_TIMEOUT(w->engine().isIdle(), 20000);
    frmGraphicRecord *g = w->waveForm1();
    w->menuItem("mnuWave")->trigger();
    QVERIFY(g && g->isVisible());

    // Start with the output off, then without a record length.
    g->cmdStart_Click();
    QCOMPARE(prompter.messageTexts(), QStringList{"Plase Turn on Device into Output(Run) Mode"});
    w->menuItem("mnuOutput")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(w->menuItem("mnuRecord")->isEnabled(), 10000);
    w->connection().QueryTimer.stop();
    QTRY_VERIFY_WITH_TIMEOUT(w->engine().isIdle(), 20000);
    prompter.clear();
    onNextDialog(QStringLiteral("dlgRecordLength"), [&](QDialog *d) {
        in<QComboBox>(d, "cmbSeconds")->setCurrentIndex(2);  // 10 s
        in<QComboBox>(d, "cmdScale")->setCurrentIndex(1);    // 2 s a point
        pressButton(d, "OKButton");
    });
    g->cmdStart_Click();
    QCOMPARE(prompter.messageTexts(), QStringList{"Plase setup the time length of record first."});
    QCOMPARE(g->slice(), 2);
    g->cmdStart_Click();
    QCOMPARE(textOf(g, "cmdStart"), QStringLiteral("Record..."));
    frmDataTable &table = *w->tableDataForm1();
    RecordingSession &session = w->session();
    auto *panel = w->OperatorForm();
    for (int t = 0; t < 11; ++t) {
        for (int c = 0; c < 3; ++c) {
            in<QLineEdit>(panel, QStringLiteral("txtVoltage_%1").arg(c))->setText(QString::number(1 + t + c * 10));
            in<QLineEdit>(panel, QStringLiteral("txtCurrent_%1").arg(c))->setText(QString::number(0.1 * t));
        }
        clock.advanceMs(1000);
        session.engine().TimerRecordData_Timer();
    }
    const int samples = session.buffer().size();
    QVERIFY(!session.engine().isRecording() && samples >= 5);
    // Unchecked "Ch1 A" hides trace 2 at once and stays hidden while points arrive.
    in<QCheckBox>(g, "cbPlot_1")->click();
    QVERIFY(!g->trace(2)->visible());
    QList<QList<QPointF>> live;
    for (int k = 1; k <= 8; ++k)
        live << points(g->trace(k));
    // One point per slice; channel 4 is absent on this layout.
    QVERIFY(live[0].size() == samples && live[0][1].x() == 2.0 && live[6].isEmpty());
    QCOMPARE(stats(*g).mid(0, 3), QStringList({QStringLiteral("Total Time:0:0:%1").arg(2 * (samples - 1)),
                                               "Time Slice: 2sec", QStringLiteral("Samples: %1").arg(samples)}));
    g->ClearGraph();
    for (int k = 1; k <= 8; ++k)
        QCOMPARE(points(g->trace(k)), live[k - 1]);
    QVERIFY(!g->trace(2)->visible() && g->trace(1)->visible() && !g->trace(7)->visible());
    QVERIFY(!in<QCheckBox>(g, "cbPlot_6")->isEnabled() && in<QCheckBox>(g, "cbPlot_5")->isEnabled());

    // Setup over a drawn graph warns first; the same scale keeps the graph. The colour chosen
    // for channel 1 draws both its traces and their legend lines at once.
    QCOMPARE(g->trace(1)->pen().color(), QColor(0, 192, 0));  // the setup's green
    prompter.clear();
    onNextDialog(QStringLiteral("dlgRecordLength"), [&](QDialog *d) {
        prompter.colors = {QColor(255, 0, 0)};
        w->recordSetup()->chooseColor(0);
        pressButton(d, "OKButton");
    });
    g->cmdPeriod_Click();
    QCOMPARE(prompter.messageTexts(), QStringList{"If you change record scale, system will reset display "});
    QCOMPARE(points(g->trace(1)), live[0]);
    for (int k : {1, 2})
        QVERIFY(g->trace(k)->pen().color() == Qt::red && in<TraceSwatch>(g, QStringLiteral("Line%1").arg(k))->pen().color() == Qt::red);

    // A cursor moved onto a point marks that sample in the table window.
    g->GraphMode_Change(frmGraphicRecord::CursorCoordinates);
    g->moveCursor(1, 4);
    QCOMPARE(session.buffer().highlightedRow(), 2);

    // Closed and opened again: drawn from the buffer.
    g->parentWidget()->close();
    QTRY_VERIFY(!w->waveForm1());
    w->menuItem("mnuWave")->trigger();
    g = w->waveForm1();
    QVERIFY(g);
    QCOMPARE(points(g->trace(3)), live[2]);

    // Save from the graph: a new record, its x-length position and scale kept. The windows
    // show they are busy while the store works, and no longer once it is done.
    in<QComboBox>(g, "cmbXLength")->setCurrentIndex(3);
    prompter.clear();
    prompter.answers = {true};
    const int busySpells = prompter.busySpells;
    g->cmdSave_Click();
    QCOMPARE(prompter.questions.last().text, QStringLiteral("Do you want to save current record?"));
    QCOMPARE(textOf(&table, "txtRecno"), QStringLiteral("1"));

    // Load: the list over the graph in its fixed-width lines; the scale and position return.
    w->setRecordScale(0);
    g->ClearGraph();
    g->cmdLoad_Click();
    auto *list1 = in<QListWidget>(g, "List1");
    QVERIFY(list1->isVisibleTo(g));
    const QString start = textOf(&table, "txtStartTime");
    QCOMPARE(list1->item(0)->text(), QStringLiteral("1     ") + start.leftJustified(22) + QLatin1Char(' ')
                                         + textOf(&table, "txtEndTime").leftJustified(25));
    g->List1_Click(0);
    QVERIFY(!list1->isVisibleTo(g) && w->recordScale() == 1 && g->slice() == 2);
    QCOMPARE(in<QComboBox>(g, "cmbXLength")->currentText(), QStringLiteral("30m"));
    QCOMPARE(points(g->trace(1)), live[0]);
    QVERIFY(prompter.busySpells == busySpells + 2 && prompter.busy == 0);

    // Delete: "No" keeps it, "Yes" removes it.
    prompter.clear();
    prompter.answers = {false, true};
    for (int i = 0; i < 2; ++i) {
        g->cmdDel_Click();
        g->List2_Click(0);
    }
    QCOMPARE(prompter.questions.first().text,
             QStringLiteral("Do you want to delete Record of [Rec No: 1 Start Time:") + start + QLatin1Char(']'));
    QVERIFY(prompter.questions.size() == 2 && !in<QListWidget>(g, "List2")->isVisibleTo(g));
    g->cmdDel_Click();
    QCOMPARE(in<QListWidget>(g, "List2")->count(), 0);
    // The samples stay in the recording, and drawn, until they are cleared.
    QCOMPARE(points(g->trace(1)), live[0]);
    QVERIFY(prompter.messages.isEmpty());
}

// On a lone window: the time-length lists and the X axis they set, the Y ranges, the channel
// boxes of a two-channel window, the cursors and a measurement either way round, and the
// statistics after a clear.
void TestGraph::axesCursorsAndStatistics()
{
    NoSupply source;
    LoneWindow lone(source);
    QVERIFY(lone.opened);
    frmGraphicRecord &g = lone.g;
    SampleBuffer &buffer = lone.session.buffer();
    LoneGraphHost &host = lone.host;
    g.resize(1000, 700);
    g.show();

    QCOMPARE(stats(g), QStringList({"Total Time:0d 0:0:0", "Time Slice: 1sec", "Samples: 0", "CH1 Max:V A",
                                    "CH1 Min:V A", "CH2 Max:V A", "CH2 Min:V A"}));
    auto *xLength = in<QComboBox>(&g, "cmbXLength");
    g.ClearGraph(30);
    QCOMPARE(xLength->itemText(0) + xLength->itemText(4), QStringLiteral("5m60m"));
    QCOMPARE(g.plot()->xAxis->range().upper, 300.0);
    g.ClearGraph(60);
    QCOMPARE(xLength->itemText(0) + xLength->itemText(4), QStringLiteral("1 Hr1Day"));
    xLength->setCurrentIndex(4);
    QCOMPARE(g.plot()->xAxis->label(), QStringLiteral("Elapsed Time [Min]"));
    QCOMPARE(g.plot()->xAxis->range().upper, 23 * 3600 + 59 * 60.0);
    // The one scale table: "1 Hour" has its own slice.
    host.scale = 9;
    g.ClearGraph();
    QCOMPARE(g.slice(), 3600);
    QCOMPARE(stats(g).at(1), QStringLiteral("Time Slice: 3600sec"));
    in<QComboBox>(&g, "cmbYCurrent")->setCurrentText(QStringLiteral("1.5A"));
    QCOMPARE(g.plot()->yAxis2->range().upper, 1.5);
    QCOMPARE(GraphScale::currentRanges().size(), 21);
    QCOMPARE(GraphScale::voltageRanges().at(22), QStringLiteral("105V"));
    QCOMPARE(GraphScale::elapsedText(3661) + QLatin1Char('|') + GraphScale::elapsedText(86400) + QLatin1Char('|')
                 + GraphScale::elapsedText(90061),
             QStringLiteral("1:1:1|1D 0:0:0|1D 1:1:1"));

    // Two channels: boxes of channels 3 and 4 disabled, four trace names for the cursors.
    QVERIFY(!in<QCheckBox>(&g, "cbPlot_4")->isEnabled() && in<QCheckBox>(&g, "cbPlot_3")->isEnabled());
    QVERIFY(!g.trace(5)->visible() && g.trace(4)->visible());
    QCOMPARE(in<QListWidget>(&g, "lstChannel")->count(), 4);

    // Ten points, one a second: the channel 1 voltage rises by 0.5 V a point.
    host.scale = 0;
    buffer.beginRebuild();
    for (int i = 0; i < 10; ++i)
        buffer.add(row(i, QString::number(1 + 0.5 * i), QStringLiteral("0.2")));
    buffer.endRebuild();
    QCOMPARE(stats(g).mid(2), QStringList({"Samples: 10", "CH1 Max:5.5V 0.2A", "CH1 Min:1V 0.2A",
                                           "CH2 Max:5.5V 0.2A", "CH2 Min:1V 0.2A"}));
    QCOMPARE(stats(g).first(), QStringLiteral("Total Time:0:0:9"));

    // Coordinates: the first checked trace's cursor, in the middle of the axis.
    in<QCheckBox>(&g, "cbPlot_0")->click();
    g.GraphMode_Change(frmGraphicRecord::CursorCoordinates);
    QVERIFY(in<QWidget>(&g, "FrameCursor")->isVisible());
    QCOMPARE(in<QListWidget>(&g, "lstChannel")->currentRow(), 1);
    QVERIFY(g.cursor(2)->visible() && !g.cursor(1)->visible());
    QCOMPARE(textOf(&g, "XPosition"), QStringLiteral("00:00:09"));  // on the trace's last point
    g.lstChannel_Click(0);
    QVERIFY(in<QCheckBox>(&g, "cbPlot_0")->isChecked() && g.trace(1)->visible() && !g.cursor(2)->visible());
    g.moveCursor(1, 3);
    QCOMPARE(textOf(&g, "XPosition") + QLatin1Char('|') + textOf(&g, "YPosition"),
             QStringLiteral("00:00:03|2.5"));
    QVERIFY(textOf(&g, "PeriodVal").isEmpty());

    // Measurement: the same period and amplitude with the cursors either way round; the
    // second cursor reads the selected trace.
    g.GraphMode_Change(frmGraphicRecord::CursorMeasurements);
    QVERIFY(g.cursor(frmGraphicRecord::MeasureCursor)->visible());
    QStringList measured;
    for (auto [a, b] : {std::pair{2.0, 8.0}, std::pair{8.0, 2.0}}) {
        g.moveCursor(1, a);
        g.moveCursor(frmGraphicRecord::MeasureCursor, b);
        measured << textOf(&g, "PeriodVal") + QLatin1Char('|') + textOf(&g, "AmplitudeVal")
                + QLatin1Char('|') + textOf(&g, "YPosition");
    }
    QCOMPARE(measured, QStringList({"00:00:06|3|5", "00:00:06|3|2"}));
    // Zoom and pan leave the cursors; a double click brings back the chosen view.
    g.GraphMode_Change(frmGraphicRecord::Pan);
    QVERIFY(!in<QWidget>(&g, "FrameCursor")->isVisible() && !g.cursor(1)->visible());
    g.plot()->xAxis->setRange(100, 200);
    QTest::mouseDClick(g.plot(), Qt::LeftButton, {}, g.plot()->rect().center());
    QCOMPARE(g.plot()->xAxis->range().upper, 300.0);

    // A clear starts the axes over and draws the whole recording again.
    g.ClearGraph(2);
    QCOMPARE(stats(g).mid(0, 4), QStringList({"Total Time:0:0:18", "Time Slice: 2sec", "Samples: 10",
                                             "CH1 Max:5.5V 0.2A"}));
    QCOMPARE(g.trace(1)->dataCount(), 10);
}

// CSV of one-, two- and four-channel windows read back as RFC 4180, readings with a decimal
// comma in their columns; the graph printed to PDF.
void TestGraph::exportAndPrint()
{
    QTemporaryDir dir;
    RecordStore store;
    QVERIFY(store.open(dir.path()).ok());
    LoneGraphHost host;
    NoSupply source;
    // Readings stored with decimal commas, exported under a decimal-comma locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (int channels : {1, 2, 4}) {
        RecordingSession session(store, nullptr, source);
        session.setChannelCount(channels);
        SampleBuffer &buffer = session.buffer();
        frmGraphicRecord g(session, host, channels);
        prompter.clear();
        g.cmdExport_Click();
        QCOMPARE(prompter.messageTexts(), QStringList{"Please Record or Load existing data first!"});
        buffer.beginRebuild();
        for (int i = 0; i < 3; ++i)
            buffer.add(row(i, QStringLiteral("12,5"), QStringLiteral("1\"5")));
        buffer.endRebuild();
        const QString path = dir.filePath(QStringLiteral("out%1.csv").arg(channels));
        prompter.fileNames = {path};
        g.cmdExport_Click();
        const QStringList lines = crlfLines(path);
        // The header, three rows, nothing after the last CR LF.
        QVERIFY2(lines.size() == 5 && lines.last().isEmpty(), qPrintable(lines.join('|')));
        // RFC 4180: a field with a comma or a quote is quoted, its quotes doubled.
        const int pairs = channels == 2 ? 2 : 4;
        QCOMPARE(lines[0], "No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A" + QString(pairs == 2 ? "" : ",Ch3 V,Ch3 A,Ch4 V,Ch4 A"));
        QCOMPARE(lines[2], "1,2026/03/05 10:00:01" + QStringLiteral(",\"12,5\",\"1\"\"5\"").repeated(pairs));
        QCOMPARE(g.trace(1)->data()->at(0)->value, 12.5);
    }

    QLocale::setDefault(QLocale::c());
    RecordingSession session(store, nullptr, source);
    session.setChannelCount(4);
    frmGraphicRecord g(session, host, 4);
    session.buffer().append(row(0, QStringLiteral("5"), QStringLiteral("1")));
    const QColor before = g.trace(1)->pen().color();
    const QString pdf = dir.filePath(QStringLiteral("graph.pdf"));
    {
        QPdfWriter writer(pdf);
        QVERIFY(g.printTo(writer));
    }
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.read(4) == "%PDF" && f.size() > 2000);
    QCOMPARE(g.trace(1)->pen().color(), before);  // the screen colours come back
    // A device that cannot be painted on is a failure, not silence.
    QPdfWriter broken(dir.filePath(QStringLiteral("missing/graph.pdf")));
    QVERIFY(!g.printTo(broken));
}

// The printed graph of a two-channel record, on a landscape page at a printer's 1200 dpi:
// the title with the supply type, record and times; the axis titles with their units; every
// tick label whole on the page; a legend of the shown traces in their colours and styles;
// the cursor readouts only while a cursor mode is on. On screen: the axis titles, the legend
// lines dashed for currents, the default colours with yellow darkened, and the caption.
void TestGraph::printedGraphSaysWhatItShows()
{
    TypedSupply source;
    LoneWindow lone(source);
    QVERIFY(lone.opened);
    frmGraphicRecord &g = lone.g;
    RecordingSession &session = lone.session;
    QCOMPARE(g.plot()->yAxis->label() + QLatin1Char('|') + g.plot()->yAxis2->label(),
             QStringLiteral("Voltage [V]|Current [A]"));
    QVERIFY(in<TraceSwatch>(&g, "Line1")->pen().style() == Qt::SolidLine
            && in<TraceSwatch>(&g, "Line2")->pen().style() == Qt::DashLine);
    QCOMPARE(g.trace(3)->pen().color(), QColor(0, 0, 192));
    // Yellow (channel 4's default) is drawn darker, stored or not.
    for (const QString &stored : {QString(), QStringLiteral("65535")}) {
        g.ChangeCursorColor(QString(), QString(), QString(), stored);
        const QColor yellow = in<TraceSwatch>(&g, "Line7")->pen().color();
        QVERIFY(yellow.red() == yellow.green() && yellow.blue() == 0 && yellow.red() < 160);
    }

    session.buffer().beginRebuild();
    for (int i = 0; i < 40; ++i)
        session.buffer().add(row(i, QString::number(12.5 - 0.1 * i), QStringLiteral("0.75")));
    session.buffer().endRebuild();
    QCOMPARE(g.windowTitle(), QStringLiteral("Graphic Record - Record not saved"));
    session.setRecordNumber(QStringLiteral("12"));
    session.setDescription(QStringLiteral("Battery test"));
    in<QComboBox>(&g, "cmbYVoltage")->setCurrentText(QStringLiteral("15V"));

    // A landscape page of 10 x 7.5 inches at 1200 dpi.
    const auto print = [&g] {
        auto page = std::make_unique<PaintedText>(QSize(12000, 9000), 1200);
        QCPPainter painter(page.get());
        painter.scale(1200 / GraphPrintout::UnitsPerInch, 1200 / GraphPrintout::UnitsPerInch);
        g.printout().paint(painter, QSizeF(10, 7.5) * GraphPrintout::UnitsPerInch);
        painter.end();
        return page;
    };
    std::unique_ptr<PaintedText> page = print();
    const QStringList texts = page->strings();
    QVERIFY2(texts.contains(QStringLiteral("XPP-3202   Record 12: Battery test")), qPrintable(texts.join('|')));
    for (const char *title : {"Voltage [V]", "Current [A]", "Elapsed Time [Sec]"})
        QVERIFY2(texts.contains(QLatin1String(title)), title);
    for (const char *name : {"CH1 Voltage", "CH1 Current", "CH2 Voltage", "CH2 Current"})
        QVERIFY2(texts.contains(QLatin1String(name)), name);
    QVERIFY(!texts.contains(QStringLiteral("CH3 Voltage")));
    // The tick labels of the page's layout are painted whole, inside the page.
    QStringList ticks = g.plot()->yAxis->tickVectorLabels();
    QVERIFY(ticks.contains(QStringLiteral("12.5")));
    QVERIFY(g.plot()->xAxis->tickVectorLabels().size() >= 5);
    ticks += g.plot()->xAxis->tickVectorLabels();
    for (const QString &tick : ticks)
        QVERIFY2(texts.contains(tick), qPrintable(tick));
    for (const PaintedText::Text &t : page->texts)
        QVERIFY2(page->page().contains(t.rect), qPrintable(t.text));
    // The voltage title left of its tick labels, none of them over another.
    const QRectF voltage = page->find(QStringLiteral("Voltage [V]")).first().rect;
    QVERIFY(voltage.right() < page->find(QStringLiteral("12.5")).first().rect.left());
    QVERIFY(page->find(QStringLiteral("Position:")).isEmpty());

    g.GraphMode_Change(frmGraphicRecord::CursorMeasurements);
    g.moveCursor(1, 10);
    g.moveCursor(frmGraphicRecord::MeasureCursor, 30);
    page = print();
    const QList<PaintedText::Text> readout = page->find(QStringLiteral("X Position:"));
    QCOMPARE(readout.size(), 1);
    QVERIFY2(readout.first().text.contains(QStringLiteral("Period: 00:00:20")), qPrintable(readout.first().text));
    QVERIFY(page->page().contains(readout.first().rect));
}

// Power and energy on a known hour (channel 1 at 12 V and 2 A, channel 2 at 5 V and 0.5 A):
// hidden at first; "Ch1 W" draws V × I on the axis "Power [W]" and adds the channel's power
// and energy to the statistics; the measurement cursors tell the energy between them, of
// the selected trace's channel; the export adds the columns only when its box is ticked.
void TestGraph::powerAndEnergy()
{
    NoSupply source;
    LoneWindow lone(source);
    QVERIFY(lone.opened);
    frmGraphicRecord &g = lone.g;
    SampleBuffer &buffer = lone.session.buffer();
    g.resize(1000, 700);
    g.show();
    const auto sampleAt = [](int t) {
        SampleRow r = row(t, QStringLiteral("12"), QStringLiteral("2"));
        r.timeTick = t;
        r.channels[1] = {QStringLiteral("5"), QStringLiteral("0.5"), QStringLiteral("0")};
        return r;
    };
    buffer.beginRebuild();
    for (int t = 0; t <= 3600; ++t)
        buffer.add(sampleAt(t));
    buffer.endRebuild();

    GraphPower *power = g.power();
    const QStringList before = stats(g);
    QVERIFY(before.size() == 7 && !power->trace(0)->visible() && !power->axis()->visible());
    QVERIFY(in<QCheckBox>(&g, "cbPower_1")->isEnabled() && !in<QCheckBox>(&g, "cbPower_2")->isEnabled());
    in<QCheckBox>(&g, "cbPower_0")->click();
    QVERIFY(power->trace(0)->visible() && power->axis()->visible() && !power->trace(1)->visible());
    QCOMPARE(power->axis()->label(), QStringLiteral("Power [W]"));
    QVERIFY(power->trace(0)->dataCount() == 3601 && power->trace(0)->data()->at(10)->value == 24.0);
    QVERIFY(power->trace(0)->pen().color() == g.trace(1)->pen().color() && power->axis()->range().upper >= 24);
    QCOMPARE(stats(g), before + QStringList({"CH1 Pmax:24W Pmin:24W", "CH1 Energy:24Wh 2Ah"}));
    in<QCheckBox>(&g, "cbPower_1")->click();
    QCOMPARE(stats(g).mid(before.size() + 2), QStringList({"CH2 Pmax:2.5W Pmin:2.5W", "CH2 Energy:2.5Wh 0.5Ah"}));
    // Followed live: a new sample reaches the power trace and the energy.
    buffer.append(sampleAt(3601));
    g.plot()->replot();
    QCOMPARE(power->trace(0)->dataCount(), 3602);
    QCOMPARE(stats(g).at(before.size() + 1), QStringLiteral("CH1 Energy:24.007Wh 2.0006Ah"));
    in<QCheckBox>(&g, "cbPower_1")->click();
    QVERIFY(!power->trace(1)->visible() && stats(g).size() == before.size() + 2);

    // Between the measurement cursors: 10 minutes to 40 minutes of the selected channel.
    g.GraphMode_Change(frmGraphicRecord::CursorMeasurements);
    g.moveCursor(1, 600);
    g.moveCursor(frmGraphicRecord::MeasureCursor, 2400);
    QCOMPARE(textOf(&g, "EnergyVal"), QStringLiteral("12Wh 1Ah"));
    g.lstChannel_Click(3);  // "CH2 Cur"
    g.moveCursor(4, 3600);
    g.moveCursor(frmGraphicRecord::MeasureCursor, 0);
    QCOMPARE(textOf(&g, "EnergyVal"), QStringLiteral("2.5Wh 0.5Ah"));
    g.GraphMode_Change(frmGraphicRecord::CursorCoordinates);
    g.moveCursor(1, 60);
    QVERIFY(textOf(&g, "EnergyVal").isEmpty());

    // Export: the box unticked keeps the usual columns; ticked adds three per channel.
    const QString plain = lone.dir.filePath(QStringLiteral("plain.csv"));
    const QString withEnergy = lone.dir.filePath(QStringLiteral("energy.csv"));
    prompter.fileNames = {plain, withEnergy};
    prompter.fileOptions = {false, true};
    prompter.optionTexts.clear();
    g.cmdExport_Click();
    g.cmdExport_Click();
    QCOMPARE(prompter.optionTexts, QStringList(2, QStringLiteral("Add power, energy and charge columns (W, Wh, Ah)")));
    const QStringList plainLines = crlfLines(plain), energyLines = crlfLines(withEnergy);
    QVERIFY(plainLines.size() > 3601 && energyLines.size() > 3601);
    QCOMPARE(plainLines.first(), QStringLiteral("No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A"));
    QCOMPARE(plainLines.at(3601), QStringLiteral("3600,2026/03/05 10:00:3600,12,2,5,0.5"));
    QCOMPARE(energyLines.first(), plainLines.first() + QStringLiteral(",Ch1 W,Ch1 Wh,Ch1 Ah,Ch2 W,Ch2 Wh,Ch2 Ah"));
    QCOMPARE(energyLines.at(3601), plainLines.at(3601) + QStringLiteral(",24,24,2,2.5,2.5,0.5"));
}

QTEST_MAIN(TestGraph)
#include "tst_graph.moc"
