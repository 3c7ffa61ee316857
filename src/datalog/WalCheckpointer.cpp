#include "datalog/WalCheckpointer.h"

#include <sqlite3.h>

WalCheckpointer::WalCheckpointer(sqlite3 *connection, const QByteArray &file)
    : m_connection(connection), m_file(file), m_thread([this] { run(); })
{
    sqlite3_wal_hook(m_connection, &WalCheckpointer::committed, this);
}

WalCheckpointer::~WalCheckpointer()
{
    sqlite3_wal_autocheckpoint(m_connection, Threshold);
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

int WalCheckpointer::committed(void *self, sqlite3 *, const char *, int pages)
{
    if (pages >= Threshold)
        static_cast<WalCheckpointer *>(self)->request();
    return SQLITE_OK;
}

void WalCheckpointer::request()
{
    {
        const std::lock_guard lock(m_mutex);
        m_pending = true;
    }
    m_wake.notify_all();
}

void WalCheckpointer::run()
{
    sqlite3 *own = nullptr;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_pending || m_stop; });
        if (m_stop)
            break;
        m_pending = false;
        lock.unlock();
        // Opened when first needed: most runs never fill the log. A copy that cannot be made
        // now (the file busy) is made by the next long commit, or when the store is closed.
        if (!own) {
            // A first read puts the new connection in log mode; before it a checkpoint does nothing.
            if (sqlite3_open_v2(m_file.constData(), &own, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
                    != SQLITE_OK
                || sqlite3_exec(own, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK) {
                sqlite3_close(own);
                own = nullptr;
            }
        }
        if (own)
            sqlite3_wal_checkpoint_v2(own, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        lock.lock();
    }
    lock.unlock();
    sqlite3_close(own);
}
