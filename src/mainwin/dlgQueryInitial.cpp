#include "mainwin/dlgQueryInitial.h"

#include "common/Clock.h"
#include "link/CommTasker.h"
#include "resources/Strings.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

dlgQueryInitial::dlgQueryInitial(CommTasker &engine, QWidget *parent)
    : QDialog(parent), m_engine(engine), m_label1(new QLabel(this)), m_label2(new QLabel(this)),
      ProgressBar1(new QProgressBar(this)), CancelButton(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("dlgQueryInitial"));
    setWindowTitle(Strings::res(232));
    setModal(true);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setText(Strings::res(231));
    m_label2->setObjectName(QStringLiteral("Label2"));
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label1);
    layout->addWidget(m_label2);
    layout->addWidget(ProgressBar1);
    layout->addWidget(CancelButton, 0, Qt::AlignRight);
    setMinimumWidth(360);

    CheckTimer.setInterval(CheckIntervalMs);
    connect(&CheckTimer, &QTimer::timeout, this, &dlgQueryInitial::CheckTimer_Timer);
    connect(CancelButton, &QPushButton::clicked, this, &dlgQueryInitial::CancelButton_Click);
    // Closing the window (Escape, the close button) is a cancel as well.
    connect(this, &QDialog::rejected, this, [this] { finishWith(true); });
}

void dlgQueryInitial::start()
{
    Cancelled = true;
    m_total = m_engine.QueryCount;
    m_startSeconds = Clock::current().monotonicSeconds();
    ProgressBar1->setRange(0, qMax(1, m_total));
    ProgressBar1->setValue(0);
    m_label2->clear();
    m_running = true;
    CheckTimer.start();
    show();
}

void dlgQueryInitial::stop()
{
    m_running = false;
    CheckTimer.stop();
    if (isVisible())
        reject();
}

void dlgQueryInitial::finishWith(bool cancelled)
{
    if (!m_running)
        return;
    m_running = false;
    CheckTimer.stop();
    Cancelled = cancelled;
    if (cancelled) {
        reject();
    } else {
        ProgressBar1->setValue(ProgressBar1->maximum());
        accept();
    }
    emit initialValuesDone(cancelled);
}

void dlgQueryInitial::CheckTimer_Timer()
{
    if (!CheckTimer.isActive())
        return;
    m_engine.DoWriterTimer(CheckIntervalMs);
    const int pending = m_engine.QueryCount;
    if (pending > 0) {
        m_label2->setText(QStringLiteral("Remaining about %1 secs...").arg(remainingSeconds(pending)));
        ProgressBar1->setValue(qBound(0, m_total - pending, ProgressBar1->maximum()));
        return;
    }
    finishWith(false);
}

void dlgQueryInitial::CancelButton_Click()
{
    finishWith(true);
}

// Pending queries times the average time one query has taken so far (a writer tick before
// the first answer), plus one.
int dlgQueryInitial::remainingSeconds(int pending) const
{
    const int done = m_total - pending;
    double perQuery = CommTasker::WriterIntervalMs / 1000.0;
    if (done > 0) {
        const double elapsed = Clock::current().monotonicSeconds() - m_startSeconds;
        perQuery = elapsed / done;
    }
    return int(std::floor(pending * perQuery)) + 1;
}
