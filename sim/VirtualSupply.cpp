#include "sim/VirtualSupply.h"

#include "sim/Interpreters.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double Tolerance = 1e-9;

bool inRange(double v, double max) { return v >= -Tolerance && v <= max + Tolerance; }

} // namespace

VirtualSupply::VirtualSupply(SupplyModel model)
    : m_model(std::move(model))
{
    for (int c = 1; c <= channelCount(); ++c) {
        m_channels << powerOn(c);
        m_loads << DefaultLoadOhms;
    }
    for (int n = 0; n < MemoryCount; ++n)
        m_memories << Memory{m_channels};
}

std::unique_ptr<VirtualSupply> VirtualSupply::create(const QString &type)
{
    const std::optional<SupplyModel> model = modelForType(type);
    if (!model)
        return nullptr;
    return std::make_unique<VirtualSupply>(*model);
}

VirtualSupply::Channel VirtualSupply::powerOn(int channel) const
{
    const ChannelModel &s = m_model.channels[channel - 1];
    return Channel{0.0, s.iMax, s.ovpMax, false};
}

std::optional<QString> VirtualSupply::handleLine(const QString &line)
{
    m_received << line;
    const QString text = line.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (m_faults.invalidFirstIdn && !m_idnAnswered
        && text.compare(QLatin1String("*IDN?"), Qt::CaseInsensitive) == 0) {
        m_idnAnswered = true;
        return QStringLiteral("Invalid Character.");
    }
    if (m_model.dialect == Dialect::Short)
        return interpretShort(*this, text);
    return interpretScpi(*this, text);
}

// ---- load model ----

void VirtualSupply::setLoad(int channel, double ohms)
{
    if (!validChannel(channel))
        return;
    m_loads[channel - 1] = ohms;
    checkProtection();
}

double VirtualSupply::load(int channel) const
{
    return validChannel(channel) ? m_loads[channel - 1] : 0.0;
}

void VirtualSupply::setNoise(double volts, double amps, quint32 seed)
{
    m_noiseVolts = std::max(0.0, volts);
    m_noiseAmps = std::max(0.0, amps);
    m_rng.seed(seed);
}

VirtualSupply::Reading VirtualSupply::reading(int channel) const
{
    if (!validChannel(channel) || !m_outputOn)
        return {};
    const bool parallel = m_coupling == Coupling::Parallel && channelCount() >= 2;
    if (parallel && channel == 2)
        return {};  // channel 1 delivers the current of both
    const double volts = voltageSetpoint(channel);
    const double limit = currentSetpoint(channel) * (parallel && channel == 1 ? 2.0 : 1.0);
    const double ohms = m_loads[channel - 1];
    if (!(ohms > 0) || std::isinf(ohms))
        return {volts, 0.0, false};
    if (volts / ohms <= limit + Tolerance)
        return {volts, volts / ohms, false};
    return {limit * ohms, limit, true};
}

VirtualSupply::Reading VirtualSupply::measure(int channel)
{
    Reading r = reading(channel);
    if (m_noiseVolts > 0 && r.volts > 0)
        r.volts = std::max(0.0, r.volts + (m_rng.generateDouble() * 2 - 1) * m_noiseVolts);
    if (m_noiseAmps > 0 && r.amps > 0)
        r.amps = std::max(0.0, r.amps + (m_rng.generateDouble() * 2 - 1) * m_noiseAmps);
    return r;
}

// ---- set points ----

bool VirtualSupply::slavedVoltage(int channel) const
{
    return channel == 2 && channelCount() >= 2 && m_coupling != Coupling::Independent;
}

bool VirtualSupply::slavedCurrent(int channel) const
{
    return channel == 2 && channelCount() >= 2 && m_coupling == Coupling::Parallel;
}

double VirtualSupply::voltageSetpoint(int channel) const
{
    if (!validChannel(channel))
        return 0;
    return slavedVoltage(channel) ? ch(1).vSet : ch(channel).vSet;
}

double VirtualSupply::currentSetpoint(int channel) const
{
    if (!validChannel(channel))
        return 0;
    return slavedCurrent(channel) ? ch(1).iSet : ch(channel).iSet;
}

double VirtualSupply::ovpLevel(int channel) const
{
    return validChannel(channel) ? ch(channel).ovp : 0.0;
}

bool VirtualSupply::ocpEnabled(int channel) const
{
    return validChannel(channel) && ch(channel).ocp;
}

SetResult VirtualSupply::setVoltage(int channel, double volts)
{
    if (!validChannel(channel))
        return SetResult::NoSuchChannel;
    if (slavedVoltage(channel))
        return SetResult::Conflict;
    if (!inRange(volts, m_model.channels[channel - 1].vMax))
        return SetResult::OutOfRange;
    ch(channel).vSet = volts;
    checkProtection();
    return SetResult::Ok;
}

SetResult VirtualSupply::setCurrent(int channel, double amps)
{
    if (!validChannel(channel))
        return SetResult::NoSuchChannel;
    if (slavedCurrent(channel))
        return SetResult::Conflict;
    if (!inRange(amps, m_model.channels[channel - 1].iMax))
        return SetResult::OutOfRange;
    ch(channel).iSet = amps;
    checkProtection();
    return SetResult::Ok;
}

SetResult VirtualSupply::setOvp(int channel, double volts)
{
    if (!validChannel(channel))
        return SetResult::NoSuchChannel;
    const double max = m_model.channels[channel - 1].ovpMax;
    if (max <= 0 || !inRange(volts, max))
        return SetResult::OutOfRange;
    ch(channel).ovp = volts;
    checkProtection();
    return SetResult::Ok;
}

SetResult VirtualSupply::setOcp(int channel, bool on)
{
    if (!validChannel(channel))
        return SetResult::NoSuchChannel;
    if (slavedCurrent(channel))
        return SetResult::Conflict;
    ch(channel).ocp = on;
    checkProtection();
    return SetResult::Ok;
}

SetResult VirtualSupply::setOutput(bool on)
{
    if (on && m_tripped)
        return SetResult::Conflict;  // a trip stays latched until cleared
    m_outputOn = on;
    checkProtection();
    return SetResult::Ok;
}

SetResult VirtualSupply::setCoupling(int code)
{
    if (code < 0 || code > 2)
        return SetResult::OutOfRange;
    m_coupling = Coupling(code);
    checkProtection();
    return SetResult::Ok;
}

// ---- protection ----

void VirtualSupply::checkProtection()
{
    if (!m_outputOn || !m_model.hasProtection())
        return;
    for (int c = 1; c <= channelCount(); ++c) {
        const Reading r = reading(c);
        const bool hasOvp = m_model.channels[c - 1].ovpMax > 0;
        QString what;
        if (hasOvp && r.volts > ch(c).ovp + Tolerance)
            what = QStringLiteral("Over-voltage protection tripped on CH%1").arg(c);
        else if (ch(c).ocp && r.constantCurrent)
            what = QStringLiteral("Over-current protection tripped on CH%1").arg(c);
        if (!what.isEmpty()) {
            m_outputOn = false;
            m_tripped = true;
            pushError(-300, what);
            return;
        }
    }
}

// ---- memories and auto run ----

SetResult VirtualSupply::saveMemory(int n)
{
    if (n < 0 || n >= MemoryCount)
        return SetResult::OutOfRange;
    m_memories[n].channels = m_channels;
    m_memoryNumber = n;
    return SetResult::Ok;
}

SetResult VirtualSupply::recallMemory(int n)
{
    if (n < 0 || n >= MemoryCount)
        return SetResult::OutOfRange;
    m_channels = m_memories[n].channels;
    m_memoryNumber = n;
    checkProtection();
    return SetResult::Ok;
}

SetResult VirtualSupply::setAutoRunning(bool on)
{
    if (on == m_auto.running)
        return SetResult::Ok;
    m_auto.running = on;
    if (on) {
        m_autoIndex = m_auto.start;
        m_autoCyclesDone = 0;
        m_autoElapsedMs = 0;
        recallMemory(m_autoIndex);
    }
    return SetResult::Ok;
}

SetResult VirtualSupply::setAutoStart(int n)
{
    if (n < 0 || n >= MemoryCount)
        return SetResult::OutOfRange;
    m_auto.start = n;
    return SetResult::Ok;
}

SetResult VirtualSupply::setAutoEnd(int n)
{
    if (n < 0 || n >= MemoryCount)
        return SetResult::OutOfRange;
    m_auto.end = n;
    return SetResult::Ok;
}

SetResult VirtualSupply::setAutoCycles(int n)
{
    if (n < 0 || n > 9999)
        return SetResult::OutOfRange;
    m_auto.cycles = n;
    return SetResult::Ok;
}

SetResult VirtualSupply::setAutoDelay(int units)
{
    if (units < 0 || units > 9999)
        return SetResult::OutOfRange;
    m_auto.delay = units;
    return SetResult::Ok;
}

SetResult VirtualSupply::setMultiUnit(int n)
{
    if (n < 0 || n > 4)
        return SetResult::OutOfRange;
    m_multiUnit = n;
    return SetResult::Ok;
}

void VirtualSupply::advance(int ms)
{
    if (!m_auto.running || ms <= 0)
        return;
    // A delay of 0 holds each memory for one unit, so time always moves the run on.
    const qint64 hold = qint64(std::max(1, m_auto.delay)) * 100;
    m_autoElapsedMs += ms;
    while (m_auto.running && m_autoElapsedMs >= hold) {
        m_autoElapsedMs -= hold;
        autoStep();
    }
}

void VirtualSupply::autoStep()
{
    if (m_autoIndex == m_auto.end) {
        ++m_autoCyclesDone;
        if (m_auto.cycles > 0 && m_autoCyclesDone >= m_auto.cycles) {
            m_auto.running = false;
            return;
        }
        m_autoIndex = m_auto.start;
    } else {
        m_autoIndex += m_auto.end > m_autoIndex ? 1 : -1;
    }
    recallMemory(m_autoIndex);
}

void VirtualSupply::reset()
{
    for (int c = 1; c <= channelCount(); ++c)
        ch(c) = powerOn(c);
    m_outputOn = false;
    m_coupling = Coupling::Independent;
    m_tripped = false;
    m_multiUnit = 0;
    m_auto = AutoRun{};
}

// ---- error queue ----

void VirtualSupply::pushError(int code, const QString &text)
{
    const QString entry = QStringLiteral("%1,\"%2\"").arg(code).arg(text);
    if (m_errors.size() >= ErrorQueueSize) {
        m_errors.last() = QStringLiteral("-350,\"Queue overflow\"");
        return;
    }
    m_errors << entry;
}

QString VirtualSupply::popError()
{
    if (m_errors.isEmpty())
        return QStringLiteral("0,\"No error\"");
    return m_errors.takeFirst();
}

} // namespace sim
