#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class GpibLibrary;

// Runs the blocking library calls of one board on its own thread (the board queues typed
// calls to it) and reports each outcome with a signal, delivered queued to the board's
// thread. The generation travels with each call so the board can ignore outcomes of work it
// has since reset.
class GpibWorker : public QObject
{
    Q_OBJECT
public:
    explicit GpibWorker(std::shared_ptr<GpibLibrary> library) : m_library(std::move(library)) {}

    // Closes `previous` and opens the device; its descriptor (or -1) is openedDevice().
    void openDevice(int board, int pad, int previous);
    int openedDevice() const { return m_openedDevice; }
    void closeDevice(int ud);
    void write(int ud, const QByteArray &data, quint64 generation);
    void read(int ud, quint64 generation);
    void clear(int ud);

    QString lastError() const { return m_lastError; }

signals:
    void writeDone(quint64 generation, bool ok, const QString &error);
    void readDone(quint64 generation, bool ok, const QByteArray &data, const QString &error);

private:
    std::shared_ptr<GpibLibrary> m_library;
    QString m_lastError;
    int m_openedDevice = -1;
};
