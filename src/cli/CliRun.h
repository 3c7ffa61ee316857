#pragma once

#include "cli/CliOptions.h"
#include "cli/LoggedRun.h"

#include <QFile>
#include <QObject>
#include <QTextStream>
#include <QTimer>
#include <memory>

class CliConnection;
class PortLister;
class Supply;

// One zepctl command from start to exit status: connects when the command needs a supply,
// does its work on the event loop (never waiting in place), writes data to `out` and ends
// with `finished`.
class CliRun : public QObject
{
    Q_OBJECT
public:
    CliRun(const CliOptions &options, QTextStream &out, const PortLister &ports, QObject *parent = nullptr);
    ~CliRun() override;

    void start();
    // Ctrl+C or a termination signal: ends the run cleanly (measure ends as done).
    void interrupt();

signals:
    void finished(ExitCode code);

private:
    void listPorts();
    void supplyReady(Supply &supply);
    void identify(Supply &supply);
    void get(Supply &supply, const QStringList &names);
    void set(Supply &supply);
    void startMeasuring(Supply &supply);
    void startLogged(Supply &supply);
    void startLines();
    void measureLine();
    void readBack(Supply &supply, std::function<void()> then);
    void finish(ExitCode code, const QString &message = QString());

    CliOptions m_options;
    // --dry-run: the data (read-backs, readings) is not printed; the sent lines are.
    QFile m_discard;
    QTextStream m_discardStream;
    QTextStream &m_wire;
    QTextStream &m_out;
    const PortLister &m_ports;
    std::unique_ptr<CliConnection> m_connection;
    QTimer m_measureTimer;
    int m_lines = 0;
    qint64 m_measureStartMs = 0;
    QString m_supplyError;
    // log and run
    std::optional<LoggedRun::Plan> m_plan;
    std::unique_ptr<LoggedRun> m_logged;
    bool m_loggedEnded = false;
    bool m_finished = false;
};
