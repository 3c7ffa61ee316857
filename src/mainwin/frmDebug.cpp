#include "mainwin/frmDebug.h"

#include <QListWidget>
#include <QVBoxLayout>

frmDebug::frmDebug(QWidget *parent) : QWidget(parent, Qt::Window), m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("frmDebug"));
    setWindowTitle(QStringLiteral("Debug"));
    m_list->setObjectName(QStringLiteral("lstDebug"));
    m_list->setUniformItemSizes(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    resize(480, 360);
}

void frmDebug::Report(const QString &line)
{
    if (m_list->count() > MaxLines)
        m_list->clear();
    m_list->addItem(line);
    m_list->scrollToBottom();
}

int frmDebug::lineCount() const
{
    return m_list->count();
}
