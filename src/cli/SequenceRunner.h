#pragma once

#include "cli/CliOptions.h"
#include "cli/SequenceFile.h"
#include "cli/SupplyValues.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <optional>

class CliConnection;
class Supply;

// Steps a supply through a test sequence: each step's values are sent (through Supply's
// setters, as `zepctl set` sends them) and, once answered, the step waits for its time or
// for its condition on the readings the polling brings. Never waits in place.
class SequenceRunner : public QObject
{
    Q_OBJECT
public:
    // A step with its values checked against the supply.
    struct Planned {
        SequenceStep step;
        QList<SupplyValues::Assignment> assignments;
    };
    // Checks every step against `supply` before anything is sent: a value above a limit is
    // refused (Refused), a condition on a channel the supply lacks is a usage error; the
    // message names file:line.
    static std::variant<QList<Planned>, std::pair<ExitCode, QString>>
    check(const Supply &supply, const QList<SequenceStep> &steps, const QString &fileName);

    SequenceRunner(Supply &supply, CliConnection &connection, QList<Planned> steps, QObject *parent = nullptr);

    void start();
    // Stops stepping (nothing more is sent).
    void stop();

signals:
    // Step `number` (1-based, of `count`) begins its `round` (1-based) of step.repeat.
    void stepBegun(int number, int count, int round, const SequenceStep &step);
    // The values of the running step were sent and answered.
    void stepApplied();
    void finished();
    // A condition was not met within its time-out.
    void timedOut(const QString &message);

private:
    void beginStep();
    void waitForEnd();
    void readingTaken(int index);
    void nextStep();
    std::optional<double> reading(const SequenceStep &step) const;

    QPointer<Supply> m_supply;
    CliConnection &m_connection;
    QList<Planned> m_steps;
    int m_index = 0;
    int m_round = 1;
    bool m_stopped = false;
    bool m_watching = false;
    std::optional<qint64> m_heldSinceMs;
    QTimer m_stepTimer;     // a timed step's length
    QTimer m_timeoutTimer;  // a condition's time-out
};
