#pragma once

#include <QDialog>
#include <QTimer>

class CommTasker;
class QLabel;
class QProgressBar;
class QPushButton;

// Shown while a panel reads its initial values: ticks the engine from its own check timer,
// shows how many queries are left and an estimate of the time, and can be cancelled. Modal
// to the user but never waits in place: start() returns at once and initialValuesDone
// follows.
class dlgQueryInitial : public QDialog
{
    Q_OBJECT
public:
    static constexpr int CheckIntervalMs = 100;

    explicit dlgQueryInitial(CommTasker &engine, QWidget *parent = nullptr);

    // Shows the dialog until every query queued before the call is answered or the user
    // cancels; then emits initialValuesDone.
    void start();
    // Closes the dialog without emitting anything (the main window was reset).
    void stop();

    // One check-timer tick (also called by the timer).
    void CheckTimer_Timer();

    bool Cancelled = true;
    QTimer CheckTimer;

signals:
    // True when the user gave up before every initial query was answered.
    void initialValuesDone(bool cancelled);

private:
    void CancelButton_Click();
    void finishWith(bool cancelled);
    int remainingSeconds(int pending) const;

    CommTasker &m_engine;
    QLabel *m_label1;
    QLabel *m_label2;
    QProgressBar *ProgressBar1;
    QPushButton *CancelButton;
    bool m_running = false;
    int m_total = 0;
    double m_startSeconds = 0;
};
