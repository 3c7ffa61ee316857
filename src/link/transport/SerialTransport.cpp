#include "link/transport/SerialTransport.h"

#include "common/Wait.h"
#include "link/Commands.h"

#include <QTimer>

namespace {

constexpr char Terminator = '\n';

bool endsWithTerminator(const QString &text)
{
    return text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'));
}

} // namespace

SerialTransport::SerialTransport(QObject *parent)
    : SerialIo(parent)
{
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
        m_error = QStringLiteral("Cannot open %1: %2").arg(portName, m_port.errorString());
        return false;
    }
    m_error.clear();
    send(Commands::remote());
    Wait::ms(OpenSettleMs);
    return m_port.isOpen();
}

void SerialTransport::close()
{
    if (m_port.isOpen())
        m_port.close();
}

void SerialTransport::send(const QString &line)
{
    if (!m_port.isOpen())
        return;
    m_port.write(line.toLatin1() + Terminator);
    m_port.flush();
}

QString SerialTransport::takeInput()
{
    if (!m_port.isOpen())
        return QString();
    return QString::fromLatin1(m_port.readAll());
}

void SerialTransport::serialWrite(const QString &line)
{
    // A command never needs a literal comma; a locale's decimal comma becomes a point.
    QString out = line;
    out.replace(QLatin1Char(','), QLatin1Char('.'));
    send(out);
}

QString SerialTransport::serialQuery(const QString &line)
{
    if (!m_port.isOpen())
        return QString();  // a closed or failed port has nothing to wait for
    send(line);
    Wait::pumpEvents();
    if (line == QLatin1String("*IDN?"))
        Wait::ms(IdnExtraWaitMs);
    Wait::ms(ReadWaitMs);
    QString text = takeInput();
    if (text.isEmpty()) {
        Wait::pumpEvents();
        Wait::ms(RetryWaitMs);
        text = takeInput();
        if (text.isEmpty())
            return QString();
    }
    if (!endsWithTerminator(text)) {
        Wait::pumpEvents();
        Wait::ms(ContinueWaitMs);
        text += takeInput();
        if (!endsWithTerminator(text))
            return QString();
    }
    m_lastAnswer = text;
    return text;
}

void SerialTransport::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError
        || error == QSerialPort::NotOpenError || !m_port.isOpen() || m_failed) {
        return;
    }
    // The port is gone (cable or adapter pulled, or the other end closed). Close it from
    // the event loop, not inside QSerialPort's own notification, and say so once.
    m_failed = true;
    m_error = QStringLiteral("The serial port %1 stopped working (%2)")
                  .arg(m_port.portName(), m_port.errorString());
    QTimer::singleShot(0, this, [this] { close(); });
    emit linkFailed(m_error);
}
