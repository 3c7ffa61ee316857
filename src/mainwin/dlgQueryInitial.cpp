#include "mainwin/dlgQueryInitial.h"

#include "connection/InitialValuesWatch.h"
#include "resources/Strings.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

dlgQueryInitial::dlgQueryInitial(InitialValuesWatch &watch, QWidget *parent)
    : QDialog(parent), m_watch(watch), m_label1(new QLabel(this)), m_label2(new QLabel(this)),
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

    connect(&m_watch, &InitialValuesWatch::progress, this, &dlgQueryInitial::showProgress);
    connect(&m_watch, &InitialValuesWatch::finished, this, &dlgQueryInitial::finished);
    connect(CancelButton, &QPushButton::clicked, &m_watch, &InitialValuesWatch::cancel);
    // Closing the window (Escape, the close button) is a cancel as well.
    connect(this, &QDialog::rejected, &m_watch, &InitialValuesWatch::cancel);
}

void dlgQueryInitial::start()
{
    m_label2->clear();
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    show();
}

void dlgQueryInitial::stop()
{
    if (isVisible())
        reject();
}

void dlgQueryInitial::showProgress(int done, int total, int remainingSeconds)
{
    ProgressBar1->setRange(0, qMax(1, total));
    ProgressBar1->setValue(done);
    if (done < total)
        m_label2->setText(QStringLiteral("Remaining about %1 secs...").arg(remainingSeconds));
}

void dlgQueryInitial::finished(bool cancelled)
{
    if (cancelled)
        reject();
    else
        accept();
}
