#pragma once

#include "cli/CliLog.h"
#include "cli/CliOptions.h"
#include "cli/SequenceRunner.h"

#include <QObject>
#include <QPointer>
#include <QTextStream>
#include <QTimer>
#include <memory>

class CliConnection;
class Supply;

// `zepctl log` and `zepctl run SEQUENCE` on a connected supply: the recording, the steps of
// a sequence, and the ending every way out shares (the outputs switched off after a run
// unless --leave-output, the recording saved, the record number or the summary printed).
class LoggedRun : public QObject
{
    Q_OBJECT
public:
    // What the command line asks, checked before anything is opened.
    struct Plan {
        CliLog::Period period;
        QList<SequenceStep> steps;  // none for `log`
    };
    static bool handles(const QString &command);
    // The plan, or the usage error (the limits of the recording, file:line of the sequence).
    static std::variant<Plan, QString> prepare(const CliOptions &options);

    LoggedRun(const CliOptions &options, Plan plan, CliConnection &connection, Supply &supply, QTextStream &out,
              QObject *parent = nullptr);

    // Opens the store, checks the steps against the supply and starts.
    void start();
    // Ends with `code` (and `message`, printed by the caller); `ended` follows, perhaps after
    // the outputs were switched off.
    void end(ExitCode code, const QString &message = QString());
    // Ctrl+C: a log ends as done; a run stops as interrupted (status 2), its outputs off.
    void interrupt();

signals:
    void ended(ExitCode code, const QString &message);

private:
    void beginRecording();
    void stepBegun(int number, int count, int round, const SequenceStep &step);
    void endWith(ExitCode code, const QString &message, bool switchOff);
    void conclude();

    CliOptions m_options;
    Plan m_plan;
    CliConnection &m_connection;
    QPointer<Supply> m_supply;
    QTextStream &m_out;
    CliLog m_log;
    std::unique_ptr<SequenceRunner> m_runner;
    QTimer m_firstReadings;  // log: the recording begins once the readings are in, or then
    QTimer m_switchOffWait;  // the outputs' switch-off is answered, or then
    qint64 m_startMs = 0;
    bool m_ending = false;
    bool m_concluded = false;
    ExitCode m_code = ExitCode::Done;
    QString m_message;
};
