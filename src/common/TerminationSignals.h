#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C, a closed terminal, a logout) as a Qt signal on
// the event loop, so the program can end as its own Quit does: the port closed and its lock
// released, the settings written. The handler only writes the signal's number to a pipe; a
// second signal while the first is being handled ends the process at once.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers once per process, after the application object exists; a second
    // call returns the same object, which lives as long as the process.
    static TerminationSignals *install();

signals:
    void received(int signalNumber);

private:
    TerminationSignals();
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};
