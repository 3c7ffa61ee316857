#include "datalog/TraceSwatch.h"

#include <QPainter>

TraceSwatch::TraceSwatch(QWidget *parent) : QWidget(parent)
{
    setFixedSize(36, 10);
}

void TraceSwatch::setPen(const QPen &pen)
{
    m_pen = pen;
    // Two pixels wide so a dashed line reads as dashed.
    m_pen.setWidth(2);
    update();
}

void TraceSwatch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(m_pen);
    const int y = height() / 2;
    painter.drawLine(0, y, width(), y);
}
