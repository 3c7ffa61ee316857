#include "datalog/SqlConnection.h"

#include <atomic>

namespace {

std::atomic<int> connectionCounter{0};

constexpr int SqliteCorrupt = 11;
constexpr int SqliteNotADatabase = 26;

} // namespace

SqlConnection::SqlConnection(const QString &filePath, const QString &options)
    : m_name(QStringLiteral("zep-store-%1").arg(++connectionCounter))
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(filePath);
    m_db.setConnectOptions(options);
}

SqlConnection::SqlConnection(const Server &server)
    : m_name(QStringLiteral("zep-store-%1").arg(++connectionCounter))
{
    m_db = QSqlDatabase::addDatabase(server.driver, m_name);
    m_db.setHostName(server.host);
    if (server.port > 0)
        m_db.setPort(server.port);
    m_db.setDatabaseName(server.database);
    m_db.setUserName(server.user);
    m_db.setConnectOptions(server.options);
}

SqlConnection::~SqlConnection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool SqlConnection::open()
{
    return m_db.open();
}

int sqliteCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xff) : 0;
}

bool isDamage(const QSqlError &error)
{
    const int code = sqliteCode(error);
    return code == SqliteCorrupt || code == SqliteNotADatabase;
}

Transaction::Transaction(QSqlDatabase &db) : m_db(db)
{
    m_started = m_db.transaction();
}

Transaction::~Transaction()
{
    if (m_started && !m_done)
        m_db.rollback();
}

bool Transaction::commit()
{
    if (!m_started || m_done)
        return false;
    m_done = m_db.commit();
    return m_done;
}
