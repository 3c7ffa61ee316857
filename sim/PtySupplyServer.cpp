#include "sim/PtySupplyServer.h"

#include "sim/VirtualSupply.h"

#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr int MaxLineBytes = 4096;
constexpr int ClockIntervalMs = 50;

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
}

int baudFromSpeed(speed_t s)
{
    switch (s) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;
    }
}

} // namespace

PtySupplyServer::PtySupplyServer(VirtualSupply &supply, QObject *parent)
    : QObject(parent)
    , m_supply(supply)
{
    m_clock.setInterval(ClockIntervalMs);
    connect(&m_clock, &QTimer::timeout, this, &PtySupplyServer::tick);
}

PtySupplyServer::~PtySupplyServer()
{
    stop();
}

bool PtySupplyServer::start(const QString &linkPath)
{
    stop();
    m_error.clear();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0) {
        m_error = systemError("posix_openpt");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        m_error = systemError("grantpt/unlockpt");
        closePty();
        return false;
    }
    char name[128];
    if (ptsname_r(m_master, name, sizeof name) != 0) {
        m_error = systemError("ptsname");
        closePty();
        return false;
    }
    m_slaveName = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        m_error = systemError("open slave");
        closePty();
        return false;
    }
    termios tio{};
    if (tcgetattr(m_slave, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetspeed(&tio, B9600);
        tcsetattr(m_slave, TCSANOW, &tio);
    }

    if (!linkPath.isEmpty()) {
        const QFileInfo existing(linkPath);
        if (existing.isSymLink()) {
            QFile::remove(linkPath);
        } else if (existing.exists()) {
            m_error = QStringLiteral("%1 exists and is not a link").arg(linkPath);
            closePty();
            return false;
        }
        if (::symlink(name, QFile::encodeName(linkPath).constData()) != 0) {
            m_error = systemError("symlink");
            closePty();
            return false;
        }
        m_linkPath = linkPath;
    }

    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtySupplyServer::onReadable);
    m_elapsed.start();
    m_lastMs = 0;
    m_clock.start();
    return true;
}

void PtySupplyServer::closePty()
{
    ++m_generation;  // answers still scheduled are not sent
    m_clock.stop();
    delete m_notifier;
    m_notifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = -1;
    m_slave = -1;
    m_pending.clear();
    if (!m_linkPath.isEmpty()) {
        QFile::remove(m_linkPath);
        m_linkPath.clear();
    }
}

void PtySupplyServer::stop()
{
    closePty();
}

void PtySupplyServer::dropLink()
{
    if (!isRunning())
        return;
    closePty();
    emit linkDropped();
}

bool PtySupplyServer::setLogFile(const QString &path)
{
    m_log.close();
    m_log.setFileName(path);
    return m_log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

int PtySupplyServer::portBaudRate() const
{
    termios tio{};
    if (m_slave < 0 || tcgetattr(m_slave, &tio) != 0)
        return 0;
    return baudFromSpeed(cfgetospeed(&tio));
}

void PtySupplyServer::tick()
{
    const qint64 now = m_elapsed.elapsed();
    m_supply.advance(int(now - m_lastMs));
    m_lastMs = now;
}

void PtySupplyServer::onReadable()
{
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            m_pending.append(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;  // EAGAIN: drained; EIO: no client at the moment
    }
    qsizetype nl;
    while (isRunning() && (nl = m_pending.indexOf('\n')) >= 0) {
        QByteArray line = m_pending.left(nl);
        m_pending.remove(0, nl + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        handleLine(line);
    }
    if (m_pending.size() > MaxLineBytes)
        m_pending.clear();  // noise without line ends: nothing a supply would keep
}

void PtySupplyServer::handleLine(const QByteArray &raw)
{
    const QString line = QString::fromLatin1(raw);
    if (m_log.isOpen()) {
        m_log.write(raw + '\n');
        m_log.flush();
    }
    tick();
    const std::optional<QString> answer = m_supply.handleLine(line);
    emit lineReceived(line);
    if (!answer || !isRunning())
        return;

    const FaultPlan::Delivery d = m_supply.faults().shape(*answer + QLatin1Char('\n'));
    // On a real line the answer's last byte arrives only after the query's bytes and its
    // own have crossed the wire: ten bits a byte at the port's speed.
    const int baud = m_wireTime ? portBaudRate() : 0;
    qint64 wireBytes = raw.size() + 1;
    const quint64 generation = m_generation;
    for (int i = 0; i < d.parts.size(); ++i) {
        const QByteArray bytes = d.parts[i].toLatin1();
        wireBytes += bytes.size();
        int at = d.atMs[i];
        if (baud > 0)
            at += int((wireBytes * 10 * 1000 + baud / 2) / baud);
        if (at <= 0) {
            send(bytes);
            continue;
        }
        QTimer::singleShot(at, Qt::PreciseTimer, this, [this, bytes, generation] {
            if (generation == m_generation)
                send(bytes);
        });
    }
}

qsizetype PtySupplyServer::inject(const char *data, qsizetype size)
{
    if (m_master < 0 || size <= 0)
        return 0;
    const ssize_t n = ::write(m_master, data, size_t(size));
    return n > 0 ? qsizetype(n) : 0;
}

void PtySupplyServer::send(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return;  // nobody reads and the buffer is full: the rest is lost, as on a wire
    }
}

} // namespace sim
