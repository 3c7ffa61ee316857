#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// One named QtSql connection to an SQLite file, removed from Qt's registry when destroyed.
// Every instance gets a name of its own, so several stores (tests, the repair's source and
// target) can be open at the same time.
class SqlConnection
{
public:
    explicit SqlConnection(const QString &filePath, const QString &options = QString());
    ~SqlConnection();
    SqlConnection(const SqlConnection &) = delete;
    SqlConnection &operator=(const SqlConnection &) = delete;

    bool open();
    QSqlDatabase &db() { return m_db; }
    QSqlError lastError() const { return m_db.lastError(); }

private:
    QString m_name;
    QSqlDatabase m_db;
};

// Primary SQLite result code of a failed statement or open (the low byte of the native code).
int sqliteCode(const QSqlError &error);

// True for the result codes that mean the file is damaged: not a database, or corrupt.
bool isDamage(const QSqlError &error);

// A transaction that rolls back unless committed.
class Transaction
{
public:
    explicit Transaction(QSqlDatabase &db);
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
