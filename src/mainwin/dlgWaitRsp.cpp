#include "mainwin/dlgWaitRsp.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

dlgWaitRsp::dlgWaitRsp(CommTasker &engine, QWidget *parent)
    : QDialog(parent), m_engine(engine), ProgressBar1(new QProgressBar(this)),
      CancelButton(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("dlgWaitRsp"));
    setWindowTitle(QStringLiteral("Waiting..."));
    setModal(true);
    auto *label = new QLabel(QStringLiteral("Waiting for the last response..."), this);
    label->setObjectName(QStringLiteral("Label1"));
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 20);
    ProgressBar1->setTextVisible(false);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(ProgressBar1);
    layout->addWidget(CancelButton, 0, Qt::AlignRight);
    setMinimumWidth(320);

    CheckTimer.setInterval(CheckIntervalMs);
    connect(&CheckTimer, &QTimer::timeout, this, &dlgWaitRsp::CheckTimer_Timer);
    connect(CancelButton, &QPushButton::clicked, this, &dlgWaitRsp::reject);
    connect(&engine, &CommTasker::clearingStarted, this, &dlgWaitRsp::begin);
    connect(&engine, &CommTasker::clearingEnded, this, &dlgWaitRsp::end);
}

void dlgWaitRsp::begin()
{
    ProgressBar1->setValue(0);
    CheckTimer.start();
    show();
}

void dlgWaitRsp::end(bool cleared)
{
    CheckTimer.stop();
    if (isVisible())
        done(cleared ? Accepted : Rejected);
}

void dlgWaitRsp::reject()
{
    // The box closes when the engine reports the clearing's end.
    m_engine.cancelClearing();
}

void dlgWaitRsp::CheckTimer_Timer()
{
    const int next = ProgressBar1->value() + 1;
    ProgressBar1->setValue(next > ProgressBar1->maximum() ? ProgressBar1->minimum() : next);
}
