#include "datalog/StoreClaim.h"

#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString StoreClaim::Holder::describe() const
{
    if (pid <= 0)
        return QStringLiteral("another program");
    return host.isEmpty() ? QStringLiteral("process %1").arg(pid)
                          : QStringLiteral("process %1 on host %2").arg(pid).arg(host);
}

StoreClaim::~StoreClaim()
{
    release();
}

StoreClaim::Holder StoreClaim::readHolder(const QString &lockFile)
{
    Holder h;
    QFile f(lockFile);
    if (!f.open(QIODevice::ReadOnly))
        return h;
    // "pid host", one line.
    const QList<QByteArray> words = f.readLine(512).trimmed().split(' ');
    bool ok = false;
    h.pid = words.value(0).toLongLong(&ok);
    if (!ok)
        h.pid = 0;
    h.host = QString::fromUtf8(words.value(1));
    return h;
}

StoreClaim::Result StoreClaim::claim(const QString &storeFile)
{
    release();
    m_holder = {};
    m_error.clear();
    const QByteArray path = QFile::encodeName(lockPath(storeFile));
    // Close-on-exec: a program this one starts must not keep the claim after it ends.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return Result::Failed;
    }
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int why = errno;
        ::close(fd);
        if (why == EWOULDBLOCK) {
            m_holder = readHolder(lockPath(storeFile));
            return Result::HeldElsewhere;
        }
        m_error = QString::fromLocal8Bit(std::strerror(why));
        return Result::Failed;
    }
    m_fd = fd;
    const QByteArray line = QByteArray::number(qint64(::getpid())) + ' '
        + QSysInfo::machineHostName().toUtf8() + '\n';
    // Only for the message of a second program: a failure to write it changes nothing.
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, line.constData(), size_t(line.size()), 0) < 0)
        m_error = QString::fromLocal8Bit(std::strerror(errno));
    return Result::Claimed;
}

void StoreClaim::release()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);  // lets the lock go; the file stays for the next program
    m_fd = -1;
}
