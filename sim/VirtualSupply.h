#pragma once

#include "sim/FaultPlan.h"
#include "sim/SupplyModel.h"

#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace sim {

// Coupling of channels 1 and 2; the numbers are the ones ":OUTP:COUP:TRAC" and "TRACK" use.
enum class Coupling { Independent = 0, Tracking = 1, Parallel = 2 };

// Outcome of a setting operation; the SCPI dialects turn the failures into queued errors.
enum class SetResult { Ok, OutOfRange, Conflict, NoSuchChannel };

// A model of one programmable supply: per-channel set points, output, protection, coupling,
// memories, auto run and an error queue, with readings from a resistive load per channel.
// It has no I/O of its own: lines are fed to handleLine() and time moves by advance().
// Channels are numbered from 1.
class VirtualSupply
{
public:
    static constexpr int MemoryCount = 10;
    static constexpr int ErrorQueueSize = 16;
    static constexpr double DefaultLoadOhms = 10.0;

    explicit VirtualSupply(SupplyModel model);
    // A supply of catalogue type `type`; nullptr when the type is unknown.
    static std::unique_ptr<VirtualSupply> create(const QString &type);

    const SupplyModel &model() const { return m_model; }
    Dialect dialect() const { return m_model.dialect; }
    int channelCount() const { return m_model.channelCount(); }

    // One received line, without terminator. Returns the answer without terminator, or
    // nothing when the line has no answer (a command, or a line that is not understood).
    std::optional<QString> handleLine(const QString &line);
    // Every line handed to handleLine(), as received.
    const QStringList &receivedLines() const { return m_received; }
    void clearReceivedLines() { m_received.clear(); }

    // Lets `ms` milliseconds of supply time pass (auto run).
    void advance(int ms);

    FaultPlan &faults() { return m_faults; }

    // Load model: a resistance per channel; 0 or less is an open circuit.
    void setLoad(int channel, double ohms);
    double load(int channel) const;
    // Noise amplitude added to readings (uniform in +-amplitude); 0 switches it off.
    void setNoise(double volts, double amps, quint32 seed = 1);

    struct Reading {
        double volts = 0;
        double amps = 0;
        bool constantCurrent = false;
    };
    // What the output terminals of `channel` show now, without noise.
    Reading reading(int channel) const;
    // The same with noise, as a measurement query reports it.
    Reading measure(int channel);

    // Set points as applied (tracking and parallel slave channel 2 to channel 1).
    double voltageSetpoint(int channel) const;
    double currentSetpoint(int channel) const;
    double ovpLevel(int channel) const;
    bool ocpEnabled(int channel) const;
    bool outputOn() const { return m_outputOn; }
    Coupling coupling() const { return m_coupling; }
    bool protectionTripped() const { return m_tripped; }
    bool remote() const { return m_remote; }
    int memoryNumber() const { return m_memoryNumber; }
    int multiUnit() const { return m_multiUnit; }

    struct AutoRun {
        bool running = false;
        int start = 0;
        int end = 9;
        int cycles = 1;      // 0: endless
        int delay = 10;      // units of 100 ms
    };
    const AutoRun &autoRun() const { return m_auto; }
    int autoCyclesDone() const { return m_autoCyclesDone; }

    // Settings. A value outside the channel's range, a channel the model lacks, or a setting
    // that channel 2 takes from channel 1 in the current coupling is refused.
    SetResult setVoltage(int channel, double volts);
    SetResult setCurrent(int channel, double amps);
    SetResult setOvp(int channel, double volts);
    SetResult setOcp(int channel, bool on);
    SetResult setOutput(bool on);
    SetResult setCoupling(int code);
    SetResult saveMemory(int n);
    SetResult recallMemory(int n);
    SetResult setAutoRunning(bool on);
    SetResult setAutoStart(int n);
    SetResult setAutoEnd(int n);
    SetResult setAutoCycles(int n);
    SetResult setAutoDelay(int units);
    SetResult setMultiUnit(int n);
    void setRemote() { m_remote = true; }
    void clearProtection() { m_tripped = false; }
    void reset();  // power-on settings; memories and the error queue are kept

    // SCPI error queue, oldest first: "-222,\"Data out of range\"".
    void pushError(int code, const QString &text);
    QString popError();  // "0,\"No error\"" when empty
    QStringList pendingErrors() const { return m_errors; }
    void clearErrors() { m_errors.clear(); }

private:
    struct Channel {
        double vSet = 0;
        double iSet = 0;
        double ovp = 0;
        bool ocp = false;
    };
    struct Memory {
        QList<Channel> channels;
    };

    bool validChannel(int channel) const { return channel >= 1 && channel <= channelCount(); }
    bool slavedVoltage(int channel) const;
    bool slavedCurrent(int channel) const;
    const Channel &ch(int channel) const { return m_channels[channel - 1]; }
    Channel &ch(int channel) { return m_channels[channel - 1]; }
    Channel powerOn(int channel) const;
    void checkProtection();
    void autoStep();

    SupplyModel m_model;
    QList<Channel> m_channels;
    QList<double> m_loads;
    QList<Memory> m_memories;
    bool m_outputOn = false;
    Coupling m_coupling = Coupling::Independent;
    bool m_tripped = false;
    bool m_remote = false;
    int m_memoryNumber = 0;
    int m_multiUnit = 0;
    AutoRun m_auto;
    int m_autoIndex = 0;
    int m_autoCyclesDone = 0;
    qint64 m_autoElapsedMs = 0;
    QStringList m_errors;
    QStringList m_received;
    FaultPlan m_faults;
    bool m_idnAnswered = false;
    double m_noiseVolts = 0;
    double m_noiseAmps = 0;
    QRandomGenerator m_rng;
};

} // namespace sim
