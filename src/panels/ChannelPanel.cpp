#include "panels/ChannelPanel.h"

#include "common/NumberFormat.h"
#include "common/Prompter.h"
#include "link/GpibBoard.h"
#include "link/SerialIo.h"
#include "link/Answers.h"
#include "link/CommTasker.h"
#include "panels/NumEdit.h"
#include "panels/PanelHost.h"
#include "panels/TextBox.h"
#include "resources/Strings.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Task kinds of the engine as the panels use them.
constexpr int RspText = 5;   // answer expected, delivered as text
constexpr int RspNone = 0;   // command, no answer

// The most seconds the engine's 16-bit polling-cycle budget holds.
constexpr int MaxReadTimesSeconds = 32;

QString indexed(const char *name, int i)
{
    return QLatin1String(name) + QLatin1Char('_') + QString::number(i);
}

// A query answer without surrounding blanks and line ends.
// A coupling option that does not select itself when clicked: the main window's mode action
// selects the option of the mode it applied.
class ModeOption : public QRadioButton
{
public:
    using QRadioButton::QRadioButton;

protected:
    void nextCheckState() override {}
};

} // namespace

ChannelPanel::ChannelPanel(PanelHost &host, int channels, QWidget *parent)
    : FrontPanel(host, parent), m_ch(channels)
{
    m_txtStatus = makeTextBox(QStringLiteral("txtStatus"), true);
    m_txtError = makeTextBox(QStringLiteral("txtError"), true);
    connect(m_txtStatus, &TextBox::delivered, this, &ChannelPanel::onStatusChanged);
    connect(m_txtError, &TextBox::delivered, this, &ChannelPanel::onErrorChanged);
}

ChannelPanel::~ChannelPanel() = default;

// ---------------------------------------------------------------- builders

TextBox *ChannelPanel::makeTextBox(const QString &name, bool hidden)
{
    auto *t = new TextBox(this);
    t->setObjectName(name);
    if (hidden) {
        t->setVisible(false);
    } else {
        t->setReadOnly(true);
        t->setFocusPolicy(Qt::NoFocus);
    }
    return t;
}

TextBox *ChannelPanel::makeDisplay(const QString &name)
{
    TextBox *t = makeTextBox(name, false);
    t->setProperty("display", true);
    t->setText(QStringLiteral("0"));
    t->setAlignment(Qt::AlignCenter);
    t->setMaximumWidth(60);
    return t;
}

QPushButton *ChannelPanel::makeButton(const QString &name, const QString &caption, bool toggle)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setCheckable(toggle);
    registerControl(b);
    return b;
}

NumEdit *ChannelPanel::makeEditor(const QString &name, Quantity q, int i)
{
    auto *e = new NumEdit(this);
    e->setObjectName(name);
    e->setMinimumWidth(90);
    registerControl(e);
    connect(e, &NumEdit::valueChanged, this,
            [this, q, i](double value, double previous) { onEditorChanged(q, i, value, previous); });
    connect(e, &NumEdit::aboveMaximum, this, [this, q, i] { reportAboveMaximum(q, i); });
    return e;
}

QGroupBox *ChannelPanel::buildChannelFrame(int i, const QString &caption, bool protection)
{
    Channel &c = m_ch[i];
    c.Frame1 = new QGroupBox(caption, this);
    c.Frame1->setObjectName(indexed("Frame1", i));

    c.txtVoltage = makeTextBox(indexed("txtVoltage", i), false);
    c.txtCurrent = makeTextBox(indexed("txtCurrent", i), false);
    for (TextBox *t : {c.txtVoltage, c.txtCurrent}) {
        t->setProperty("readout", true);
        t->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t->setText(QStringLiteral("0.00"));
        // A line edit asks for room for 17 characters of its (large) font; a reading needs
        // about six, so the frames stay compact.
        t->setMinimumWidth(150);
        t->setMaximumWidth(190);
    }
    connect(c.txtVoltage, &QLineEdit::textChanged, this, [this, i] { onReadoutChanged(i, true); });
    connect(c.txtCurrent, &QLineEdit::textChanged, this, [this, i] { onReadoutChanged(i, false); });

    c.numVoltage = makeEditor(indexed("numVoltage", i), Quantity::Voltage, i);
    c.numCurrent = makeEditor(indexed("numCurrent", i), Quantity::Current, i);
    c.txtSetVolt = makeTextBox(indexed("txtSetVolt", i), true);
    c.txtSetCurr = makeTextBox(indexed("txtSetCurr", i), true);
    c.txtOVP = makeTextBox(indexed("txtOVP", i), true);
    c.txtOCP = makeTextBox(indexed("txtOCP", i), true);
    // Every read-back refreshes its editor, also one equal to the previous answer: the
    // editor may show a typed value the supply has since replaced.
    connect(c.txtSetVolt, &TextBox::delivered, this,
            [this, i] { onSetPointReadBack(i, Quantity::Voltage); });
    connect(c.txtSetCurr, &TextBox::delivered, this,
            [this, i] { onSetPointReadBack(i, Quantity::Current); });

    auto *grid = new QGridLayout(c.Frame1);
    auto unit = [this](const QString &text) {
        auto *l = new QLabel(text, this);
        l->setProperty("unit", true);
        return l;
    };
    grid->addWidget(c.txtVoltage, 0, 0, 1, 2);
    grid->addWidget(unit(QStringLiteral("V")), 0, 2);
    grid->addWidget(c.txtCurrent, 1, 0, 1, 2);
    grid->addWidget(unit(QStringLiteral("A")), 1, 2);

    auto *settings = new QGridLayout;
    settings->addWidget(new QLabel(QStringLiteral("Voltage"), this), 0, 0);
    settings->addWidget(c.numVoltage, 0, 1);
    settings->addWidget(new QLabel(QStringLiteral("V"), this), 0, 2);
    settings->addWidget(new QLabel(QStringLiteral("Current"), this), 1, 0);
    settings->addWidget(c.numCurrent, 1, 1);
    settings->addWidget(new QLabel(QStringLiteral("A"), this), 1, 2);
    if (protection) {
        c.numOVP = makeEditor(indexed("numOVP", i), Quantity::Ovp, i);
        c.tbnOCP = makeButton(indexed("tbnOCP", i), QStringLiteral("OCP"), true);
        connect(c.txtOVP, &TextBox::delivered, this,
                [this, i] { onSetPointReadBack(i, Quantity::Ovp); });
        connect(c.txtOCP, &TextBox::delivered, this, [this, i] { onOcpReadBack(i); });
        connect(c.tbnOCP, &QPushButton::clicked, this, [this, i] { onOcpClicked(i); });
        settings->addWidget(new QLabel(QStringLiteral("OVP"), this), 2, 0);
        settings->addWidget(c.numOVP, 2, 1);
        settings->addWidget(new QLabel(QStringLiteral("V"), this), 2, 2);
        settings->addWidget(c.tbnOCP, 3, 1);
    }
    grid->addLayout(settings, 2, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    return c.Frame1;
}

QGroupBox *ChannelPanel::buildModeFrame(const QString &caption, const QString &indep,
                                        const QString &paral, const QString &track)
{
    auto *frame = new QGroupBox(caption, this);
    frame->setObjectName(QStringLiteral("FrameOutMode"));
    auto *box = new QVBoxLayout(frame);
    m_optIndep = new ModeOption(indep, this);
    m_optParal = new ModeOption(paral, this);
    m_optTrack = new ModeOption(track, this);
    m_optIndep->setObjectName(QStringLiteral("optIndep"));
    m_optParal->setObjectName(QStringLiteral("optParal"));
    m_optTrack->setObjectName(QStringLiteral("optTrack"));
    m_optIndep->setChecked(true);
    const std::pair<QRadioButton *, Commands::Coupling> options[] = {
        {m_optIndep, Commands::CouplingIndependent},
        {m_optParal, Commands::CouplingParallel},
        {m_optTrack, Commands::CouplingTrack}};
    for (const auto &[opt, mode] : options) {
        registerControl(opt);
        box->addWidget(opt);
        connect(opt, &QRadioButton::clicked, this, [this, m = mode] { runModeAction(m); });
    }
    return frame;
}

QPushButton *ChannelPanel::buildOutputButton()
{
    m_tbnOutput = makeButton(QStringLiteral("tbnOutput"), QStringLiteral("Output"), true);
    // Only the user's click acts; the main window and the status word set the toggle to
    // show the supply's state.
    connect(m_tbnOutput, &QPushButton::clicked, this, [this](bool on) {
        host().DoOutput(on);
        IsOutput = on;
        if (clearsReadoutsOnOutputToggle())
            SetOutputOffDisplay();
    });
    connect(m_tbnOutput, &QPushButton::toggled, this, [this](bool on) { IsOutput = on; });
    return m_tbnOutput;
}

QPushButton *ChannelPanel::buildAutoRunButton()
{
    m_tbnAutoRun = makeButton(QStringLiteral("tbnAutoRun"), QStringLiteral("Auto Run"), true);
    connect(m_tbnAutoRun, &QPushButton::clicked, this, [this](bool on) {
        host().DoAutoRun(on);
        IsOutput = on;
    });
    return m_tbnAutoRun;
}

QPushButton *ChannelPanel::buildClearErrorButton()
{
    m_btnClearErrorOfProtection = makeButton(QStringLiteral("btnClearErrorOfProtection"),
                                             QStringLiteral("Clear Error"), false);
    connect(m_btnClearErrorOfProtection, &QPushButton::clicked, this,
            [this] { queueCommand(Commands::clearProtection()); });
    return m_btnClearErrorOfProtection;
}

QGroupBox *ChannelPanel::buildAutoModeFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Auto Mode"), this);
    frame->setObjectName(QStringLiteral("FrameAutoMode"));
    m_txtStartMemory = makeDisplay(QStringLiteral("txtStartMemory"));
    m_txtEndMemory = makeDisplay(QStringLiteral("txtEndMemory"));
    m_txtCycle = makeDisplay(QStringLiteral("txtCycle"));
    QPushButton *change = makeButton(QStringLiteral("btnChange"), QStringLiteral("Change"), false);
    connect(change, &QPushButton::clicked, this, [this] { host().mnuAutoMode_Click(); });
    auto *grid = new QGridLayout(frame);
    grid->addWidget(new QLabel(QStringLiteral("Start Memory"), this), 0, 0);
    grid->addWidget(m_txtStartMemory, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("End Memory"), this), 1, 0);
    grid->addWidget(m_txtEndMemory, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Cycle"), this), 2, 0);
    grid->addWidget(m_txtCycle, 2, 1);
    grid->addWidget(change, 3, 0, 1, 2);
    return frame;
}

QGroupBox *ChannelPanel::buildDelayFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Delay"), this);
    frame->setObjectName(QStringLiteral("FrameDelay"));
    m_txtDelay = makeDisplay(QStringLiteral("txtDelay"));
    auto *row = new QHBoxLayout(frame);
    row->addWidget(m_txtDelay);
    row->addWidget(new QLabel(QStringLiteral("X 100 ms"), this));
    return frame;
}

QGroupBox *ChannelPanel::buildMemoryFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Memory"), this);
    frame->setObjectName(QStringLiteral("FrameMemory"));
    m_txtMemory = makeDisplay(QStringLiteral("txtMemory"));
    QPushButton *save = makeButton(QStringLiteral("btnSave"), QStringLiteral("Save"), false);
    QPushButton *recall = makeButton(QStringLiteral("btnRecall"), QStringLiteral("Recall"), false);
    connect(save, &QPushButton::clicked, this, [this] { host().mnuSaveMemory_Click(); });
    connect(recall, &QPushButton::clicked, this, [this] {
        host().mnuRecallMemory_Click();
        afterRecallClicked();
    });
    auto *grid = new QGridLayout(frame);
    grid->addWidget(m_txtMemory, 0, 0, 1, 2);
    grid->addWidget(save, 1, 0);
    grid->addWidget(recall, 1, 1);
    return frame;
}

TextBox *ChannelPanel::buildCommTypeLine()
{
    m_txtCommType = makeTextBox(QStringLiteral("txtCommType"), false);
    return m_txtCommType;
}

void ChannelPanel::buildShortDialectFace(int columns)
{
    auto *outer = new QVBoxLayout(this);
    auto *channels = new QGridLayout;
    for (int i = 0; i < channelCount(); ++i) {
        // Channels 1 and 2 take their captions from the string table.
        const QString caption =
            i < 2 ? Strings::res(281 + i) : QStringLiteral("CHANNEL %1").arg(i + 1);
        channels->addWidget(buildChannelFrame(i, caption, false), i / columns, i % columns);
    }
    outer->addLayout(channels);
    auto *controls = new QHBoxLayout;
    controls->addWidget(buildModeFrame(QStringLiteral("Out Mode"), QStringLiteral("INDEP"),
                                       QStringLiteral("PARALL"), QStringLiteral("TRACK")));
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(buildOutputButton());
    buttons->addStretch();
    controls->addLayout(buttons);
    controls->addWidget(buildMemoryFrame());
    controls->addStretch();
    outer->addLayout(controls);
    outer->addWidget(buildCommTypeLine());
}

// ---------------------------------------------------------------- set-up and queries

void ChannelPanel::SetupLayout()
{
    const QString mtype = host().MachineType();
    const std::optional<MachineTypeRow> model = host().machineTypeRow(mtype);
    for (int i = 0; i < channelCount(); ++i) {
        std::optional<MachineTypeRow> row = model;
        if (model && model->perChannel && usesPerChannelRows()) {
            if (auto own = host().machineTypeRow(mtype + QLatin1Char('#') + QString::number(i + 1)))
                row = own;
        }
        Channel &c = m_ch[i];
        if (row) {
            const struct {
                NumEdit *e;
                double max, step;
                QString format;
            } limits[] = {{c.numVoltage, row->vMax, row->vStep, row->vFormat},
                          {c.numCurrent, row->iMax, row->iStep, row->iFormat},
                          {c.numOVP, row->ovpMax, row->ovpStep, row->ovpFormat}};
            for (const auto &l : limits) {
                if (!l.e)
                    continue;
                l.e->setRange(0, l.max);
                l.e->setIncrement(l.step);
                l.e->setFormatPattern(l.format);
                writeEditor(l.e, 0);
            }
        }
        if (writesInitialReadouts()) {
            c.txtVoltage->setText(NumberFormat::format(
                0, NumEdit::displayPattern(c.numVoltage->formatPattern()), locale()));
            c.txtCurrent->setText(NumberFormat::format(
                0, NumEdit::displayPattern(c.numCurrent->formatPattern()), locale()));
        }
    }
    adjustLimits();

    if (m_txtCommType) {
        const QString comm = host().CommType();
        if (comm == QLatin1String("Menu"))
            m_txtCommType->setText(QStringLiteral("Testing mode"));
        else if (comm == QLatin1String("RS232"))
            m_txtCommType->setText(QStringLiteral("RS-232 ") + QString::number(host().baudRate())
                                   + QStringLiteral("BPS / 8bits/None/1bits"));
        else if (comm == QLatin1String("GPIB"))
            m_txtCommType->setText(QStringLiteral("Interface: GPIB;") + QStringLiteral("Address:")
                                   + QString::number(host().gpibAddress()));
        else
            m_txtCommType->clear();
    }

    host().engine().QueriesPerCycle = queriesPerCycle();
    host().engine().ReadTimesMs = 0;
}

void ChannelPanel::QueryInitialValues()
{
    queueInitialQueries();
    host().startQueryInitialDialog();
}

void ChannelPanel::AfterQueryInitialValuesBeforeShow()
{
    const int seconds = qBound(0, SettingsStore::readInt(SettingKeys::ReadTimes),
                               MaxReadTimesSeconds);
    host().engine().ReadTimesMs = seconds * 1000;
}

void ChannelPanel::DoQuery()
{
    if (m_cycle.isEmpty())
        return;
    const Step &step = m_cycle.at(QueryIndex % m_cycle.size());
    const QString *query = step.query;
    TextBox *target = step.target;
    // A dialect without a status word has an error queue: its step reads that instead, so
    // a protection trip is shown and the output follows.
    if (target == m_txtStatus && query->isEmpty()) {
        query = &Commands::CmdError;
        target = m_txtError;
    }
    // A step the ring had no room for is tried again on the next tick.
    if (queueCycleQuery(*query, target))
        QueryIndex = (QueryIndex + 1) % queryWrap();
}

bool ChannelPanel::queueCycleQuery(const QString &query, QObject *target)
{
    return queueQuery(query, target);
}

bool ChannelPanel::queueQuery(const QString &query, QObject *target)
{
    return host().engine().ExecQueryTask(query, RspText, target, QStringLiteral("Text"),
                                         CallLet, false);
}

bool ChannelPanel::queueReceiver(const QString &query, const char *method)
{
    return host().engine().ExecQueryTask(query, RspText, this, QLatin1String(method), CallMethod,
                                         false);
}

bool ChannelPanel::canWrite() const
{
    return host().MainFormState() == 3;
}

void ChannelPanel::queueCommand(const QString &command)
{
    if (!canWrite() || command.isEmpty())
        return;
    host().engine().ExecCmdTask(command, RspNone, this, QString(), CallMethod, false);
}

void ChannelPanel::queueSetPointQueries(int from, int to)
{
    for (int i = from; i < to; ++i)
        queueQuery(Commands::setVolt(i + 1), m_ch[i].txtSetVolt);
    for (int i = from; i < to; ++i)
        queueQuery(Commands::setCurr(i + 1), m_ch[i].txtSetCurr);
}

void ChannelPanel::queueMeasurements()
{
    for (int i = 0; i < channelCount(); ++i) {
        queueQuery(Commands::measVolt(i + 1), m_ch[i].txtVoltage);
        queueQuery(Commands::measCurr(i + 1), m_ch[i].txtCurrent);
    }
}

void ChannelPanel::QuerySECMemory()
{
    if (!readsMemoryDisplays() || !m_txtStartMemory)
        return;
    queueQuery(Commands::CmdAutoStart, m_txtStartMemory);
    queueQuery(Commands::CmdAutoEnd, m_txtEndMemory);
    queueQuery(Commands::CmdAutoCycle, m_txtCycle);
}

void ChannelPanel::QueryMemory()
{
    if (readsMemoryDisplays() && m_txtMemory)
        queueQuery(Commands::CmdMemory, m_txtMemory);
}

void ChannelPanel::QueryDelay()
{
    if (readsMemoryDisplays() && m_txtDelay)
        queueQuery(Commands::CmdAutoDelay, m_txtDelay);
}

void ChannelPanel::QuerySetValues()
{
    queueSetPointQueries();
}

// ---------------------------------------------------------------- receivers

namespace {

// "1", "2", " 1" → on; "0" → off; a word answer "ON"/"OFF" is understood too.
} // namespace

void ChannelPanel::SetupOutputOnOff(const QString &answer)
{
    host().DoOutput(Answers::isOn(answer));
}

void ChannelPanel::SetupAutoRun(const QString &answer)
{
    host().DoAutoRun(Answers::isOn(answer));
}

void ChannelPanel::SetupOutputMode(const QString &answer)
{
    host().SetMenuOutputModeAllUnchecked();
    runModeAction(Answers::trackingMode(answer));
}

void ChannelPanel::runModeAction(Commands::Coupling mode)
{
    switch (mode) {
    case Commands::CouplingIndependent: host().mnuIndep_Click(); break;
    case Commands::CouplingParallel: host().mnuParallel_Click(); break;
    case Commands::CouplingTrack: host().mnuTrack_Click(); break;
    }
}

// ---------------------------------------------------------------- enable sets

void ChannelPanel::SetAllEnabled()
{
    for (QWidget *w : std::as_const(m_controls))
        w->setEnabled(true);
    if (clearsReadoutsOnEnableAll())
        SetOutputOffDisplay();
}

void ChannelPanel::SetAllDisabled()
{
    for (QWidget *w : std::as_const(m_controls))
        w->setEnabled(false);
}

QList<QWidget *> ChannelPanel::parallelLocked() const
{
    if (channelCount() < 2)
        return {};
    const Channel &c = m_ch[1];
    QList<QWidget *> out{c.numVoltage, c.numCurrent};
    if (c.numOVP)
        out << c.numOVP;
    if (c.tbnOCP)
        out << c.tbnOCP;
    return out;
}

QList<QWidget *> ChannelPanel::trackLocked() const
{
    if (channelCount() < 2)
        return {};
    const Channel &c = m_ch[1];
    QList<QWidget *> out{c.numVoltage};
    if (c.numOVP)
        out << c.numOVP;
    return out;
}

void ChannelPanel::SetParallelDisableMode()
{
    SetAllEnabled();
    for (QWidget *w : parallelLocked())
        w->setEnabled(false);
}

void ChannelPanel::SetTrackDisableMode()
{
    SetAllEnabled();
    for (QWidget *w : trackLocked())
        w->setEnabled(false);
}

void ChannelPanel::SetAutoRunDisableMode()
{
    SetAllDisabled();
    for (QWidget *w : {static_cast<QWidget *>(m_btnClearErrorOfProtection),
                       static_cast<QWidget *>(m_tbnAutoRun), static_cast<QWidget *>(m_tbnOutput)})
        if (w)
            w->setEnabled(true);
}

void ChannelPanel::SetOutputModeEnabled()
{
    if (m_optIndep && m_optIndep->isChecked())
        host().mnuIndep_Click();
    else if (m_optParal && m_optParal->isChecked())
        host().mnuParallel_Click();
    else if (m_optTrack && m_optTrack->isChecked())
        host().mnuTrack_Click();
}

void ChannelPanel::SetOutputOffDisplay()
{
    for (Channel &c : m_ch) {
        c.txtVoltage->clear();
        c.txtCurrent->clear();
    }
}

// ---------------------------------------------------------------- accessors

QAbstractButton *ChannelPanel::tbnOutput() const { return m_tbnOutput; }
QAbstractButton *ChannelPanel::tbnAutoRun() const { return m_tbnAutoRun; }
QAbstractButton *ChannelPanel::optIndep() const { return m_optIndep; }
QAbstractButton *ChannelPanel::optParal() const { return m_optParal; }
QAbstractButton *ChannelPanel::optTrack() const { return m_optTrack; }

QString ChannelPanel::voltageText(int i) const
{
    return i >= 0 && i < channelCount() ? m_ch[i].voltageReading : QString();
}

QString ChannelPanel::currentText(int i) const
{
    return i >= 0 && i < channelCount() ? m_ch[i].currentReading : QString();
}

double ChannelPanel::voltageMaximum(int i) const
{
    return i >= 0 && i < channelCount() ? m_ch[i].numVoltage->maximum() : 0;
}

double ChannelPanel::currentMaximum(int i) const
{
    return i >= 0 && i < channelCount() ? m_ch[i].numCurrent->maximum() : 0;
}

// ---------------------------------------------------------------- answers

void ChannelPanel::onReadoutChanged(int i, bool voltage)
{
    Channel &c = m_ch[i];
    // In parallel mode channel 2 follows channel 1: its readouts stay blank.
    if (i == 1 && m_optParal && m_optParal->isChecked()) {
        c.txtVoltage->clear();
        if (!voltage)
            c.txtCurrent->clear();
        return;
    }
    TextBox *t = voltage ? c.txtVoltage : c.txtCurrent;
    QString &reading = voltage ? c.voltageReading : c.currentReading;
    QString &shown = voltage ? c.voltageShown : c.currentShown;
    if (!shown.isNull() && t->text() == shown)
        return;  // the shortened form of the reading just taken
    // The editors of channel 1 show whether the local number format uses a decimal comma.
    NumEdit *probe = voltage ? m_ch[0].numVoltage : m_ch[0].numCurrent;
    const bool comma = probe->displayedText().contains(QLatin1Char(','));
    reading = Answers::readout(t->text(), voltage ? QLatin1Char('V') : QLatin1Char('A'), comma);
    const QString fitted = fitReadout(*t, reading, comma ? QLatin1Char(',') : QLatin1Char('.'));
    shown = fitted == reading ? QString() : fitted;
    if (fitted != t->text())
        t->setText(fitted);
}

// A line edit too narrow for its text shows the end of it: a reading with more digits than
// the readout holds would lose its leading ones. It is shown with fewer decimals, or in
// exponent form with the digits that fit, or as "OVER" when not even that fits or it is no
// number. The reading itself is kept whole for the recording.
QString ChannelPanel::fitReadout(const TextBox &t, const QString &reading, QChar decimalPoint)
{
    const QFontMetrics metrics = t.readoutMetrics();
    const int room = t.textRoom();
    const auto fits = [&](const QString &text) { return metrics.horizontalAdvance(text) <= room; };
    if (fits(reading))
        return reading;
    // A number past the range of a double has no shorter form.
    if (NumberFormat::startsWithNumber(reading, decimalPoint)
        && !NumberFormat::exponentForm(reading, 1, decimalPoint).isEmpty()) {
        const double value = NumberFormat::leadingNumber(reading, decimalPoint);
        for (int decimals = 3; decimals >= 0 && std::abs(value) < 1e15; --decimals) {
            QString fixed = QString::number(value, 'f', decimals);
            fixed.replace(QLatin1Char('.'), decimalPoint);
            if (fits(fixed))
                return fixed;
        }
        for (int digits = 6; digits >= 1; --digits) {
            const QString e = NumberFormat::exponentForm(reading, digits, decimalPoint);
            if (!e.isEmpty() && fits(e))
                return e;
        }
    }
    return QStringLiteral("OVER");
}

NumEdit *ChannelPanel::editor(Quantity q, int i) const
{
    switch (q) {
    case Quantity::Voltage: return m_ch[i].numVoltage;
    case Quantity::Current: return m_ch[i].numCurrent;
    case Quantity::Ovp: return m_ch[i].numOVP;
    }
    return nullptr;
}

void ChannelPanel::writeEditor(NumEdit *e, double value)
{
    // A value the supply reports is shown, never sent back.
    const bool accept = AcceptEdits;
    AcceptEdits = false;
    e->setValue(qBound(e->minimum(), value, e->maximum()));
    AcceptEdits = accept;
}

void ChannelPanel::onSetPointReadBack(int i, Quantity q)
{
    const Channel &c = m_ch[i];
    TextBox *slot = q == Quantity::Voltage ? c.txtSetVolt
        : q == Quantity::Current           ? c.txtSetCurr
                                           : c.txtOVP;
    const QString s = Answers::text(slot->text());
    if (s.isEmpty())
        return;
    // The supply answers with a decimal point and maybe a unit letter; an answer that is not
    // a number shows as 0.
    writeEditor(editor(q, i), NumberFormat::leadingNumber(s));
    if (q != Quantity::Ovp)
        AcceptEdits = true;
}

void ChannelPanel::onOcpReadBack(int i)
{
    const Channel &c = m_ch[i];
    c.tbnOCP->setChecked(Answers::text(c.txtOCP->text()) == QLatin1String("1"));
}

QString ChannelPanel::wireValue(double value) const
{
    return NumberFormat::formatForWire(value, QStringLiteral("###0.###"));
}

void ChannelPanel::onEditorChanged(Quantity q, int i, double value, double previous)
{
    NumEdit *e = editor(q, i);
    if (value < e->minimum()) {
        writeEditor(e, previous);
        return;
    }
    if (!AcceptEdits)
        return;
    const QString v = wireValue(value);
    const int n = i + 1;
    switch (q) {
    case Quantity::Voltage: queueCommand(Commands::voltageSetPoint(dialect(), n, v)); break;
    case Quantity::Current: queueCommand(Commands::currentSetPoint(dialect(), n, v)); break;
    case Quantity::Ovp: queueCommand(Commands::overVoltage(dialect(), n, v)); break;
    }
}

void ChannelPanel::onOcpClicked(int i)
{
    queueCommand(Commands::overCurrent(dialect(), i + 1, m_ch[i].tbnOCP->isChecked()));
}

void ChannelPanel::onStatusChanged()
{
    const QString s = m_txtStatus->text();
    if (s.isEmpty())
        return;
    const Answers::StatusWord word = Answers::statusWord(s);
    bool modeChanged = false;
    if (word.coupling) {
        const QRadioButton *option = *word.coupling == Commands::CouplingTrack ? m_optTrack
            : *word.coupling == Commands::CouplingParallel                     ? m_optParal
                                                                               : m_optIndep;
        if (option) {
            modeChanged = !option->isChecked();
            runModeAction(*word.coupling);
        }
    }

    // The toggle follows the supply; the main window's output action brings its menus and
    // the polling in line.
    if (m_tbnOutput && word.output && *word.output != m_tbnOutput->isChecked())
        host().DoOutput(*word.output);

    if (modeChanged)
        QuerySetValues();
}

void ChannelPanel::onErrorChanged()
{
    const QString text = m_txtError->text();
    // An empty field is a cleared slot, not an answer.
    if (!Answers::isError(text))
        return;
    host().DoOutput(false);
    // Delivered by the engine: the message is shown once this step has returned.
    Prompter::current().notify(QStringLiteral("Error detected: '") + Answers::quoted(text) + QLatin1Char('\''));
}

void ChannelPanel::reportAboveMaximum(Quantity q, int i)
{
    const NumEdit *e = editor(q, i);
    const QString what = q == Quantity::Voltage ? QStringLiteral("voltage")
        : q == Quantity::Current                ? QStringLiteral("current")
                                                : QStringLiteral("OVP level");
    const QString unit = q == Quantity::Current ? QStringLiteral("A") : QStringLiteral("V");
    host().ReportStatus(QStringLiteral("Channel %1 %2 is at most %3 %4; nothing was sent.")
                            .arg(i + 1)
                            .arg(what, NumberFormat::format(e->maximum(), QStringLiteral("###0.###"),
                                                            locale()),
                                 unit),
                        3000);
}
