#include "link/transport/GpibWorker.h"

#include "link/transport/GpibLibrary.h"

void GpibWorker::openDevice(int board, int pad, int previous)
{
    m_library->closeDevice(previous);
    m_openedDevice = m_library->openDevice(board, pad);
    m_lastError = m_openedDevice < 0 ? m_library->lastError() : QString();
}

void GpibWorker::closeDevice(int ud)
{
    m_library->closeDevice(ud);
}

void GpibWorker::write(int ud, const QByteArray &data, quint64 generation)
{
    const bool ok = m_library->write(ud, data);
    emit writeDone(generation, ok, ok ? QString() : m_library->lastError());
}

void GpibWorker::read(int ud, quint64 generation)
{
    QByteArray data;
    const bool ok = m_library->read(ud, &data);
    emit readDone(generation, ok, data, ok ? QString() : m_library->lastError());
}

void GpibWorker::clear(int ud)
{
    m_library->clear(ud);
}
