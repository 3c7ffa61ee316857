#include "mainwin/dlgWaitRsp.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

dlgWaitRsp::dlgWaitRsp(QWidget *parent)
    : QDialog(parent), ProgressBar1(new QProgressBar(this)),
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
    connect(CancelButton, &QPushButton::clicked, this, &dlgWaitRsp::CancelButton_Click);
    connect(this, &QDialog::rejected, &CheckTimer, &QTimer::stop);
}

bool dlgWaitRsp::Execute(CommTasker &engine)
{
    m_engine = &engine;
    Idle = false;
    ProgressBar1->setValue(0);
    CheckTimer.start();
    exec();
    CheckTimer.stop();
    m_engine = nullptr;
    return Idle;
}

void dlgWaitRsp::CheckTimer_Timer()
{
    if (!CheckTimer.isActive() || !m_engine)
        return;
    const int next = ProgressBar1->value() + 1;
    ProgressBar1->setValue(next > ProgressBar1->maximum() ? ProgressBar1->minimum() : next);
    m_engine->DoWriterTimer(CheckIntervalMs);
    if (m_engine->isIdle()) {
        Idle = true;
        CheckTimer.stop();
        accept();
    }
}

void dlgWaitRsp::abandon()
{
    if (CheckTimer.isActive())
        CancelButton_Click();
}

void dlgWaitRsp::CancelButton_Click()
{
    CheckTimer.stop();
    reject();
}
