#pragma once

#include "settings/RecordPlaceSettings.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A PostgreSQL server of the test's own: a cluster made with initdb in a temporary folder,
// reached only through a Unix socket in that folder, so tests running side by side never
// meet. When the test runs as root the server runs as "nobody" (the server refuses root),
// and the folder belongs to that user. Stopped and removed when the object goes.
class TestPostgres
{
public:
    TestPostgres();
    ~TestPostgres();
    TestPostgres(const TestPostgres &) = delete;
    TestPostgres &operator=(const TestPostgres &) = delete;

    // The folder of initdb and pg_ctl (the newest installed version); empty when missing.
    static QString binDir();

    // Makes the cluster (first time) and starts the server; false with *why on failure.
    // `durable` keeps the server's syncs to disk (for timings); tests leave them off.
    bool start(QString *why, bool durable = false);
    // Ends the server at once, as a crash or a pulled cable would: open connections break and
    // unfinished transactions are lost. Safe from any thread.
    bool kill();
    bool stop();
    bool isRunning() const;
    // Stops (SIGSTOP) or resumes (SIGCONT) the server and every process of it, as a server
    // that hangs would be: connections stay open and nothing answers.
    bool freeze(bool frozen);

    // Where clients connect: the socket folder as host, the port, the cluster's superuser.
    QString host() const { return m_dir ? m_dir->path() : QString(); }
    int port() const { return m_port; }
    QString user() const { return QStringLiteral("zep"); }
    QString log() const;

    // Makes an empty database; false with *why on failure.
    bool createDatabase(const QString &name, QString *why);
    // The settings that choose database `name` of this server as the lab server.
    RecordPlaceSettings labServer(const QString &name) const;

private:
    bool run(const QString &program, const QStringList &args, QString *why, int timeoutMs = 60000);
    qint64 serverPid() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    int m_port = 0;
    bool m_initialised = false;
};
