#pragma once

#include <QDialog>
#include <QTimer>

class CommTasker;
class QLabel;
class QProgressBar;
class QPushButton;

// Shown while a panel reads its initial values: ticks the engine from its own check timer,
// shows how many queries are left and an estimate of the time, and can be cancelled.
class dlgQueryInitial : public QDialog
{
    Q_OBJECT
public:
    static constexpr int CheckIntervalMs = 100;

    explicit dlgQueryInitial(CommTasker &engine, QWidget *parent = nullptr);

    // Runs modally until every query queued before the call is answered (false) or the user
    // cancels (true).
    bool Execute();

    // One check-timer tick (also called by the timer).
    void CheckTimer_Timer();

    bool Cancelled = true;
    QTimer CheckTimer;

private:
    void CancelButton_Click();
    int remainingSeconds(int pending) const;

    CommTasker &m_engine;
    QLabel *m_label1;
    QLabel *m_label2;
    QProgressBar *ProgressBar1;
    QPushButton *CancelButton;
    int m_total = 0;
    double m_startSeconds = 0;
};
