#include "link/transport/LinuxGpibBoard.h"

#include "link/transport/GpibLibrary.h"
#include "link/transport/GpibWorker.h"

#include <QTimer>

LinuxGpibBoard::LinuxGpibBoard(QObject *parent, const QString &library)
    : GpibBoard(parent)
    , m_libraryName(library)
{
    m_thread.setObjectName(QStringLiteral("gpib"));
}

LinuxGpibBoard::~LinuxGpibBoard()
{
    if (!m_worker)
        return;
    if (m_device >= 0)
        emit closeRequested(m_device);
    m_worker->deleteLater();  // on its own thread, after the calls queued before
    m_thread.quit();
    m_thread.wait();  // after any call in progress has returned (at most its time-out)
}

bool LinuxGpibBoard::configure()
{
    ++m_generation;
    if (!m_library) {
        QString error;
        m_library = GpibLibrary::load(m_libraryName, &error);
        if (!m_library) {
            setErrorString(error);
            return false;
        }
        m_worker = new GpibWorker(m_library);
        m_worker->moveToThread(&m_thread);
        connect(m_worker, &GpibWorker::writeDone, this, &LinuxGpibBoard::onWriteDone);
        connect(m_worker, &GpibWorker::readDone, this, &LinuxGpibBoard::onReadDone);
        // The calls go to the worker's thread as queued signals; opening waits for its result.
        connect(this, &LinuxGpibBoard::openRequested, m_worker, &GpibWorker::openDevice,
                Qt::BlockingQueuedConnection);
        connect(this, &LinuxGpibBoard::closeRequested, m_worker, &GpibWorker::closeDevice, Qt::QueuedConnection);
        connect(this, &LinuxGpibBoard::writeRequested, m_worker, &GpibWorker::write, Qt::QueuedConnection);
        connect(this, &LinuxGpibBoard::readRequested, m_worker, &GpibWorker::read, Qt::QueuedConnection);
        connect(this, &LinuxGpibBoard::clearRequested, m_worker, &GpibWorker::clear, Qt::QueuedConnection);
        m_thread.start();
    }
    if (board() < 0 || primaryAddress() < 0 || primaryAddress() > 30) {
        setErrorString(QStringLiteral("Invalid GPIB board %1 or address %2")
                           .arg(board()).arg(primaryAddress()));
        return false;
    }
    emit openRequested(board(), primaryAddress(), m_device);
    const int ud = m_worker->openedDevice();
    m_device = ud;
    if (ud < 0) {
        setErrorString(QStringLiteral("Cannot open GPIB%1 address %2: %3")
                           .arg(board()).arg(primaryAddress()).arg(m_worker->lastError()));
        return false;
    }
    setErrorString(QString());
    return true;
}

bool LinuxGpibBoard::write(const QString &message)
{
    if (m_device < 0) {
        setErrorString(QStringLiteral("GPIB board not configured"));
        return false;
    }
    emit writeRequested(m_device, message.toLatin1(), m_generation);
    return true;
}

void LinuxGpibBoard::read()
{
    if (m_device < 0) {
        // Reported from the event loop, as every outcome of a read is.
        QTimer::singleShot(0, this, [this] {
            setErrorString(QStringLiteral("GPIB board not configured"));
            emit error(errorString());
        });
        return;
    }
    emit readRequested(m_device, m_generation);
}

void LinuxGpibBoard::reset()
{
    ++m_generation;  // outcomes of earlier calls are dropped
    if (m_device >= 0)
        emit clearRequested(m_device);
}

void LinuxGpibBoard::onWriteDone(quint64 generation, bool ok, const QString &text)
{
    if (generation != m_generation)
        return;
    if (!ok) {
        setErrorString(QStringLiteral("GPIB write failed: ") + text);
        emit error(errorString());
        return;
    }
    emit writeComplete();
}

void LinuxGpibBoard::onReadDone(quint64 generation, bool ok, const QByteArray &data,
                                const QString &text)
{
    if (generation != m_generation)
        return;
    if (!ok) {
        setErrorString(QStringLiteral("GPIB read failed: ") + text);
        emit error(errorString());
        return;
    }
    emit dataRead(QString::fromLatin1(data));
}
