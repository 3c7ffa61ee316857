#pragma once

#include <QObject>

class QSocketNotifier;

namespace sim {

// Turns SIGINT and SIGTERM into a Qt signal through a self-pipe, so the process can shut
// down from its event loop (remove its link, close its files). One per process.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

    bool isValid() const { return m_notifier != nullptr; }

signals:
    void terminationRequested(int signalNumber);

private:
    void onReadable();
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace sim
