#pragma once

#include "link/CommTasker.h"

#include <QDialog>
#include <QTimer>

class QProgressBar;
class QPushButton;

// The busy box of the engine's clearing (CommTasker::ClearAllTasks): up from its start to its
// end, with an animated bar; Cancel or closing the box cancels the clearing. Shown, never
// executed: the program's own event loop keeps running the engine.
class dlgWaitRsp : public QDialog
{
    Q_OBJECT
public:
    static constexpr int CheckIntervalMs = 100;

    explicit dlgWaitRsp(CommTasker &engine, QWidget *parent = nullptr);

    void reject() override;

    QTimer CheckTimer;  // moves the bar

private:
    void begin();
    void end(bool cleared);
    void CheckTimer_Timer();

    CommTasker &m_engine;
    QProgressBar *ProgressBar1;
    QPushButton *CancelButton;
};
