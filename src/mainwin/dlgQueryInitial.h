#pragma once

#include <QDialog>

class InitialValuesWatch;
class QLabel;
class QProgressBar;
class QPushButton;

// Shown while a panel reads its initial values: a view of the connection's watch, with how
// many queries are left, an estimate of the time, and Cancel. Modal to the user but never
// waits in place: start() returns at once and the watch's finished follows.
class dlgQueryInitial : public QDialog
{
    Q_OBJECT
public:
    explicit dlgQueryInitial(InitialValuesWatch &watch, QWidget *parent = nullptr);

    // Shows the dialog (the connection has started the watch).
    void start();
    // Closes the dialog (the connection has stopped the watch).
    void stop();

private:
    void showProgress(int done, int total, int remainingSeconds);
    void finished(bool cancelled);

    InitialValuesWatch &m_watch;
    QLabel *m_label1;
    QLabel *m_label2;
    QProgressBar *ProgressBar1;
    QPushButton *CancelButton;
};
