#pragma once

#include <QSqlDatabase>
#include <QList>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <optional>

// One named QtSql connection, removed from Qt's registry when destroyed: to an SQLite file,
// or through another driver to a database server. Every instance gets a name of its own, so
// several stores (tests, the repair's source and target, the lab server) can be open at the
// same time.
class SqlConnection
{
public:
    // Where a server connection goes; the password is left to the driver's own files.
    struct Server {
        QString driver;
        QString host;
        int port = -1;
        QString database;
        QString user;
        QString options;
    };

    explicit SqlConnection(const QString &filePath, const QString &options = QString());
    explicit SqlConnection(const Server &server);
    ~SqlConnection();
    SqlConnection(const SqlConnection &) = delete;
    SqlConnection &operator=(const SqlConnection &) = delete;

    bool open();
    void close() { m_db.close(); }
    bool isOpen() const { return m_db.isOpen(); }
    QSqlDatabase &db() { return m_db; }
    QSqlError lastError() const { return m_db.lastError(); }

private:
    QString m_name;
    QSqlDatabase m_db;
};

// Every row of the executed query `q`, each made by `make`; nullopt with *error when reading
// failed part-way.
template <typename Row, typename Make>
std::optional<QList<Row>> collectRows(QSqlQuery &q, Make make, QSqlError *error)
{
    QList<Row> rows;
    while (q.next())
        rows.append(make(q));
    if (q.lastError().isValid()) {
        *error = q.lastError();
        return std::nullopt;
    }
    return rows;
}

// Primary SQLite result code of a failed statement or open (the low byte of the native code).
int sqliteCode(const QSqlError &error);

// True for the result codes that mean the file is damaged: not a database, or corrupt.
bool isDamage(const QSqlError &error);

// A transaction that rolls back unless committed.
class Transaction
{
public:
    explicit Transaction(QSqlDatabase &db);
    // Takes over a transaction the caller has begun itself.
    struct AlreadyBegun {};
    Transaction(QSqlDatabase &db, AlreadyBegun) : m_db(db), m_started(true) {}
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool started() const { return m_started; }
    bool commit();

private:
    QSqlDatabase &m_db;
    bool m_started = false;
    bool m_done = false;
};
