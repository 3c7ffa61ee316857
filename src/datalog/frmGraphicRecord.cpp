#include "datalog/frmGraphicRecord.h"

#include "common/Prompter.h"
#include "datalog/CsvExport.h"
#include "datalog/GraphPower.h"
#include "datalog/GraphPrintout.h"
#include "datalog/GraphScales.h"
#include "datalog/RecordCaption.h"
#include "datalog/RecordList.h"
#include "datalog/RecordListItem.h"
#include "datalog/RecordSaver.h"
#include "datalog/RecordScale.h"
#include "datalog/RecordStore.h"
#include "datalog/RecordingInterfaces.h"
#include "datalog/RecordingSession.h"
#include "datalog/SampleBuffer.h"
#include "datalog/SavedRecords.h"
#include "datalog/StoreMessages.h"
#include "datalog/TraceSwatch.h"
#include "datalog/Twips.h"
#include "settings/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintPreviewDialog>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const std::array<const char *, frmGraphicRecord::Traces> Captions{"Ch1 V", "Ch1 A", "Ch2 V", "Ch2 A",
                                                                   "Ch3 V", "Ch3 A", "Ch4 V", "Ch4 A"};
const std::array<const char *, frmGraphicRecord::Traces> ChannelEntries{
    "CH1 Vol", "CH1 Cur", "CH2 Vol", "CH2 Cur", "CH3 Vol", "CH3 Cur", "CH4 Vol", "CH4 Cur"};
// The traces' names in the printed legend.
const std::array<const char *, frmGraphicRecord::Traces> TraceNames{
    "CH1 Voltage", "CH1 Current", "CH2 Voltage", "CH2 Current",
    "CH3 Voltage", "CH3 Current", "CH4 Voltage", "CH4 Current"};
const QString VoltageTitle = QStringLiteral("Voltage [V]");
const QString CurrentTitle = QStringLiteral("Current [A]");
constexpr int CursorFrameTwips = 3195;

QPushButton *button(QWidget *parent, const char *name, const char *caption)
{
    auto *b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QLabel *readout(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setMinimumWidth(70);
    return l;
}

// The time ticker of a label format of the time-length table.
QSharedPointer<QCPAxisTickerTime> timeTicker(const GraphScale::XAxis &axis)
{
    auto ticker = QSharedPointer<QCPAxisTickerTime>::create();
    const bool seconds = axis.format.endsWith(QLatin1String("ss"));
    ticker->setTimeFormat(seconds ? QStringLiteral("%h:%m:%s") : QStringLiteral("%h:%m"));
    ticker->setFieldWidth(QCPAxisTickerTime::tuHours, axis.format.startsWith(QLatin1String("hh")) ? 2 : 1);
    ticker->setFieldWidth(QCPAxisTickerTime::tuMinutes, seconds ? 1 : 2);
    ticker->setFieldWidth(QCPAxisTickerTime::tuSeconds, 2);
    ticker->setTickCount(axis.divisions);
    ticker->setTickStepStrategy(QCPAxisTicker::tssMeetTickCount);
    return ticker;
}

} // namespace

frmGraphicRecord::frmGraphicRecord(RecordingSession &session, GraphHost &host, int channels, QWidget *parent)
    : QWidget(parent), m_session(session), m_buffer(session.buffer()), m_host(host)
{
    setObjectName(QStringLiteral("frmGraphicRecord"));
    setWindowTitle(QStringLiteral("Graphic Record"));

    buildPlot();
    buildRecordLists();
    QFrame *channelFrame = buildChannelFrame();
    QFrame *strip = buildStrip();
    QGroupBox *modeFrame = buildModeFrame();
    buildCursorFrame();
    layOut(channelFrame, strip, modeFrame);
    followSession();

    m_txtChannels->setText(QString::number(channels));
    ChangeCursorColor(QString(), QString(), QString(), QString());
    showCaption();
    if (m_session.isRecording())
        ClearGraph(m_session.secondsPerPoint());
    else
        ClearGraph();
}

void frmGraphicRecord::buildPlot()
{
    m_plot = new QCustomPlot(this);
    m_plot->setObjectName(QStringLiteral("CWGraph1"));
    m_plot->setNotAntialiasedElements(QCP::aeAll);
    m_plot->setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
    m_plot->yAxis->setLabel(VoltageTitle);
    m_plot->yAxis2->setVisible(true);
    m_plot->yAxis2->setLabel(CurrentTitle);
    for (int k = 1; k <= Traces; ++k) {
        QCPGraph *g = m_plot->addGraph(m_plot->xAxis, k % 2 ? m_plot->yAxis : m_plot->yAxis2);
        g->setName(QString::fromLatin1(TraceNames[size_t(k - 1)]));
        g->setAdaptiveSampling(true);
        QPen pen;
        if (k % 2 == 0)
            pen.setStyle(Qt::DashLine);
        g->setPen(pen);
        m_traces[size_t(k - 1)] = g;
        auto *c = new QCPItemTracer(m_plot);
        c->setInterpolating(false);
        c->setStyle(QCPItemTracer::tsCrosshair);
        c->setPen(QPen(k == MeasureCursor ? Qt::darkMagenta : Qt::darkGray, 1, Qt::DashDotLine));
        c->setVisible(false);
        m_cursors[size_t(k - 1)] = c;
    }
    m_plot->axisRect()->setRangeZoomAxes({m_plot->xAxis}, {m_plot->yAxis, m_plot->yAxis2});
    m_plot->axisRect()->setRangeDragAxes({m_plot->xAxis}, {m_plot->yAxis, m_plot->yAxis2});
    connect(m_plot, &QCustomPlot::mousePress, this, &frmGraphicRecord::plotPressed);
    connect(m_plot, &QCustomPlot::mouseMove, this, &frmGraphicRecord::plotMoved);
    connect(m_plot, &QCustomPlot::mouseRelease, this, [this] { m_dragged = 0; });
    connect(m_plot, &QCustomPlot::mouseDoubleClick, this, &frmGraphicRecord::resetView);
    // Zoom, pan and resize draw the samples then in view.
    connect(m_plot, &QCustomPlot::afterLayout, this, &frmGraphicRecord::reduceTraces);
}

void frmGraphicRecord::buildRecordLists()
{
    m_list1 = new QListWidget(this);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list2 = new QListWidget(this);
    m_list2->setObjectName(QStringLiteral("List2"));
    for (QListWidget *l : {m_list1, m_list2})
        l->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    connect(m_list1, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { List1_Click(m_list1->row(item)); });
    connect(m_list2, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { List2_Click(m_list2->row(item)); });
    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_plot);
    m_stack->addWidget(m_list1);
    m_stack->addWidget(m_list2);
}

QFrame *frmGraphicRecord::buildChannelFrame()
{
    // The channel frame: a check box per trace with a legend line in its colour and style.
    auto *channelFrame = new QFrame(this);
    channelFrame->setObjectName(QStringLiteral("FrameChannel"));
    auto *channelGrid = new QGridLayout(channelFrame);
    for (int i = 0; i < Traces; ++i) {
        auto *box = new QCheckBox(QString::fromLatin1(Captions[size_t(i)]), channelFrame);
        box->setObjectName(QStringLiteral("cbPlot_%1").arg(i));
        box->setChecked(true);
        auto *line = new TraceSwatch(channelFrame);
        line->setObjectName(QStringLiteral("Line%1").arg(i + 1));
        channelGrid->addWidget(box, i, 0);
        channelGrid->addWidget(line, i, 1);
        m_boxes[size_t(i)] = box;
        m_legend[size_t(i)] = line;
        connect(box, &QCheckBox::clicked, this, [this, i](bool on) {
            m_traces[size_t(i)]->setVisible(on && traceShown(i + 1));
            m_plot->replot();
        });
    }
    channelGrid->setRowStretch(Traces, 1);
    // The power traces, switched on under the channels' boxes; they follow the buffer on
    // every frame.
    m_power = new GraphPower(m_plot, m_buffer, {m_traces[0], m_traces[2], m_traces[4], m_traces[6]}, this);
    m_power->addControls(channelGrid, Traces);
    connect(m_plot, &QCustomPlot::beforeReplot, this, [this] { m_power->sync(m_channels, m_slice); });
    connect(m_power, &GraphPower::switched, this, [this] {
        refreshStatistics();
        m_plot->replot();
    });
    m_txtChannels = new QLineEdit(channelFrame);
    m_txtChannels->setObjectName(QStringLiteral("txtChannels"));
    m_txtChannels->hide();
    connect(m_txtChannels, &QLineEdit::textChanged, this,
            [this](const QString &text) { setChannels(text.trimmed().toInt()); });
    return channelFrame;
}

QFrame *frmGraphicRecord::buildStrip()
{
    // The bottom strip: the buttons, the axis lists and the statistics.
    auto *strip = new QFrame(this);
    strip->setObjectName(QStringLiteral("SSFrame1"));
    auto *buttons = new QGridLayout;
    m_start = button(strip, "cmdStart", "Start");
    const std::array<QPushButton *, 10> all{m_start, button(strip, "cmdStop", "Stop"),
                                            button(strip, "cmdPeriod", "Setup"), button(strip, "cmdReturn", "Return"),
                                            button(strip, "cmdRefresh", "Refresh"), button(strip, "cmdExport", "Export"),
                                            button(strip, "cmdPrint", "Print"), button(strip, "cmdSave", "Save"),
                                            button(strip, "cmdLoad", "Load"), button(strip, "cmdDel", "Delete")};
    for (int i = 0; i < int(all.size()); ++i)
        buttons->addWidget(all[size_t(i)], i / 4, i % 4);
    const std::array<void (frmGraphicRecord::*)(), 10> actions{
        &frmGraphicRecord::cmdStart_Click, &frmGraphicRecord::cmdStop_Click, &frmGraphicRecord::cmdPeriod_Click,
        &frmGraphicRecord::cmdReturn_Click, &frmGraphicRecord::cmdRefresh_Click, &frmGraphicRecord::cmdExport_Click,
        &frmGraphicRecord::cmdPrint_Click, &frmGraphicRecord::cmdSave_Click, &frmGraphicRecord::cmdLoad_Click,
        &frmGraphicRecord::cmdDel_Click};
    for (size_t i = 0; i < all.size(); ++i)
        connect(all[i], &QPushButton::clicked, this, actions[i]);

    m_xLength = new QComboBox(strip);
    m_xLength->setObjectName(QStringLiteral("cmbXLength"));
    m_yVoltage = new QComboBox(strip);
    m_yVoltage->setObjectName(QStringLiteral("cmbYVoltage"));
    m_yVoltage->addItems(GraphScale::voltageRanges());
    m_yCurrent = new QComboBox(strip);
    m_yCurrent->setObjectName(QStringLiteral("cmbYCurrent"));
    m_yCurrent->addItems(GraphScale::currentRanges());
    auto *lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("Time Len"), strip), 0, 0);
    lists->addWidget(m_xLength, 0, 1);
    lists->addWidget(new QLabel(QStringLiteral("Voltage"), strip), 1, 0);
    lists->addWidget(m_yVoltage, 1, 1);
    lists->addWidget(new QLabel(QStringLiteral("Current"), strip), 2, 0);
    lists->addWidget(m_yCurrent, 2, 1);
    connect(m_xLength, &QComboBox::currentIndexChanged, this, [this](int position) {
        m_session.setXLengthPosition(std::max(0, position));
        applyXLength();
        m_plot->replot();
    });
    connect(m_yVoltage, &QComboBox::currentIndexChanged, this, [this] {
        applyYRange(true);
        m_plot->replot();
    });
    connect(m_yCurrent, &QComboBox::currentIndexChanged, this, [this] {
        applyYRange(false);
        m_plot->replot();
    });
    m_stats = new QListWidget(strip);
    m_stats->setObjectName(QStringLiteral("lstWave"));
    m_stats->setMinimumWidth(180);
    auto *stripRow = new QHBoxLayout(strip);
    stripRow->setContentsMargins(0, 0, 0, 0);
    stripRow->addLayout(buttons);
    stripRow->addLayout(lists);
    stripRow->addWidget(m_stats);
    return strip;
}

QGroupBox *frmGraphicRecord::buildModeFrame()
{
    auto *modeFrame = new QGroupBox(QStringLiteral("Graph Operations"), this);
    modeFrame->setObjectName(QStringLiteral("Frame1"));
    m_mode = new QSlider(Qt::Vertical, modeFrame);
    m_mode->setObjectName(QStringLiteral("GraphMode"));
    m_mode->setRange(0, 3);
    m_mode->setInvertedAppearance(true);
    m_mode->setTickPosition(QSlider::TicksRight);
    m_mode->setPageStep(1);
    auto *modeLabels = new QVBoxLayout;
    for (const char *label : {"Zoom", "Pan", "Cursor Coordinates", "Cursor Measurements"})
        modeLabels->addWidget(new QLabel(QString::fromLatin1(label), modeFrame));
    auto *modeRow = new QHBoxLayout(modeFrame);
    modeRow->addWidget(m_mode);
    modeRow->addLayout(modeLabels);
    connect(m_mode, &QSlider::valueChanged, this, &frmGraphicRecord::GraphMode_Change);
    return modeFrame;
}

void frmGraphicRecord::buildCursorFrame()
{
    m_cursorFrame = new QGroupBox(QStringLiteral("Cursor Information"), this);
    m_cursorFrame->setObjectName(QStringLiteral("FrameCursor"));
    m_channelList = new QListWidget(m_cursorFrame);
    m_channelList->setObjectName(QStringLiteral("lstChannel"));
    m_channelList->setMaximumWidth(90);
    connect(m_channelList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { lstChannel_Click(m_channelList->row(item)); });
    m_xPos = readout(m_cursorFrame, "XPosition");
    m_yPos = readout(m_cursorFrame, "YPosition");
    m_period = readout(m_cursorFrame, "PeriodVal");
    m_amplitude = readout(m_cursorFrame, "AmplitudeVal");
    auto *readouts = new QGridLayout;
    readouts->addWidget(new QLabel(QStringLiteral("X Position:"), m_cursorFrame), 0, 0);
    readouts->addWidget(m_xPos, 0, 1);
    readouts->addWidget(new QLabel(QStringLiteral("Y Position:"), m_cursorFrame), 1, 0);
    readouts->addWidget(m_yPos, 1, 1);
    // One below the other: the frame stays narrow enough for a 1280-pixel screen.
    readouts->addWidget(new QLabel(QStringLiteral("Period:"), m_cursorFrame), 2, 0);
    readouts->addWidget(m_period, 2, 1);
    readouts->addWidget(new QLabel(QStringLiteral("Amplitude:"), m_cursorFrame), 3, 0);
    readouts->addWidget(m_amplitude, 3, 1);
    // The energy between the cursors takes the frame's whole width, below the list.
    m_energy = readout(m_cursorFrame, "EnergyVal");
    auto *energyRow = new QHBoxLayout;
    energyRow->addWidget(new QLabel(QStringLiteral("Energy:"), m_cursorFrame));
    energyRow->addWidget(m_energy, 1);
    auto *cursorRow = new QHBoxLayout;
    cursorRow->addWidget(m_channelList);
    cursorRow->addLayout(readouts);
    auto *frameLayout = new QVBoxLayout(m_cursorFrame);
    frameLayout->addLayout(cursorRow, 1);
    frameLayout->addLayout(energyRow);
    m_cursorFrame->hide();
}

void frmGraphicRecord::layOut(QWidget *channelFrame, QWidget *strip, QWidget *modeFrame)
{
    // The controls below the plot scroll sideways in a window too narrow for them.
    auto *controls = new QWidget;
    auto *bottom = new QHBoxLayout(controls);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(strip);
    bottom->addWidget(modeFrame);
    bottom->addWidget(m_cursorFrame);
    bottom->addStretch();
    auto *scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("ControlsScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setWidget(controls);
    scroller->setFixedHeight(controls->sizeHint().height() + scroller->horizontalScrollBar()->sizeHint().height());
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_stack, 0, 0);
    layout->addWidget(channelFrame, 0, 1);
    layout->addWidget(scroller, 1, 0, 1, 2);
    layout->setRowStretch(0, 1);
    layout->setColumnStretch(0, 1);
    // The margins below the strip and right of the channel frame, in twips.
    layout->setContentsMargins(6, 6, twipsToPixels(150), twipsToPixels(400));
}

void frmGraphicRecord::followSession()
{
    // The whole recording, as it grows and whenever it is replaced.
    const SampleBuffer *buffer = &m_buffer;
    connect(buffer, &QAbstractItemModel::rowsInserted, this, &frmGraphicRecord::drawRows);
    connect(buffer, &QAbstractItemModel::modelReset, this, qOverload<>(&frmGraphicRecord::ClearGraph));
    const RecordingEngine *engine = &m_session.engine();
    connect(engine, &RecordingEngine::started, this, [this] {
        ClearGraph(m_session.secondsPerPoint());
        m_start->setText(QStringLiteral("Record..."));
    });
    connect(engine, &RecordingEngine::stopped, this, [this] { m_start->setText(QStringLiteral("Start")); });
    // The caption names what is shown.
    connect(&m_session, &RecordingSession::recordChanged, this, &frmGraphicRecord::showCaption);
    connect(engine, &RecordingEngine::started, this, &frmGraphicRecord::showCaption);
    connect(engine, &RecordingEngine::stopped, this, &frmGraphicRecord::showCaption);
    connect(buffer, &QAbstractItemModel::modelReset, this, &frmGraphicRecord::showCaption);
    if (engine->isRecording())
        m_start->setText(QStringLiteral("Record..."));
}

QCPGraph *frmGraphicRecord::trace(int k) const
{
    return k >= 1 && k <= Traces ? m_traces[size_t(k - 1)] : nullptr;
}

QCPItemTracer *frmGraphicRecord::cursor(int k) const
{
    return k >= 1 && k <= Traces ? m_cursors[size_t(k - 1)] : nullptr;
}

bool frmGraphicRecord::traceShown(int k) const
{
    return (k + 1) / 2 <= m_channels;
}

void frmGraphicRecord::setChannels(int channels)
{
    m_channels = std::clamp(channels, 1, 4);
    applyVisibility();
    m_plot->replot();
}

void frmGraphicRecord::applyVisibility()
{
    for (int k = 1; k <= Traces; ++k) {
        m_boxes[size_t(k - 1)]->setEnabled(traceShown(k));
        m_traces[size_t(k - 1)]->setVisible(traceShown(k) && m_boxes[size_t(k - 1)]->isChecked());
    }
}

// ---------------------------------------------------------------- drawing

void frmGraphicRecord::ClearGraph()
{
    ClearGraph(RecordScale::secondsPerPoint(m_host.recordScale()));
}

void frmGraphicRecord::ClearGraph(int secondsPerPoint)
{
    m_slice = std::max(1, secondsPerPoint);
    {
        const QSignalBlocker v(m_yVoltage), c(m_yCurrent), x(m_xLength);
        m_yVoltage->setCurrentIndex(0);
        m_yCurrent->setCurrentIndex(0);
        m_xLength->clear();
        m_xLength->addItems(GraphScale::xLengthEntries(m_slice));
        m_xLength->setCurrentIndex(0);
    }
    m_session.setXLengthPosition(0);
    m_plot->yAxis->setLabel(VoltageTitle);
    m_xPos->clear();
    m_yPos->clear();
    m_amplitude->clear();
    m_energy->clear();
    m_channelList->clear();
    for (int k = 1; k <= 2 * m_channels; ++k)
        m_channelList->addItem(QString::fromLatin1(ChannelEntries[size_t(k - 1)]));
    // The ranges first, so the traces are reduced and drawn once, for the view shown.
    applyYRange(true);
    applyYRange(false);
    applyXLength();
    drawAll();
}

void frmGraphicRecord::drawAll()
{
    m_reducedFor = {};
    reduceTraces();
    applyVisibility();
    refreshStatistics();
    m_plot->replot();
}

void frmGraphicRecord::drawRows()
{
    reduceTraces();
    refreshStatistics();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void frmGraphicRecord::reduceTraces()
{
    // Each shown trace gets the samples in view as the smallest and largest reading of each
    // pixel column (every sample once there are no more than columns), taken from the
    // buffer's series: a frame costs the same for a year of samples as for a minute.
    const QCPRange range = m_plot->xAxis->range();
    const int width = m_plot->axisRect()->width();
    const int columns = std::max(16, width > 0 ? width : m_plot->width());
    // One sample beyond each edge, so the lines run to the edges of the plot. The columns
    // split all the view can show, so a sample added in view changes its column only.
    const double viewEndAt = std::clamp(std::ceil(range.upper / m_slice) + 2, 0.0,
                                        double(std::numeric_limits<int>::max() / 2));
    const int viewEnd = int(viewEndAt);
    const int first = int(std::clamp(std::floor(range.lower / m_slice) - 1, 0.0, viewEndAt));
    const int end = std::min(m_buffer.size(), viewEnd);
    const std::array<int, 5> view{first, viewEnd, columns, m_channels, m_slice};
    int from = first;
    if (view == m_reducedFor) {
        if (end == m_reducedEnd)
            return;
        // Samples added in view: only the new ones when every sample is drawn, else the
        // columns from the last one drawn on.
        if (end > m_reducedEnd && m_reducedEnd > first) {
            if (end - first <= columns)
                from = m_reducedEnd;
            else if (m_reducedEnd - first > columns)
                from = MinMaxPyramid::columnStart(first, viewEnd, columns, m_reducedEnd - 1);
        }
    }
    m_reducedFor = view;
    m_reducedEnd = end;
    for (int k = 1; k <= Traces; ++k) {
        QList<QCPGraphData> points;
        if (traceShown(k)) {
            const MinMaxPyramid &series = m_buffer.series((k - 1) / 2, k % 2 == 0);
            series.reduce(first, viewEnd, columns, from, [&](int i) {
                points.append(QCPGraphData(double(i) * m_slice, series.value(i)));
            });
        }
        const QSharedPointer<QCPGraphDataContainer> data = m_traces[size_t(k - 1)]->data();
        if (from == first) {
            data->set(points, true);
        } else {
            data->removeAfter((from - 0.5) * m_slice);
            data->add(points, true);
        }
    }
}

void frmGraphicRecord::ChangeCursorColor(const QString &c1, const QString &c2, const QString &c3, const QString &c4)
{
    const std::array<QString, 4> texts{c1, c2, c3, c4};
    for (int c = 0; c < 4; ++c) {
        const QColor parsed = GraphScale::colorFromText(texts[size_t(c)]);
        const QColor stored =
            parsed.isValid() ? parsed : GraphScale::colorFromValue(GraphScale::defaultChannelColors()[size_t(c)]);
        const QColor color = GraphScale::drawingColor(stored);
        for (int k = 2 * c; k < 2 * c + 2; ++k) {
            QPen pen = m_traces[size_t(k)]->pen();
            pen.setColor(color);
            m_traces[size_t(k)]->setPen(pen);
            m_legend[size_t(k)]->setPen(pen);
        }
    }
    m_plot->replot();
}

void frmGraphicRecord::applyXLength()
{
    const GraphScale::XAxis axis = GraphScale::xAxis(m_xLength->currentText());
    m_plot->xAxis->setLabel(axis.caption);
    m_plot->xAxis->setTicker(timeTicker(axis));
    m_plot->xAxis->setRange(0, axis.seconds);
}

void frmGraphicRecord::applyYRange(bool voltage)
{
    QComboBox *list = voltage ? m_yVoltage : m_yCurrent;
    double top = SampleBuffer::readingValue(list->currentText());
    if (list->currentIndex() <= 0) {
        const ReadingSource &source = m_session.source();
        top = voltage ? source.voltageMaximum(0) : source.currentMaximum(0);
        // Without a supply's limit (a record shown with no supply): the largest reading held.
        if (top <= 0) {
            for (int c = 0; c < m_channels; ++c) {
                const ChannelExtremes e = m_buffer.extremes(c);
                top = std::max(top, SampleBuffer::readingValue(voltage ? e.maxV : e.maxA) * 1.1);
            }
        }
    }
    (voltage ? m_plot->yAxis : m_plot->yAxis2)->setRange(0, top > 0 ? top : 1);
}

void frmGraphicRecord::resetView()
{
    applyXLength();
    applyYRange(true);
    applyYRange(false);
    m_plot->replot();
}

void frmGraphicRecord::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!bLoaded) {
        bLoaded = true;
        ChangeCursorColor(SettingsStore::read(SettingKeys::Ch1Color), SettingsStore::read(SettingKeys::Ch2Color),
                          SettingsStore::read(SettingKeys::Ch3Color), SettingsStore::read(SettingKeys::Ch4Color));
    }
    refreshStatistics();
}

// ---------------------------------------------------------------- statistics

void frmGraphicRecord::refreshStatistics()
{
    m_stats->clear();
    const int samples = m_buffer.size();
    m_stats->addItem(QStringLiteral("Total Time:")
                     + (samples > 0 ? GraphScale::elapsedText(qint64(samples - 1) * m_slice)
                                    : QStringLiteral("0d 0:0:0")));
    m_stats->addItem(QStringLiteral("Time Slice: %1sec").arg(m_slice));
    // The samples of the whole recording, whatever the table window shows.
    m_stats->addItem(QStringLiteral("Samples: %1").arg(samples));
    // A stored reading may be any length; the list shows the start of it.
    const auto shown = [](const QString &reading) {
        return reading.size() > 40 ? reading.left(39) + QChar(0x2026) : reading;
    };
    for (int c = 0; c < m_channels; ++c) {
        const ChannelExtremes e = m_buffer.extremes(c);
        m_stats->addItem(QStringLiteral("CH%1 Max:%2V %3A").arg(c + 1).arg(shown(e.maxV), shown(e.maxA)));
        m_stats->addItem(QStringLiteral("CH%1 Min:%2V %3A").arg(c + 1).arg(shown(e.minV), shown(e.minA)));
    }
    m_stats->addItems(m_power->statistics(m_channels, m_slice));
}

// ---------------------------------------------------------------- modes and cursors

int frmGraphicRecord::selectedTrace() const
{
    return std::max(0, m_channelList->currentRow()) + 1;
}

void frmGraphicRecord::hideCursors()
{
    // Unbound while hidden: a hidden cursor then costs nothing when the plot is drawn.
    for (QCPItemTracer *c : m_cursors) {
        c->setVisible(false);
        c->setGraph(nullptr);
    }
}

void frmGraphicRecord::GraphMode_Change(int mode)
{
    if (m_mode->value() != mode) {
        m_mode->setValue(mode);  // comes back here through valueChanged
        return;
    }
    m_cursorFrame->hide();
    hideCursors();
    m_dragged = 0;
    m_plot->setSelectionRectMode(mode == Zoom ? QCP::srmZoom : QCP::srmNone);
    m_plot->setInteraction(QCP::iRangeDrag, mode == Pan);
    m_plot->setInteraction(QCP::iRangeZoom, mode == Zoom || mode == Pan);
    if (mode == CursorCoordinates || mode == CursorMeasurements) {
        int entry = 0;
        for (int i = 0; i < m_channelList->count(); ++i) {
            if (m_boxes[size_t(i)]->isChecked()) {
                entry = i;
                break;
            }
        }
        m_channelList->setCurrentRow(entry);
        // At least as wide as it was designed, wider when its readouts need it; the period and
        // amplitude sit below the position, so a measurement needs no wider frame.
        m_cursorFrame->setMinimumWidth(twipsToPixels(CursorFrameTwips));
        m_cursorFrame->show();
        placeCursor(entry + 1);
    }
    m_plot->replot();
}

void frmGraphicRecord::placeCursor(int k)
{
    QCPItemTracer *c = cursor(k);
    if (!c)
        return;
    c->setGraph(m_traces[size_t(k - 1)]);
    c->setVisible(true);
    const double middle = m_plot->xAxis->range().center();
    if (m_mode->value() == CursorMeasurements) {
        QCPItemTracer *second = cursor(MeasureCursor);
        second->setGraph(m_traces[size_t(k - 1)]);
        second->setVisible(true);
        second->setGraphKey(middle);
    }
    moveCursor(k, middle);
}

void frmGraphicRecord::lstChannel_Click(int entry)
{
    if (entry < 0 || entry >= m_channelList->count())
        return;
    m_channelList->setCurrentRow(entry);
    hideCursors();
    m_boxes[size_t(entry)]->setChecked(true);
    m_traces[size_t(entry)]->setVisible(true);
    placeCursor(entry + 1);
    m_plot->replot();
}

void frmGraphicRecord::moveCursor(int k, double x)
{
    QCPItemTracer *c = cursor(k);
    if (!c || !c->graph())
        return;
    c->setGraphKey(x);
    c->updatePosition();
    updateReadouts(k);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

// The sample a cursor stands on: the row nearest where it was put. The trace holds only the
// samples in view (and one minimum and maximum per pixel column), so the readouts come from
// the buffer, exact whatever is drawn.
int frmGraphicRecord::cursorRow(const QCPItemTracer &c) const
{
    return std::clamp(int(std::llround(c.graphKey() / m_slice)), 0, std::max(0, m_buffer.size() - 1));
}

// The reading at `row` of the trace cursor `k` follows (the measurement cursor follows the
// selected trace).
double frmGraphicRecord::cursorValue(int k, int row) const
{
    const auto tracked = std::find(m_traces.begin(), m_traces.end(), cursor(k)->graph());
    const int index = tracked != m_traces.end() ? int(tracked - m_traces.begin()) : k - 1;
    if (row < 0 || row >= m_buffer.size())
        return std::nan("");
    return m_buffer.series(index / 2, index % 2 == 1).value(row);
}

void frmGraphicRecord::updateReadouts(int k)
{
    QCPItemTracer *c = cursor(k);
    const int row = cursorRow(*c);
    m_xPos->setText(GraphScale::clockText(double(row) * m_slice));
    const double y = cursorValue(k, row);
    m_yPos->setText(std::isnan(y) ? QString() : QString::number(y));
    m_period->clear();
    m_amplitude->clear();
    m_energy->clear();
    m_session.selectRow(row);
    if (m_mode->value() != CursorMeasurements)
        return;
    const int trace = selectedTrace();
    QCPItemTracer *a = cursor(trace);
    QCPItemTracer *b = cursor(MeasureCursor);
    if (!a->graph() || !b->graph() || m_buffer.size() == 0)
        return;
    const int rowA = cursorRow(*a), rowB = cursorRow(*b);
    m_period->setText(GraphScale::clockText(std::abs(rowA - rowB) * double(m_slice)));
    const double amplitude = std::abs(cursorValue(trace, rowA) - cursorValue(trace, rowB));
    if (!std::isnan(amplitude))
        m_amplitude->setText(QString::number(amplitude));
    // What the selected trace's channel delivered between the two cursors' samples.
    m_energy->setText(m_power->spanText((trace - 1) / 2, rowA, rowB));
}

void frmGraphicRecord::plotPressed(QMouseEvent *event)
{
    const int mode = m_mode->value();
    if (mode != CursorCoordinates && mode != CursorMeasurements)
        return;
    // The nearer of the shown cursors follows the mouse.
    const double px = event->position().x();
    m_dragged = 0;
    double best = 0;
    for (int k : {selectedTrace(), MeasureCursor}) {
        QCPItemTracer *c = cursor(k);
        if (!c->visible())
            continue;
        const double d = std::abs(c->position->pixelPosition().x() - px);
        if (m_dragged == 0 || d < best) {
            m_dragged = k;
            best = d;
        }
    }
    plotMoved(event);
}

void frmGraphicRecord::plotMoved(QMouseEvent *event)
{
    if (m_dragged == 0 || !(event->buttons() & Qt::LeftButton))
        return;
    moveCursor(m_dragged, m_plot->xAxis->pixelToCoord(event->position().x()));
}

// ---------------------------------------------------------------- buttons

void frmGraphicRecord::cmdStart_Click()
{
    Prompter &p = Prompter::current();
    if (!m_host.recordMenuEnabled()) {
        p.message(QStringLiteral("Plase Turn on Device into Output(Run) Mode"));
        return;
    }
    if (m_session.engine().CountRecordCount() > 0) {
        m_host.mnuRecordStart_Click();
        return;
    }
    p.message(QStringLiteral("Plase setup the time length of record first."));
    cmdPeriod_Click();
}

void frmGraphicRecord::cmdStop_Click()
{
    if (m_host.recordMenuEnabled())
        m_host.mnuRecordStop_Click();
    else
        Prompter::current().message(QStringLiteral("Plase Turn on Device into Output(Run) Mode"));
}

void frmGraphicRecord::cmdPeriod_Click()
{
    if (m_buffer.size() > 0)
        Prompter::current().message(QStringLiteral("If you change record scale, system will reset display "));
    // A time-out while Record Setup is open resets the link and closes this window.
    const QPointer<frmGraphicRecord> alive(this);
    m_host.mnuRecordPeriod_Click();
    if (!alive)
        return;
    // The plot stays only when the slice it was drawn with is the new scale's.
    const int scale = m_host.recordScale();
    if (scale >= 4 || RecordScale::secondsPerPoint(scale) != m_slice)
        ClearGraph();
}

void frmGraphicRecord::cmdReturn_Click()
{
    m_host.mnuControl_Click();
}

void frmGraphicRecord::cmdRefresh_Click()
{
    resetView();
    m_cursorFrame->hide();
    hideCursors();
    m_plot->replot();
}

void frmGraphicRecord::cmdExport_Click()
{
    Prompter &p = Prompter::current();
    if (m_buffer.size() < 1) {
        p.message(QStringLiteral("Please Record or Load existing data first!"));
        return;
    }
    bool energy = false;
    const QString path = p.saveFileNameWithOption(
        QString(), QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), QStringLiteral("Datalog(*.csv)"),
        QStringLiteral("Add power, energy and charge columns (W, Wh, Ah)"), energy);
    if (path.isEmpty())
        return;
    if (!exportTo(path, energy))
        p.message(QStringLiteral("The data could not be written to %1.").arg(path));
}

bool frmGraphicRecord::exportTo(const QString &path, bool energyColumns)
{
    // Written beside and renamed at the end: a failed export leaves an older file whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const bool written = energyColumns
        ? CsvExport::write(m_buffer, m_channels, file, CsvExport::EnergyColumns{double(m_slice)})
        : CsvExport::write(m_buffer, m_channels, file);
    if (!written) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

GraphPrintout frmGraphicRecord::printout() const
{
    GraphPrintout page(*m_plot);
    const RecordInfo &record = m_session.record();
    const QString type = record.machineType.isEmpty() ? m_session.source().machineType() : record.machineType;
    page.heading << RecordCaption::title(type, shownText());
    if (const QString times = RecordCaption::times(record); !times.isEmpty())
        page.heading << times;
    // The cursors print with what they read.
    if (!m_cursorFrame->isHidden()) {
        QString line = QStringLiteral("Cursor on %1   X Position: %2   Y Position: %3")
                           .arg(m_traces[size_t(selectedTrace() - 1)]->name(), m_xPos->text(), m_yPos->text());
        if (m_mode->value() == CursorMeasurements)
            line += QStringLiteral("   Period: %1   Amplitude: %2").arg(m_period->text(), m_amplitude->text());
        page.notes << line;
    }
    return page;
}

bool frmGraphicRecord::printTo(QPagedPaintDevice &device)
{
    return printout().print(device);
}

QString frmGraphicRecord::shownText() const
{
    return RecordCaption::shown(m_session.record(), m_session.isRecording(), m_buffer.size() > 0);
}

void frmGraphicRecord::showCaption()
{
    const QString shown = shownText();
    setWindowTitle(shown.isEmpty() ? QStringLiteral("Graphic Record")
                                   : QStringLiteral("Graphic Record - ") + shown);
}

void frmGraphicRecord::cmdPrint_Click()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintPreviewDialog preview(&printer, this);
    bool failed = false;
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this, &failed](QPrinter *p) {
        if (!printTo(*p)) {
            failed = true;
            p->abort();
        }
    });
    preview.exec();
    if (failed)
        Prompter::current().message(QStringLiteral("The graph could not be printed; the print job was ended."));
}

// ---------------------------------------------------------------- records

void frmGraphicRecord::cmdSave_Click()
{
    m_session.saveRecord(RecordSaver::Texts::graphicRecord());
}

void frmGraphicRecord::fillRecordList(QListWidget *list)
{
    if (!m_session.listRecords()) {
        storeFailed(m_session.records().lastError());
        return;
    }
    list->clear();
    const SavedRecordModel &records = m_session.savedRecords();
    for (int i = 0; i < records.rowCount(); ++i)
        list->addItem(recordItem(RecordList::graphLine(records.record(i)), records.record(i).recNo));
    showList(list);
}

void frmGraphicRecord::showList(QWidget *front)
{
    m_stack->setCurrentWidget(front);
}

std::optional<RecordInfo> frmGraphicRecord::pickedRecord(QListWidget *list, int listRow)
{
    if (m_stack->currentWidget() != list || listRow < 0 || listRow >= list->count())
        return std::nullopt;
    const QString recNo = list->item(listRow)->data(Qt::UserRole).toString();
    showList(m_plot);
    SavedRecords &place = m_session.records();
    std::optional<RecordInfo> found = place.findRecord(recNo);
    if (!found && place.lastError().isSet())
        storeFailed(place.lastError());
    return found;
}

void frmGraphicRecord::cmdLoad_Click()
{
    fillRecordList(m_list1);
}

void frmGraphicRecord::List1_Click(int listRow)
{
    // The scale first: the redraw of the load draws with the record's slice.
    const std::optional<RecordInfo> found = pickedRecord(m_list1, listRow);
    if (!found)
        return;
    const QString recNo = m_list1->item(listRow)->data(Qt::UserRole).toString();
    // Asked before the record's scale is taken over.
    if (!m_session.mayDiscardUnsaved())
        return;
    m_host.setRecordScale(RecordList::position(found->recStyle));
    if (!m_session.loadRecord(recNo, true))
        return;
    const int position = RecordList::position(found->showStyle);
    if (position >= 0 && position < m_xLength->count())
        m_xLength->setCurrentIndex(position);
}

void frmGraphicRecord::cmdDel_Click()
{
    if (const std::optional<QString> why = m_session.store().writeRefusal()) {
        Prompter::current().message(*why, QString(), Prompter::Severity::Warning);
        return;
    }
    fillRecordList(m_list2);
}

void frmGraphicRecord::List2_Click(int listRow)
{
    const std::optional<RecordInfo> found = pickedRecord(m_list2, listRow);
    if (!found)
        return;
    const QString recNo = m_list2->item(listRow)->data(Qt::UserRole).toString();
    SavedRecords &place = m_session.records();
    if (!Prompter::current().question(QStringLiteral("Do you want to delete Record of [Rec No: ") + found->recNo
                                      + QStringLiteral(" Start Time:") + found->startTime + QLatin1Char(']')))
        return;
    if (!place.deleteRecord(recNo)) {
        storeFailed(place.lastError());
        return;
    }
    ClearGraph();
}

void frmGraphicRecord::storeFailed(const StoreError &error)
{
    Prompter::current().message(storeFailureText(QStringLiteral("GraphicRecord: "), error));
}
