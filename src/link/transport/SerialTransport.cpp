#include "link/transport/SerialTransport.h"

#include "link/Commands.h"
#include "link/transport/PortLock.h"

#include <QFile>
#include <cerrno>
#include <unistd.h>

namespace {

constexpr char Terminator = '\n';
constexpr qint64 ReadChunkBytes = 16 * 1024;

} // namespace

SerialTransport::SerialTransport(QObject *parent)
    : SerialIo(parent)
{
    m_readTimer.setSingleShot(true);
    m_readTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_readTimer, &QTimer::timeout, this, &SerialTransport::onReadTimer);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialTransport::drainPort);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialTransport::onError);
}

SerialTransport::~SerialTransport()
{
    close();
}

bool SerialTransport::open(const QString &portName, int baudRate)
{
    close();
    m_failed = false;
    m_port.setPortName(portName);
    m_port.setBaudRate(baudRate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = openFailure(portName);
        return false;
    }
    m_error.clear();
    m_linesSent = 0;
    send(Commands::remote());
    return m_port.isOpen();
}

QString SerialTransport::openFailure(const QString &portName) const
{
    QString text = QStringLiteral("Cannot open %1: %2").arg(portName, m_port.errorString());
    if (m_port.error() == QSerialPort::DeviceNotFoundError)
        return text;
    // A lock file names who holds the port; QSerialPort reports a lock it cannot take or
    // remove as a permission error, which is not the user's missing right to the device.
    const PortLock lock = PortLock::find(portName);
    if (lock.state != PortLock::State::None)
        text += QLatin1Char('\n') + lock.describe();
    else if (m_port.error() != QSerialPort::PermissionError)
        return text;
    const QString device = portName.startsWith(QLatin1Char('/')) || portName.startsWith(QLatin1Char('.'))
        ? portName : QStringLiteral("/dev/") + portName;
    // The usual reason on Debian, whether or not a lock is in the way too: serial devices
    // belong to the group dialout.
    if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0 && errno == EACCES)
        text += QStringLiteral("\nTo use serial ports, add your user to the group "
                               "\"dialout\" (sudo adduser $USER dialout) and log in again.");
    return text;
}

void SerialTransport::close()
{
    cancelQuery();
    m_input.clear();
    if (m_port.isOpen())
        m_port.close();
}

void SerialTransport::send(const QString &line)
{
    if (!m_port.isOpen())
        return;
    m_port.write(line.toLatin1() + Terminator);
    m_port.flush();
    ++m_linesSent;
}

void SerialTransport::drainPort()
{
    while (m_port.isOpen() && m_port.bytesAvailable() > 0) {
        const QByteArray chunk = m_port.read(ReadChunkBytes);
        if (chunk.isEmpty())
            break;
        // Nobody asked: nothing to pair it with, so it is not kept.
        if (m_step == Step::Idle)
            continue;
        if (m_input.append(chunk.constData(), chunk.size()) > 0)
            emit traceLine(QStringLiteral("RS232: a line longer than %1 bytes was dropped")
                               .arg(BoundedInput::MaxLineBytes));
    }
}

QString SerialTransport::takeInput()
{
    drainPort();
    return QString::fromLatin1(m_input.take());
}

void SerialTransport::serialWrite(const QString &line)
{
    // A command never needs a literal comma; a locale's decimal comma becomes a point.
    QString out = line;
    out.replace(QLatin1Char(','), QLatin1Char('.'));
    send(out);
}

void SerialTransport::startQuery(const QString &line)
{
    cancelQuery();
    if (!m_port.isOpen()) {
        // A closed or failed port has nothing to wait for; still answer from the event loop.
        m_step = Step::Rest;
        m_partial.clear();
        m_readTimer.start(0);
        return;
    }
    drainPort();  // stale bytes belong to no query
    m_input.clear();
    m_partial.clear();
    send(line);
    m_step = Step::FirstRead;
    const bool identity = line == QLatin1String("*IDN?");
    m_readTimer.start(ReadWaitMs + (identity ? IdnExtraWaitMs : 0));
}

void SerialTransport::cancelQuery()
{
    m_readTimer.stop();
    m_step = Step::Idle;
    m_partial.clear();
}

void SerialTransport::onReadTimer()
{
    // Whole lines only: a line still arriving stays in the input until its terminator.
    const QString text = m_partial + takeInput();
    const bool arriving = m_input.hasPartialLine();
    switch (m_step) {
    case Step::Idle:
        return;
    case Step::FirstRead:
        if (text.isEmpty() && !arriving) {
            m_step = Step::Retry;
            m_readTimer.start(RetryWaitMs);
            return;
        }
        [[fallthrough]];
    case Step::Retry:
        if (arriving) {
            m_partial = text;
            m_step = Step::Rest;
            m_readTimer.start(ContinueWaitMs);
            return;
        }
        return finishQuery(text);
    case Step::Rest:
        return finishQuery(arriving ? QString() : text);
    }
}

void SerialTransport::finishQuery(const QString &text)
{
    m_step = Step::Idle;
    m_partial.clear();
    if (!text.isEmpty())
        m_lastAnswer = text;
    emit queryFinished(text);
}

void SerialTransport::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError
        || error == QSerialPort::NotOpenError || !m_port.isOpen() || m_failed) {
        return;
    }
    // The port is gone (cable or adapter pulled, or the other end closed). Close it and say
    // so once, from the event loop rather than inside QSerialPort's own notification; a
    // transport deleted meanwhile says nothing.
    m_failed = true;
    m_error = QStringLiteral("The serial port %1 stopped working (%2)")
                  .arg(m_port.portName(), m_port.errorString());
    QTimer::singleShot(0, this, [this] {
        close();
        emit linkFailed(m_error);
    });
}
