#pragma once

#include <QWidget>

class QListWidget;

// The debug window: trace lines of the task engine, appended while the window is open.
class frmDebug : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 20000;

    explicit frmDebug(QWidget *parent = nullptr);

    // Appends one line; the list is emptied first once it holds more than MaxLines.
    void Report(const QString &line);
    int lineCount() const;

private:
    QListWidget *m_list;
};
