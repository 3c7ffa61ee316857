#pragma once

#include "link/CommTasker.h"

#include <QDialog>
#include <QTimer>

class QProgressBar;
class QPushButton;

// Shown by the engine's ClearAllTasks: keeps ticking the engine until every queued task has
// been written and answered, with an animated bar and a Cancel button.
class dlgWaitRsp : public QDialog, public IdleWaiter
{
    Q_OBJECT
public:
    static constexpr int CheckIntervalMs = 100;

    explicit dlgWaitRsp(QWidget *parent = nullptr);

    // True when the link became idle, false when the user cancelled.
    bool Execute(CommTasker &engine);
    bool waitUntilIdle(CommTasker &engine) override { return Execute(engine); }

    void CheckTimer_Timer();
    // Ends a running wait as a cancel (the link failed meanwhile).
    void abandon();

    bool Idle = false;
    QTimer CheckTimer;

private:
    void CancelButton_Click();

    CommTasker *m_engine = nullptr;
    QProgressBar *ProgressBar1;
    QPushButton *CancelButton;
};
