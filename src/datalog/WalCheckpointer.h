#pragma once

#include <QByteArray>

#include <condition_variable>
#include <mutex>
#include <thread>

struct sqlite3;

// Copies the write-ahead log of the record database into the file on a thread of its own,
// in place of SQLite's checkpoint at the end of a commit: a save of a long record returns once
// its samples are committed to the log (and synced), not after they were written a second
// time. The log is copied whenever a commit leaves it longer than SQLite's own threshold.
class WalCheckpointer
{
public:
    // Watches `connection`'s commits; copies through a connection of its own to `file`.
    WalCheckpointer(sqlite3 *connection, const QByteArray &file);
    // Lets a running copy finish, then gives the commits back to SQLite's own checkpoint.
    ~WalCheckpointer();
    WalCheckpointer(const WalCheckpointer &) = delete;
    WalCheckpointer &operator=(const WalCheckpointer &) = delete;

    // Pages in the log after a commit from which it is copied (SQLite's default).
    static constexpr int Threshold = 1000;

private:
    static int committed(void *self, sqlite3 *connection, const char *database, int pages);
    void request();
    void run();

    sqlite3 *m_connection;
    QByteArray m_file;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_pending = false;
    bool m_stop = false;
    std::thread m_thread;
};
