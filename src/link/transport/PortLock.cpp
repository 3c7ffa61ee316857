#include "link/transport/PortLock.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

// A lock file is small; anything longer is not one and is not read whole.
constexpr qint64 MaxLockFileBytes = 4096;

bool processIsAlive(qint64 pid)
{
    if (pid <= 0 || pid > 0x3fffffff)
        return false;
    // EPERM: the process exists but belongs to someone else.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readLine(256)).trimmed();
}

} // namespace

QStringList PortLock::systemFolders()
{
    return {QStringLiteral("/var/lock"),       QStringLiteral("/etc/locks"),
            QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
            QStringLiteral("/tmp"),             QStringLiteral("/var/tmp"),
            QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock")};
}

QString PortLock::fileName(const QString &portName)
{
    // QSerialPort names the lock after the device's path less "/dev/"; a path elsewhere is
    // kept whole.
    QString name = portName;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

PortLock PortLock::find(const QString &portName, const QStringList &folders)
{
    PortLock lock;
    const QString name = fileName(portName);
    for (const QString &folder : folders) {
        const QString path = folder + QLatin1Char('/') + name;
        QFile file(path);
        if (!file.exists())
            continue;
        lock.file = path;
        lock.ownedByMe = QFileInfo(path).ownerId() == ::geteuid();
        // Written by Qt: pid, program, host, one a line. Other programs write the pid alone,
        // in ASCII (or, rarely, binary, which reads as no pid).
        QStringList lines;
        if (file.open(QIODevice::ReadOnly))
            lines = QString::fromLocal8Bit(file.read(MaxLockFileBytes)).split(QLatin1Char('\n'));
        lock.pid = lines.value(0).trimmed().toLongLong();
        lock.program = lines.value(1).trimmed();
        const QString host = lines.value(2).trimmed();
        const bool here = host.isEmpty() || host == QSysInfo::machineHostName();
        if (!here)
            lock.host = host;
        if (!here || processIsAlive(lock.pid)) {
            lock.state = State::Held;
            if (here) {
                const QString running = processName(lock.pid);
                if (!running.isEmpty())
                    lock.program = running;
            }
        } else {
            lock.state = State::Stale;
        }
        return lock;
    }
    return lock;
}

QString PortLock::describe() const
{
    const QString who = program.isEmpty() ? QStringLiteral("process %1").arg(pid)
                                          : QStringLiteral("process %1, %2").arg(pid).arg(program);
    switch (state) {
    case State::None:
        return {};
    case State::Held:
        if (!host.isEmpty())
            return QStringLiteral("The port is in use by %1 on host %2 (lock file %3).")
                .arg(who, host, file);
        return QStringLiteral("The port is in use by %1.").arg(who);
    case State::Stale:
        return QStringLiteral("The port is locked by a stale lock file, %1, left by %2, which is "
                              "no longer running. Remove it with: %3rm %1")
            .arg(file, who, ownedByMe ? QString() : QStringLiteral("sudo "));
    }
    return {};
}
