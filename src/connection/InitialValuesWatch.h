#pragma once

#include <QObject>
#include <QTimer>

class CommTasker;

// Watches the initial queries of a new supply to their end: ticks the engine from its own
// check timer (so the values come in at twice the writer's pace), tells how many are left
// and about how long that takes, and finishes when none is left or on cancel. Never waits
// in place: start() returns at once and finished follows.
class InitialValuesWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int CheckIntervalMs = 100;

    explicit InitialValuesWatch(CommTasker &engine, QObject *parent = nullptr);

    // Watches every query queued before the call.
    void start();
    // Ends the watch without emitting anything (the connection was reset).
    void stop();
    // Ends the watch as cancelled.
    void cancel() { finishWith(true); }
    bool isRunning() const { return m_running; }

    // One check tick (also called by the timer).
    void CheckTimer_Timer();
    QTimer CheckTimer;

signals:
    // `done` of `total` queries answered, about `remainingSeconds` to go.
    void progress(int done, int total, int remainingSeconds);
    // True when cancelled before every initial query was answered.
    void finished(bool cancelled);

private:
    void finishWith(bool cancelled);
    int remainingSeconds(int pending) const;

    CommTasker &m_engine;
    bool m_running = false;
    int m_total = 0;
    double m_startSeconds = 0;
};
