#pragma once

#include "link/GpibBoard.h"

#include <QByteArray>
#include <QString>
#include <QThread>
#include <memory>

class GpibLibrary;
class GpibWorker;

// A GPIB board driven through the linux-gpib library, loaded when first configured (the
// program runs without it; configure() then fails with a clear message). The library's
// calls block, so they run on a worker thread; their outcomes come back to the thread
// that owns the board as the board's signals.
class LinuxGpibBoard : public GpibBoard
{
    Q_OBJECT
public:
    static constexpr const char *DefaultLibrary = "libgpib.so.0";

    explicit LinuxGpibBoard(QObject *parent = nullptr,
                            const QString &library = QLatin1String(DefaultLibrary));
    ~LinuxGpibBoard() override;

    bool configure() override;
    bool write(const QString &message) override;
    void read() override;
    void reset() override;

    bool isConfigured() const { return m_device >= 0; }

signals:
    // Calls for the worker on its thread (connected queued; opening blocks until done).
    void openRequested(int board, int pad, int previous);
    void closeRequested(int ud);
    void writeRequested(int ud, const QByteArray &data, quint64 generation);
    void readRequested(int ud, quint64 generation);
    void clearRequested(int ud);

private:
    void onWriteDone(quint64 generation, bool ok, const QString &error);
    void onReadDone(quint64 generation, bool ok, const QByteArray &data, const QString &error);

    QString m_libraryName;
    std::shared_ptr<GpibLibrary> m_library;
    QThread m_thread;
    GpibWorker *m_worker = nullptr;
    int m_device = -1;
    quint64 m_generation = 0;
};
