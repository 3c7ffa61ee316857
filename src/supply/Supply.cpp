#include "supply/Supply.h"

#include "common/NumberFormat.h"
#include "common/Prompter.h"
#include "link/Answers.h"
#include "link/CommTasker.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

using Commands::Coupling;
using Commands::Query;

namespace {

// Task kind of an answered query.
constexpr int RspText = 5;
// The most seconds the engine's 16-bit polling-cycle budget holds.
constexpr int MaxReadTimesSeconds = 32;
// The number format editors use until a catalogue row gives theirs.
const QString DefaultPattern = QStringLiteral(".00");

// A format pattern as a value is shown: a pattern starting with its decimal point gets a
// leading zero.
QString shownPattern(const QString &pattern)
{
    return pattern.startsWith(QLatin1Char('.')) ? QLatin1Char('0') + pattern : pattern;
}

// The value of one last digit of a reading as shown: 0.001 for "0.500", 1 for "2".
double displayDigit(const QString &text)
{
    const qsizetype point = text.indexOf(QRegularExpression(QStringLiteral("[.,]")));
    if (point < 0)
        return 1;
    int decimals = 0;
    while (point + 1 + decimals < text.size() && text.at(point + 1 + decimals).isDigit())
        ++decimals;
    return std::pow(10.0, -decimals);
}

bool isPerChannel(Query q)
{
    switch (q) {
    case Query::MeasVolt:
    case Query::MeasCurr:
    case Query::SetVolt:
    case Query::SetCurr:
    case Query::Ovp:
    case Query::Ocp:
        return true;
    default:
        return false;
    }
}

} // namespace

Supply::Supply(CommTasker &engine, int layout, const QString &machineType,
               Commands::Dialect queries, const RowLookup &rows, QObject *parent)
    : QObject(parent),
      m_engine(engine),
      m_plan(SupplyPlan::of(layout, machineType)),
      m_machineType(machineType),
      m_commands(&Commands::CommandSet::of(queries)),
      m_channels(m_plan.channels)
{
    m_acceptEdits = m_plan.acceptsEditsAtStart;
    m_decimalComma = QLocale().decimalPoint() == QLatin1String(",");
    for (Channel &c : m_channels)
        c.voltageLimits.pattern = c.currentLimits.pattern = c.ovpLimits.pattern = DefaultPattern;
    configure(rows);
}

Supply::~Supply() = default;

// ---------------------------------------------------------------- set-up

void Supply::configure(const RowLookup &rows)
{
    const std::optional<MachineTypeRow> model = rows ? rows(m_machineType) : std::nullopt;
    for (int i = 0; i < channelCount(); ++i) {
        std::optional<MachineTypeRow> row = model;
        if (model && model->perChannel && m_plan.perChannelRows) {
            if (auto own = rows(m_machineType + QLatin1Char('#') + QString::number(i + 1)))
                row = own;
        }
        Channel &c = m_channels[i];
        if (row) {
            c.voltageLimits = {row->vMax, row->vStep, row->vFormat};
            c.currentLimits = {row->iMax, row->iStep, row->iFormat};
            c.ovpLimits = {row->ovpMax, row->ovpStep, row->ovpFormat};
            c.voltage = c.current = c.ovpLevel = 0;
        }
        if (m_plan.initialReadings) {
            const QLocale locale;
            c.voltageReading = readingOf(
                NumberFormat::format(0, shownPattern(c.voltageLimits.pattern), locale), true);
            c.currentReading = readingOf(
                NumberFormat::format(0, shownPattern(c.currentLimits.pattern), locale), false);
        }
    }
    for (const SupplyPlan::FixedMaxima &fixed : std::as_const(m_plan.fixedMaxima)) {
        if (fixed.index < channelCount()) {
            m_channels[fixed.index].voltageLimits.maximum = fixed.volts;
            m_channels[fixed.index].currentLimits.maximum = fixed.amps;
        }
    }
    m_engine.QueriesPerCycle = m_plan.queriesPerCycle;
    m_engine.ReadTimesMs = 0;
}

void Supply::applyReadTimes()
{
    const int seconds = qBound(0, SettingsStore::readInt(SettingKeys::ReadTimes),
                               MaxReadTimesSeconds);
    m_engine.ReadTimesMs = seconds * 1000;
}

// ---------------------------------------------------------------- queries

bool Supply::query(const PlannedQuery &q)
{
    return m_engine.ExecQueryTask(m_commands->text(q.query, q.channel), RspText, this,
                                  [this, q](const QString &answer) { takeAnswer(q, answer); });
}

void Supply::queueInitialQueries()
{
    for (const PlannedQuery &q : std::as_const(m_plan.initial))
        query(q);
    // Read once, so the panel shows the configuration the supply is in before the user
    // changes it.
    if (m_plan.readsUnitSetting && !m_unitSettingKnown)
        queryUnitSetting();
}

void Supply::pollNext()
{
    if (m_plan.cycle.isEmpty())
        return;
    PlannedQuery step = m_plan.cycle.at(m_pollIndex % m_plan.cycle.size());
    // A dialect without a status word has an error queue: its step reads that instead, so a
    // protection trip is shown and the output follows.
    if (step.query == Query::Status && m_commands->text(Query::Status).isEmpty())
        step = {Query::Error, 0};
    bool queued;
    if (m_plan.quadReadings && step.query != Query::Status) {
        queued = m_engine.ExecQueryTaskQuad(
            m_commands->text(step.query, step.channel), this,
            [this, step](const QString &reading) { takeAnswer(step, reading); });
    } else {
        queued = query(step);
    }
    // A step the ring had no room for is tried again on the next tick.
    if (queued)
        m_pollIndex = (m_pollIndex + 1) % m_plan.queryWrap;
}

void Supply::querySetPoints()
{
    const auto pairs = [this](int from, int to) {
        for (int ch = from; ch <= to; ++ch)
            query({Query::SetVolt, ch});
        for (int ch = from; ch <= to; ++ch)
            query({Query::SetCurr, ch});
    };
    if (m_plan.setPointsByPairs) {
        // Channels 1 and 2 (the coupled pair) first, then 3 and 4.
        pairs(1, 2);
        pairs(3, channelCount());
    } else {
        pairs(1, channelCount());
    }
}

void Supply::querySettings()
{
    for (const PlannedQuery &q : m_plan.initial)
        if (q.query == Query::SetVolt || q.query == Query::SetCurr || q.query == Query::Ovp || q.query == Query::Ocp)
            query(q);
}

void Supply::queryAutoRange()
{
    if (!m_plan.readsMemoryDisplays)
        return;
    query({Query::AutoStart});
    query({Query::AutoEnd});
    query({Query::AutoCycle});
}

void Supply::queryMemory()
{
    if (m_plan.readsMemoryDisplays)
        query({Query::Memory});
}

void Supply::queryDelay()
{
    if (m_plan.readsMemoryDisplays)
        query({Query::AutoDelay});
}

void Supply::queryUnitSetting()
{
    m_engine.ExecQueryTask(QStringLiteral("SYST:CONF:MSL?"), RspText, this,
                           [this](const QString &answer) { takeUnitSetting(answer); });
}

void Supply::takeUnitSetting(const QString &answer)
{
    const std::optional<int> units = Answers::seriesParallelNumber(answer);
    if (!units)
        return;
    m_unitSettingKnown = true;
    // 3 and 4 are configurations only the supply can change.
    if (*units <= 2) {
        m_unitSetting = *units;
        // Units working together are parallel operation; 0 is local (independent).
        adoptCoupling(*units == 0 ? Commands::CouplingIndependent : Commands::CouplingParallel);
    }
    emit unitSettingReported(*units);
}

// ---------------------------------------------------------------- answers

void Supply::takeAnswer(const PlannedQuery &q, const QString &answer)
{
    const int index = q.channel - 1;
    if (isPerChannel(q.query) && (index < 0 || index >= channelCount()))
        return;
    switch (q.query) {
    case Query::MeasVolt: takeReading(index, true, answer); break;
    case Query::MeasCurr: takeReading(index, false, answer); break;
    case Query::SetVolt: takeSetPoint(index, SetPoint::Voltage, answer); break;
    case Query::SetCurr: takeSetPoint(index, SetPoint::Current, answer); break;
    case Query::Ovp: takeSetPoint(index, SetPoint::Ovp, answer); break;
    case Query::Ocp:
        m_channels[index].ocp = Answers::text(answer) == QLatin1String("1");
        emit ocpChanged(index);
        break;
    case Query::OutputStatus: setOutput(Answers::isOn(answer)); break;
    case Query::TrackStatus:
        // Leaving a mode lifts its locks; the reported mode applies its own.
        if (m_plan.clearsReadingsOnUnlock)
            clearReadings();
        selectCoupling(Answers::trackingMode(answer));
        break;
    case Query::AutoState: setAutoRun(Answers::isOn(answer)); break;
    case Query::AutoStart: m_autoStart = answer; emit displaysChanged(); break;
    case Query::AutoEnd: m_autoEnd = answer; emit displaysChanged(); break;
    case Query::AutoCycle: m_autoCycle = answer; emit displaysChanged(); break;
    case Query::AutoDelay: m_delay = answer; emit displaysChanged(); break;
    case Query::Memory: m_memory = answer; emit displaysChanged(); break;
    case Query::Error: takeError(answer); break;
    case Query::Status: takeStatusWord(answer); break;
    }
}

Supply::Reading Supply::readingOf(const QString &answer, bool voltage) const
{
    Reading r;
    r.received = answer;
    r.text = Answers::readout(answer, voltage ? QLatin1Char('V') : QLatin1Char('A'), m_decimalComma);
    r.value = NumberFormat::leadingNumber(r.text, m_decimalComma ? QLatin1Char(',') : QLatin1Char('.'));
    return r;
}

void Supply::takeReading(int index, bool voltage, const QString &answer)
{
    // In parallel mode channel 2 follows channel 1: its readings are not taken.
    if (!(index == 1 && m_coupling == Commands::CouplingParallel)) {
        Channel &c = m_channels[index];
        (voltage ? c.voltageReading : c.currentReading) = readingOf(answer, voltage);
    }
    emit readingChanged(index);
    updateRegulation(index);
}

void Supply::clearReadings()
{
    for (int i = 0; i < channelCount(); ++i) {
        if (!(i == 1 && m_coupling == Commands::CouplingParallel)) {
            m_channels[i].voltageReading = readingOf(QString(), true);
            m_channels[i].currentReading = readingOf(QString(), false);
        }
        emit readingChanged(i);
        updateRegulation(i);
    }
}

void Supply::takeSetPoint(int index, SetPoint which, const QString &answer)
{
    const QString s = Answers::text(answer);
    if (s.isEmpty())
        return;
    Channel &c = m_channels[index];
    const Limits &limits = which == SetPoint::Voltage ? c.voltageLimits
        : which == SetPoint::Current                  ? c.currentLimits
                                                      : c.ovpLimits;
    // The supply answers with a decimal point and maybe a unit letter; an answer that is not
    // a number reads as 0.
    double value = std::max(0.0, NumberFormat::leadingNumber(s));
    if (limits.maximum > 0)
        value = std::min(value, limits.maximum);
    (which == SetPoint::Voltage ? c.voltage : which == SetPoint::Current ? c.current : c.ovpLevel) =
        value;
    // Edits held until now are sent from here on.
    if (which != SetPoint::Ovp)
        m_acceptEdits = true;
    emit setPointChanged(index, which);
    updateRegulation(index);
}

void Supply::takeStatusWord(const QString &answer)
{
    if (answer.isEmpty())
        return;
    const Answers::StatusWord word = Answers::statusWord(answer);
    bool modeChanged = false;
    if (word.coupling) {
        modeChanged = *word.coupling != m_coupling;
        selectCoupling(*word.coupling);
    }
    // The output follows the supply.
    if (word.output && *word.output != m_output)
        setOutput(*word.output);
    if (modeChanged)
        querySetPoints();
}

void Supply::takeError(const QString &answer)
{
    // An empty answer is no report.
    if (!Answers::isError(answer))
        return;
    m_lastError = answer;
    setOutput(false);
    emit errorDetected(answer);
    // Raised while the engine delivers: the message is shown once this step has returned.
    Prompter::current().notify(QStringLiteral("Error detected: '") + Answers::quoted(answer)
                               + QLatin1Char('\''));
}

// ---------------------------------------------------------------- regulation

Supply::Regulation Supply::regulationOf(const Channel &c)
{
    if (c.voltageReading.text.isEmpty() || c.currentReading.text.isEmpty())
        return Regulation::None;
    // Readings and set points are rounded to their digits: a margin below the last one.
    constexpr double Rounding = 1e-9;
    const double band = std::max(0.01 * c.current, displayDigit(c.currentReading.text));
    const bool atCurrentLimit = std::abs(c.currentReading.value - c.current) <= band + Rounding;
    const bool belowVoltage = c.voltageReading.value < c.voltage - Rounding;
    return atCurrentLimit && belowVoltage ? Regulation::ConstantCurrent : Regulation::ConstantVoltage;
}

void Supply::updateRegulation(int index)
{
    Channel &c = m_channels[index];
    const Regulation now = m_output ? regulationOf(c) : Regulation::None;
    if (now == c.regulation)
        return;
    c.regulation = now;
    emit regulationChanged(index);
}

void Supply::updateRegulations()
{
    for (int i = 0; i < channelCount(); ++i)
        updateRegulation(i);
}

// ---------------------------------------------------------------- commands

QString Supply::wireValue(double value) const
{
    return NumberFormat::formatForWire(value, m_plan.wirePattern);
}

void Supply::command(const QString &text)
{
    if (m_running && !text.isEmpty())
        m_engine.ExecCmdTask(text);
}

void Supply::setSetPoint(int index, SetPoint which, double value)
{
    if (index < 0 || index >= channelCount() || !m_acceptEdits)
        return;
    const QString v = wireValue(value);
    const int n = index + 1;
    Channel &c = m_channels[index];
    switch (which) {
    case SetPoint::Voltage:
        command(Commands::voltageSetPoint(dialect(), n, v));
        c.voltage = value;
        break;
    case SetPoint::Current:
        command(Commands::currentSetPoint(dialect(), n, v));
        c.current = value;
        break;
    case SetPoint::Ovp:
        command(Commands::overVoltage(dialect(), n, v));
        c.ovpLevel = value;
        break;
    }
    updateRegulation(index);
}

void Supply::setOcp(int index, bool on)
{
    if (index < 0 || index >= channelCount())
        return;
    command(Commands::overCurrent(dialect(), index + 1, on));
    m_channels[index].ocp = on;
}

void Supply::setOutput(bool on)
{
    if (!m_running)
        return;
    command(Commands::output(dialect(), on));
    m_output = on;
    m_isOutput = on;
    emit outputChanged(on);
    updateRegulations();
}

void Supply::setAutoRun(bool on, bool byUser)
{
    if (!m_running)
        return;
    command(Commands::autoRun(on));
    m_autoRun = on;
    if (byUser)
        m_isOutput = on;
    emit autoRunChanged(on);
    if (!on) {
        // The mode locks come back with the mode in force, which is sent again.
        if (m_plan.clearsReadingsOnUnlock)
            clearReadings();
        applyCoupling(m_coupling);
    }
}

void Supply::setCoupling(Coupling mode)
{
    applyCoupling(mode);
}

void Supply::applyCoupling(Coupling mode)
{
    if (!m_running)
        return;
    command(Commands::coupling(dialect(), mode, m_unitSetting));
    // Polls queued under the old mode must not be delivered; the initial queries are kept.
    if (!m_readingInitialValues)
        m_engine.ResetQueryTasks();
    if (m_plan.clearsReadingsOnUnlock)
        clearReadings();
    m_coupling = mode;
    emit couplingChanged(mode);
}

void Supply::adoptCoupling(Coupling mode)
{
    m_coupling = m_selected = mode;
    emit couplingChanged(mode);
}

void Supply::selectCoupling(Coupling mode)
{
    if (!m_plan.couplingSwitchesOutputOff) {
        applyCoupling(mode);
        return;
    }
    if (mode == m_selected)
        return;  // the mode in force: nothing to send
    // The status word read when connecting tells the supply's mode: it is adopted and the
    // output left as it is.
    const bool adopting = m_readingInitialValues;
    if (mode != Commands::CouplingIndependent && !adopting)
        m_engine.ResetQueryTasks();
    applyCoupling(mode);
    // The supply changes its coupling with the output off.
    if (!adopting)
        setOutput(false);
    m_selected = mode;
}

void Supply::setUnitSetting(int units)
{
    m_unitSetting = units;
}

void Supply::clearProtection()
{
    command(Commands::clearProtection());
}

void Supply::saveMemory(int n)
{
    command(Commands::saveMemory(dialect(), n));
    queryMemory();
    memoryUsed(n);
}

void Supply::recallMemory(int n)
{
    command(Commands::recallMemory(dialect(), n));
    memoryUsed(n);
}

void Supply::memoryUsed(int n)
{
    // A supply whose memory number is not read shows the one it was last given.
    if (m_plan.readsMemoryDisplays || !m_running)
        return;
    m_memory = QString::number(n);
    emit displaysChanged();
}

void Supply::setAutoRange(int start, int end, int cycle)
{
    command(Commands::autoStart(start));
    command(Commands::autoEnd(end));
    command(Commands::autoCycle(cycle));
    queryAutoRange();
}

void Supply::setDelay(const QString &wireValue)
{
    command(Commands::autoDelay(wireValue));
    queryDelay();
}

QString Supply::aboveMaximumText(int index, SetPoint which, const QString &maximum)
{
    const QString what = which == SetPoint::Voltage ? QStringLiteral("voltage")
        : which == SetPoint::Current                ? QStringLiteral("current")
                                                    : QStringLiteral("OVP level");
    const QString unit = which == SetPoint::Current ? QStringLiteral("A") : QStringLiteral("V");
    return QStringLiteral("Channel %1 %2 is at most %3 %4; nothing was sent.").arg(index + 1).arg(what, maximum, unit);
}
