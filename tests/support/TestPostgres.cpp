#include "TestPostgres.h"

#include <QDir>
#include <algorithm>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

namespace {

constexpr const char *ServerUser = "nobody";

bool asRoot()
{
    return ::geteuid() == 0;
}

} // namespace

TestPostgres::TestPostgres() = default;

TestPostgres::~TestPostgres()
{
    if (isRunning() && !stop())
        kill();
}

QString TestPostgres::binDir()
{
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(found.begin(), found.end(), [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &version : found) {
        const QString bin = versions.filePath(version + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return QString();
}

bool TestPostgres::run(const QString &program, const QStringList &args, QString *why, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    // The server's programs refuse to run as root: they run as an ordinary user instead.
    if (asRoot())
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QLatin1String(ServerUser), QStringLiteral("--"),
                                                       binDir() + QLatin1Char('/') + program} + args);
    else
        p.start(binDir() + QLatin1Char('/') + program, args);
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(5000);
        }
        if (why)
            *why = QStringLiteral("%1 failed: %2 %3").arg(program, p.errorString(), QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    return true;
}

bool TestPostgres::start(QString *why, bool durable)
{
    if (binDir().isEmpty()) {
        *why = QStringLiteral("The PostgreSQL server programs (initdb, pg_ctl) are not installed under "
                              "/usr/lib/postgresql/*/bin: install the package \"postgresql-15\" "
                              "(scripts/zep test does).");
        return false;
    }
    if (!m_initialised) {
        m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zep-pg-XXXXXX"));
        if (!m_dir->isValid()) {
            *why = QStringLiteral("No temporary folder: ") + m_dir->errorString();
            return false;
        }
        if (asRoot()) {
            const passwd *pw = ::getpwnam(ServerUser);
            if (!pw || ::chown(QFile::encodeName(m_dir->path()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
                *why = QStringLiteral("Cannot give %1 to the user %2.").arg(m_dir->path(), QLatin1String(ServerUser));
                return false;
            }
        }
        // The socket's name holds the port: any port is free inside our own folder.
        m_port = 20000 + int(QRandomGenerator::global()->bounded(40000));
        if (!run(QStringLiteral("initdb"), {QStringLiteral("-D"), m_dir->path() + QStringLiteral("/data"),
                                            QStringLiteral("-U"), user(), QStringLiteral("--auth=trust"),
                                            QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-locale"),
                                            QStringLiteral("--no-sync")}, why))
            return false;
        m_initialised = true;
    }
    QString options = QStringLiteral("-k %1 -p %2 -c listen_addresses='' -c max_connections=40")
                          .arg(m_dir->path()).arg(m_port);
    if (!durable)
        options += QStringLiteral(" -c fsync=off -c full_page_writes=off");
    return run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_dir->path() + QStringLiteral("/data"),
                                          QStringLiteral("-o"), options, QStringLiteral("-l"), log(),
                                          QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                                          QStringLiteral("start")}, why);
}

QString TestPostgres::log() const
{
    return m_dir ? m_dir->path() + QStringLiteral("/server.log") : QString();
}

qint64 TestPostgres::serverPid() const
{
    if (!m_dir)
        return 0;
    QFile pidFile(m_dir->path() + QStringLiteral("/data/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return 0;
    return pidFile.readLine().trimmed().toLongLong();
}

bool TestPostgres::isRunning() const
{
    const qint64 pid = serverPid();
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

bool TestPostgres::kill()
{
    const qint64 pid = serverPid();
    if (pid <= 0)
        return false;
    // SIGQUIT: immediate shutdown; every backend exits without finishing its work.
    ::kill(pid_t(pid), SIGQUIT);
    for (int i = 0; i < 500 && ::kill(pid_t(pid), 0) == 0; ++i)
        QThread::msleep(20);
    return ::kill(pid_t(pid), 0) != 0;
}

bool TestPostgres::freeze(bool frozen)
{
    const qint64 pid = serverPid();
    if (pid <= 0)
        return false;
    const int signal = frozen ? SIGSTOP : SIGCONT;
    // The backends are children of the server's first process.
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const qint64 child = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // "pid (name) state ppid ...": the name may hold blanks, so read after its ')'.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == pid)
            ::kill(pid_t(child), signal);
    }
    return ::kill(pid_t(pid), signal) == 0;
}

bool TestPostgres::stop()
{
    if (!m_initialised)
        return true;
    return run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_dir->path() + QStringLiteral("/data"),
                                          QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                                          QStringLiteral("stop")}, nullptr);
}

bool TestPostgres::createDatabase(const QString &name, QString *why)
{
    const QString connection = QStringLiteral("test-postgres-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setHostName(host());
        db.setPort(m_port);
        db.setUserName(user());
        db.setDatabaseName(QStringLiteral("postgres"));
        if (!db.open()) {
            *why = db.lastError().text();
        } else {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
            if (!ok)
                *why = q.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

RecordPlaceSettings TestPostgres::labServer(const QString &name) const
{
    RecordPlaceSettings where;
    where.place = RecordPlaceSettings::Place::LabServer;
    where.host = host();
    where.port = port();
    where.user = user();
    where.database = name;
    return where;
}
