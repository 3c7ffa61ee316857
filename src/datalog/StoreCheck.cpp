#include "datalog/StoreCheck.h"

#include <QFile>
#include <QPointer>

#include <mutex>
#include <sqlite3.h>
#include <thread>

namespace {

using Kind = StoreCheck::Outcome::Kind;

StoreCheck::Outcome failure(sqlite3 *db, int code)
{
    const int primary = code & 0xff;
    StoreCheck::Outcome out;
    out.kind = primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB ? Kind::Damaged : Kind::Failed;
    out.number = QString::number(code);
    out.description = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
    return out;
}

// Runs the check on an open connection; `db` may be interrupted from another thread.
StoreCheck::Outcome check(sqlite3 *db)
{
    sqlite3_stmt *statement = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &statement, nullptr);
    if (rc != SQLITE_OK)
        return failure(db, sqlite3_extended_errcode(db));
    StoreCheck::Outcome out;
    rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
        const QString first = QString::fromUtf8(text ? text : "");
        if (first == QLatin1String("ok")) {
            out.kind = Kind::Ok;
        } else {
            out.kind = Kind::Damaged;
            out.number = QStringLiteral("0");
            out.description = QStringLiteral("Integrity check failed: %1").arg(first);
        }
    } else {
        out = failure(db, sqlite3_extended_errcode(db));
    }
    sqlite3_finalize(statement);
    return out;
}

} // namespace

struct StoreCheck::Worker {
    std::thread thread;
    std::mutex mutex;
    sqlite3 *db = nullptr;  // while the check runs, for interrupting it
    bool cancelled = false;
    bool running = false;
};

StoreCheck::Outcome StoreCheck::run(const QString &file)
{
    sqlite3 *db = nullptr;
    const QByteArray path = QFile::encodeName(file);
    const int rc = sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    Outcome out = rc == SQLITE_OK ? check(db) : failure(db, rc);
    sqlite3_close(db);
    return out;
}

StoreCheck::StoreCheck(QObject *parent) : QObject(parent) {}

StoreCheck::~StoreCheck()
{
    if (!m_worker)
        return;
    {
        const std::lock_guard lock(m_worker->mutex);
        m_worker->cancelled = true;
        if (m_worker->db)
            sqlite3_interrupt(m_worker->db);
    }
    if (m_worker->thread.joinable())
        m_worker->thread.join();
}

bool StoreCheck::isRunning() const
{
    if (!m_worker)
        return false;
    const std::lock_guard lock(m_worker->mutex);
    return m_worker->running;
}

void StoreCheck::start(const QString &file)
{
    if (m_worker && m_worker->thread.joinable())
        m_worker->thread.join();
    auto worker = std::make_shared<Worker>();
    worker->running = true;
    m_worker = worker;
    QPointer<StoreCheck> self(this);
    worker->thread = std::thread([worker, self, file] {
        sqlite3 *db = nullptr;
        const QByteArray path = QFile::encodeName(file);
        int rc = sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        {
            const std::lock_guard lock(worker->mutex);
            worker->db = db;
            if (worker->cancelled && db)
                sqlite3_interrupt(db);
        }
        Outcome out = rc == SQLITE_OK ? check(db) : failure(db, rc);
        bool cancelled = false;
        {
            const std::lock_guard lock(worker->mutex);
            worker->db = nullptr;
            worker->running = false;
            cancelled = worker->cancelled;
        }
        sqlite3_close(db);
        // Delivered on the object's thread; the destructor waits for this thread, so the
        // object is still there when the call is posted.
        if (!cancelled) {
            QMetaObject::invokeMethod(self.data(), [self, out] {
                if (self)
                    emit self->finished(out);
            }, Qt::QueuedConnection);
        }
    });
}
