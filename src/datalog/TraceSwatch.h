#pragma once

#include <QPen>
#include <QWidget>

// A short line drawn with a trace's pen (colour and dash style), beside the trace's check
// box: the graph window's legend.
class TraceSwatch : public QWidget
{
public:
    explicit TraceSwatch(QWidget *parent = nullptr);

    void setPen(const QPen &pen);
    const QPen &pen() const { return m_pen; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPen m_pen;
};
