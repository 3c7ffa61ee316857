#include "panels/ChannelPanel.h"

#include "common/NumberFormat.h"
#include "panels/NumEdit.h"
#include "panels/PanelHost.h"
#include "panels/TextBox.h"
#include "resources/Strings.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

QString indexed(const char *name, int i)
{
    return QLatin1String(name) + QLatin1Char('_') + QString::number(i);
}

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

ChannelPanel::ChannelPanel(PanelHost &host, Supply &supply, QWidget *parent)
    : FrontPanel(host, supply, parent), m_ch(supply.channelCount())
{
    connect(&supply, &Supply::readingChanged, this, &ChannelPanel::showReading);
    connect(&supply, &Supply::setPointChanged, this, &ChannelPanel::showSetPoint);
    connect(&supply, &Supply::ocpChanged, this, &ChannelPanel::showOcp);
    connect(&supply, &Supply::couplingChanged, this, &ChannelPanel::showCoupling);
    connect(&supply, &Supply::displaysChanged, this, &ChannelPanel::showDisplays);
    connect(&supply, &Supply::regulationChanged, this, &ChannelPanel::showRegulation);
    connect(&supply, &Supply::outputChanged, this, [this](bool on) {
        if (m_tbnOutput)
            m_tbnOutput->setChecked(on);
    });
    connect(&supply, &Supply::autoRunChanged, this, [this](bool on) {
        if (m_tbnAutoRun)
            m_tbnAutoRun->setChecked(on);
        applyEnableSet();
    });
}

ChannelPanel::~ChannelPanel() = default;

// ---------------------------------------------------------------- builders

TextBox *ChannelPanel::makeTextBox(const QString &name)
{
    auto *t = new TextBox(this);
    t->setObjectName(name);
    t->setReadOnly(true);
    t->setFocusPolicy(Qt::NoFocus);
    return t;
}

TextBox *ChannelPanel::makeDisplay(const QString &name)
{
    TextBox *t = makeTextBox(name);
    t->setProperty("display", true);
    // "0" until the supply tells its value where it is read; blank where no number is known yet.
    if (supply().plan().readsMemoryDisplays)
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

NumEdit *ChannelPanel::makeEditor(const QString &name, SetPoint q, int i)
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
    ChannelControls &c = m_ch[i];
    c.Frame1 = new QGroupBox(caption, this);
    c.Frame1->setObjectName(indexed("Frame1", i));

    c.txtVoltage = makeTextBox(indexed("txtVoltage", i));
    c.txtCurrent = makeTextBox(indexed("txtCurrent", i));
    for (TextBox *t : {c.txtVoltage, c.txtCurrent}) {
        t->setProperty("readout", true);
        t->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t->setText(QStringLiteral("0.00"));
        // A line edit asks for room for 17 characters of its (large) font; a reading needs
        // about six, so the frames stay compact.
        t->setMinimumWidth(150);
        t->setMaximumWidth(190);
    }

    c.numVoltage = makeEditor(indexed("numVoltage", i), SetPoint::Voltage, i);
    c.numCurrent = makeEditor(indexed("numCurrent", i), SetPoint::Current, i);

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
    c.lblRegulation = new QLabel(this);
    c.lblRegulation->setObjectName(indexed("lblRegulation", i));
    c.lblRegulation->setProperty("regulation", true);
    c.lblRegulation->setAlignment(Qt::AlignCenter);
    c.lblRegulation->setToolTip(regulationToolTip());

    auto *settings = new QGridLayout;
    settings->addWidget(new QLabel(QStringLiteral("Voltage"), this), 0, 0);
    settings->addWidget(c.numVoltage, 0, 1);
    settings->addWidget(new QLabel(QStringLiteral("V"), this), 0, 2);
    settings->addWidget(new QLabel(QStringLiteral("Current"), this), 1, 0);
    settings->addWidget(c.numCurrent, 1, 1);
    settings->addWidget(new QLabel(QStringLiteral("A"), this), 1, 2);
    // Beside the set points it is derived from, where the frame has room to spare.
    settings->addWidget(c.lblRegulation, 0, 3, 2, 1);
    settings->setColumnStretch(3, 1);
    if (protection) {
        c.numOVP = makeEditor(indexed("numOVP", i), SetPoint::Ovp, i);
        c.tbnOCP = makeButton(indexed("tbnOCP", i), QStringLiteral("OCP"), true);
        connect(c.tbnOCP, &QPushButton::clicked, this,
                [this, i](bool on) { supply().setOcp(i, on); });
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
        connect(opt, &QRadioButton::clicked, this, [this, m = mode] { couplingClicked(m); });
    }
    return frame;
}

QPushButton *ChannelPanel::buildOutputButton()
{
    m_tbnOutput = makeButton(QStringLiteral("tbnOutput"), QStringLiteral("Output"), true);
    // Only the user's click acts; the toggle otherwise shows the supply's output.
    connect(m_tbnOutput, &QPushButton::clicked, this, [this](bool on) {
        supply().setOutput(on);
        if (supply().plan().clearsReadingsOnOutputSwitch)
            supply().clearReadings();
    });
    return m_tbnOutput;
}

QPushButton *ChannelPanel::buildAutoRunButton()
{
    m_tbnAutoRun = makeButton(QStringLiteral("tbnAutoRun"), QStringLiteral("Auto Run"), true);
    connect(m_tbnAutoRun, &QPushButton::clicked, this,
            [this](bool on) { supply().setAutoRun(on, true); });
    return m_tbnAutoRun;
}

QPushButton *ChannelPanel::buildClearErrorButton()
{
    m_btnClearErrorOfProtection = makeButton(QStringLiteral("btnClearErrorOfProtection"),
                                             QStringLiteral("Clear Error"), false);
    connect(m_btnClearErrorOfProtection, &QPushButton::clicked, this,
            [this] { supply().clearProtection(); });
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
    // The recall itself switches the output off once its number is confirmed.
    connect(recall, &QPushButton::clicked, this, [this] { host().mnuRecallMemory_Click(); });
    auto *grid = new QGridLayout(frame);
    grid->addWidget(m_txtMemory, 0, 0, 1, 2);
    grid->addWidget(save, 1, 0);
    grid->addWidget(recall, 1, 1);
    return frame;
}

TextBox *ChannelPanel::buildCommTypeLine()
{
    m_txtCommType = makeTextBox(QStringLiteral("txtCommType"));
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

// ---------------------------------------------------------------- set-up

void ChannelPanel::SetupLayout()
{
    const Supply &s = supply();
    for (int i = 0; i < channelCount(); ++i) {
        const Supply::Channel &c = s.channel(i);
        const struct {
            NumEdit *e;
            const Supply::Limits &limits;
        } editors[] = {{m_ch[i].numVoltage, c.voltageLimits},
                       {m_ch[i].numCurrent, c.currentLimits},
                       {m_ch[i].numOVP, c.ovpLimits}};
        for (const auto &[e, limits] : editors) {
            if (!e || limits.maximum <= 0)
                continue;
            e->setRange(0, limits.maximum);
            e->setIncrement(limits.step);
            e->setFormatPattern(limits.pattern);
            writeEditor(e, 0);
        }
        if (s.plan().initialReadings)
            showReading(i);
    }

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
    showDisplays();
}

// ---------------------------------------------------------------- the user's actions

void ChannelPanel::couplingClicked(Commands::Coupling mode)
{
    supply().selectCoupling(mode);
}

void ChannelPanel::onEditorChanged(SetPoint which, int i, double value, double previous)
{
    NumEdit *e = editor(which, i);
    if (value < e->minimum()) {
        writeEditor(e, previous);
        return;
    }
    // A value the supply reported is shown, never sent back.
    if (!m_showing)
        supply().setSetPoint(i, which, value);
}

void ChannelPanel::reportAboveMaximum(SetPoint which, int i)
{
    const QString maximum = NumberFormat::format(editor(which, i)->maximum(), QStringLiteral("###0.###"), locale());
    host().ReportStatus(Supply::aboveMaximumText(i, which, maximum), 3000);
}

// ---------------------------------------------------------------- enable sets

QList<QWidget *> ChannelPanel::parallelLocked() const
{
    if (channelCount() < 2)
        return {};
    const ChannelControls &c = m_ch[1];
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
    const ChannelControls &c = m_ch[1];
    QList<QWidget *> out{c.numVoltage};
    if (c.numOVP)
        out << c.numOVP;
    return out;
}

void ChannelPanel::applyEnableSet()
{
    if (supply().autoRun()) {
        // Under auto run only the switches and clearing a protection error stay usable.
        for (QWidget *w : std::as_const(m_controls))
            w->setEnabled(w == m_btnClearErrorOfProtection || w == m_tbnAutoRun
                          || w == m_tbnOutput);
        return;
    }
    for (QWidget *w : std::as_const(m_controls))
        w->setEnabled(true);
    switch (supply().coupling()) {
    case Commands::CouplingParallel:
        for (QWidget *w : parallelLocked())
            w->setEnabled(false);
        break;
    case Commands::CouplingTrack:
        for (QWidget *w : trackLocked())
            w->setEnabled(false);
        break;
    case Commands::CouplingIndependent:
        break;
    }
}

// ---------------------------------------------------------------- accessors

QRadioButton *ChannelPanel::option(Commands::Coupling mode) const
{
    switch (mode) {
    case Commands::CouplingParallel: return m_optParal;
    case Commands::CouplingTrack: return m_optTrack;
    case Commands::CouplingIndependent: break;
    }
    return m_optIndep;
}

// ---------------------------------------------------------------- the supply's state

void ChannelPanel::showReading(int i)
{
    const ChannelControls &c = m_ch[i];
    // In parallel mode channel 2 follows channel 1: its readouts stay blank.
    if (i == 1 && supply().coupling() == Commands::CouplingParallel) {
        c.txtVoltage->clear();
        c.txtCurrent->clear();
        return;
    }
    const Supply::Channel &state = supply().channel(i);
    const QChar point = supply().decimalComma() ? QLatin1Char(',') : QLatin1Char('.');
    c.txtVoltage->setText(fitReadout(*c.txtVoltage, state.voltageReading.text, point));
    c.txtCurrent->setText(fitReadout(*c.txtCurrent, state.currentReading.text, point));
}

void ChannelPanel::showCoupling(Commands::Coupling mode)
{
    if (QRadioButton *opt = option(mode))
        opt->setChecked(true);
    applyEnableSet();
}

void ChannelPanel::showDisplays()
{
    const Supply &s = supply();
    const std::pair<TextBox *, QString> displays[] = {
        {m_txtStartMemory, s.autoStartText()}, {m_txtEndMemory, s.autoEndText()},
        {m_txtCycle, s.autoCycleText()},       {m_txtDelay, s.delayText()},
        {m_txtMemory, s.memoryText()}};
    for (const auto &[display, text] : displays) {
        // A display keeps its first "0" until the supply has told its value.
        if (display && !text.isNull())
            display->setText(text);
    }
}

QString ChannelPanel::regulationToolTip()
{
    return QStringLiteral("Regulation mode derived from the readings and set points, not reported "
                          "by the supply: CC when the current is at its set point (within 1 % or "
                          "one digit) and the voltage below its set point, CV otherwise. Blank "
                          "while the output is off.");
}

void ChannelPanel::showRegulation(int i)
{
    QLabel *label = m_ch[i].lblRegulation;
    if (!label)
        return;
    switch (supply().channel(i).regulation) {
    case Supply::Regulation::ConstantVoltage: label->setText(QStringLiteral("CV")); break;
    case Supply::Regulation::ConstantCurrent: label->setText(QStringLiteral("CC")); break;
    case Supply::Regulation::None: label->clear(); break;
    }
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

NumEdit *ChannelPanel::editor(SetPoint which, int i) const
{
    switch (which) {
    case SetPoint::Voltage: return m_ch[i].numVoltage;
    case SetPoint::Current: return m_ch[i].numCurrent;
    case SetPoint::Ovp: return m_ch[i].numOVP;
    }
    return nullptr;
}

void ChannelPanel::writeEditor(NumEdit *e, double value)
{
    const bool showing = m_showing;
    m_showing = true;
    e->setValue(qBound(e->minimum(), value, e->maximum()));
    m_showing = showing;
}

void ChannelPanel::showSetPoint(int i, SetPoint which)
{
    NumEdit *e = editor(which, i);
    if (!e)
        return;
    const Supply::Channel &c = supply().channel(i);
    writeEditor(e, which == SetPoint::Voltage ? c.voltage
                   : which == SetPoint::Current ? c.current
                                                : c.ovpLevel);
}

void ChannelPanel::showOcp(int i)
{
    if (QPushButton *ocp = m_ch[i].tbnOCP)
        ocp->setChecked(supply().channel(i).ocp);
}
