#pragma once

#include "link/Commands.h"
#include "resources/Catalogue.h"
#include "supply/SupplyPlan.h"

#include <QObject>
#include <QString>
#include <QVector>
#include <functional>
#include <optional>

class CommTasker;

// One connected supply as the program knows it: what it is (machine type, layout, dialect,
// channels and their limits), what it last reported (set points, protection, readings,
// output, coupling, auto run, memory displays, errors) and what the user asks of it. It
// queues its queries and commands on the engine, decodes the answers (the engine hands each
// to the handler queued with it) and tells every change through a signal; the front panels,
// the main window and the recording are its views.
class Supply : public QObject
{
    Q_OBJECT
public:
    // A reading: the answer as received, the text shown and recorded (unit letter dropped,
    // decimal comma where the system uses one) and its value.
    struct Reading {
        QString received;
        QString text;
        double value = 0;
    };
    struct Limits {
        double maximum = 0;
        double step = 0;
        QString pattern;  // the editors' number format
    };
    // How a channel regulates while its output is on, as derived from its readings and set
    // points (the supplies do not report it); None while the output is off or unread.
    enum class Regulation { None, ConstantVoltage, ConstantCurrent };
    struct Channel {
        Limits voltageLimits, currentLimits, ovpLimits;
        double voltage = 0, current = 0, ovpLevel = 0;  // set points as read back or sent
        bool ocp = false;
        Reading voltageReading, currentReading;
        Regulation regulation = Regulation::None;
    };
    enum class SetPoint { Voltage, Current, Ovp };
    using RowLookup = std::function<std::optional<MachineTypeRow>(const QString &mtype)>;

    // A supply of `machineType` shown by front-panel `layout`; `queries` is the dialect its
    // identification answer chose.
    Supply(CommTasker &engine, int layout, const QString &machineType, Commands::Dialect queries,
           const RowLookup &rows, QObject *parent = nullptr);
    ~Supply() override;

    const SupplyPlan &plan() const { return m_plan; }
    int layout() const { return m_plan.layout; }
    int channelCount() const { return int(m_channels.size()); }
    QString machineType() const { return m_machineType; }
    Commands::Dialect dialect() const { return m_plan.dialect; }
    const Commands::CommandSet &commands() const { return *m_commands; }
    CommTasker &engine() const { return m_engine; }

    // --- state
    const Channel &channel(int index) const { return m_channels.at(index); }
    bool outputOn() const { return m_output; }
    // On while the output is on, and since the user switched auto run on: a recording may run.
    bool isOutput() const { return m_isOutput; }
    bool autoRun() const { return m_autoRun; }
    Commands::Coupling coupling() const { return m_coupling; }
    // The multi-unit setting sent with parallel or series operation (layout 2).
    int unitSetting() const { return m_unitSetting; }
    // The supply has answered "SYST:CONF:MSL?" with a number.
    bool unitSettingKnown() const { return m_unitSettingKnown; }
    QString autoStartText() const { return m_autoStart; }
    QString autoEndText() const { return m_autoEnd; }
    QString autoCycleText() const { return m_autoCycle; }
    QString delayText() const { return m_delay; }
    QString memoryText() const { return m_memory; }
    QString lastError() const { return m_lastError; }
    bool decimalComma() const { return m_decimalComma; }
    void setDecimalComma(bool comma) { m_decimalComma = comma; }

    // --- the connection's state, which gates what is sent
    // Commands are sent only while the supply is identified and running.
    void setRunning(bool running) { m_running = running; }
    bool isRunning() const { return m_running; }
    // While the initial values are read, a coupling answer is adopted without dropping the
    // queued queries.
    void setReadingInitialValues(bool reading) { m_readingInitialValues = reading; }
    bool isReadingInitialValues() const { return m_readingInitialValues; }
    // Read-back guard: false until a set point was read back where edits are held at first.
    bool acceptsEdits() const { return m_acceptEdits; }

    // CV or CC of a channel whose output is on: CC when the measured current is within 1 % or
    // one displayed digit of the current set point and the measured voltage is below its set
    // point, CV otherwise; None without both readings.
    static Regulation regulationOf(const Channel &c);

    // --- what the user asks (each queues its command; nothing is sent unless running)
    void setSetPoint(int index, SetPoint which, double value);
    void setVoltage(int index, double volts) { setSetPoint(index, SetPoint::Voltage, volts); }
    void setCurrent(int index, double amps) { setSetPoint(index, SetPoint::Current, amps); }
    void setOvpLevel(int index, double volts) { setSetPoint(index, SetPoint::Ovp, volts); }
    // Why a value above a channel's `maximum` (as shown) was not sent.
    static QString aboveMaximumText(int index, SetPoint which, const QString &maximum);
    void setOcp(int index, bool on);
    void setOutput(bool on);
    // Auto run on or off; `byUser` when the user's switch did it (the recording may then run).
    void setAutoRun(bool on, bool byUser = false);
    // The mode action: sends the coupling and drops the polls queued under the old mode.
    void setCoupling(Commands::Coupling mode);
    // A coupling chosen on the panel or reported by the supply; the four-channel supply acts
    // only on a real change and then switches its output off.
    void selectCoupling(Commands::Coupling mode);
    void setUnitSetting(int units);
    void clearProtection();
    void saveMemory(int n);
    void recallMemory(int n);
    void setAutoRange(int start, int end, int cycle);
    void setDelay(const QString &wireValue);
    // Blanks the readings (the output is off or the mode locks were lifted).
    void clearReadings();

    // --- reading the supply
    // The limits and first readings from the catalogue, and the engine's cycle size.
    void configure(const RowLookup &rows);
    void queueInitialQueries();
    // The polling budget from the settings, once the initial values are in.
    void applyReadTimes();
    // Queues the next query of the polling cycle.
    void pollNext();
    int pollIndex() const { return m_pollIndex; }
    void setPollIndex(int index) { m_pollIndex = index; }
    void querySetPoints();
    // Reads back the set points, OVP levels and OCP switches of every channel, in the order
    // of the initial queries (no status query, whose answer the model would act on).
    void querySettings();
    void queryAutoRange();
    void queryMemory();
    void queryDelay();
    // The supply's own multi-unit setting ("SYST:CONF:MSL?").
    void queryUnitSetting();

    // --- answers: each queued query's answer is decoded here
    void takeAnswer(const PlannedQuery &q, const QString &answer);
    void takeUnitSetting(const QString &answer);

signals:
    void readingChanged(int index);
    void setPointChanged(int index, Supply::SetPoint which);
    void ocpChanged(int index);
    void outputChanged(bool on);
    void autoRunChanged(bool on);
    void couplingChanged(Commands::Coupling mode);
    void displaysChanged();
    // The supply's multi-unit setting as answered.
    void unitSettingReported(int units);
    // Channel `index` changed between CV, CC and none.
    void regulationChanged(int index);
    // The error queue reported an error; the output was switched off.
    void errorDetected(const QString &answer);

private:
    bool query(const PlannedQuery &q);
    void command(const QString &text);
    void takeReading(int index, bool voltage, const QString &answer);
    void takeSetPoint(int index, SetPoint which, const QString &answer);
    void takeStatusWord(const QString &answer);
    void takeError(const QString &answer);
    void memoryUsed(int n);
    void applyCoupling(Commands::Coupling mode);
    // Takes a coupling the supply reported without sending anything.
    void adoptCoupling(Commands::Coupling mode);
    void updateRegulation(int index);
    void updateRegulations();
    QString wireValue(double value) const;
    Reading readingOf(const QString &answer, bool voltage) const;

    CommTasker &m_engine;
    SupplyPlan m_plan;
    QString m_machineType;
    const Commands::CommandSet *m_commands;
    QVector<Channel> m_channels;

    bool m_running = false;
    bool m_readingInitialValues = false;
    bool m_acceptEdits = true;
    bool m_decimalComma = false;
    bool m_output = false;
    bool m_isOutput = false;
    bool m_autoRun = false;
    Commands::Coupling m_coupling = Commands::CouplingIndependent;
    // The coupling last chosen on the panel or reported (four-channel rule).
    Commands::Coupling m_selected = Commands::CouplingIndependent;
    int m_unitSetting = 0;
    bool m_unitSettingKnown = false;
    int m_pollIndex = 0;
    QString m_autoStart, m_autoEnd, m_autoCycle, m_delay, m_memory;
    QString m_lastError;
};
