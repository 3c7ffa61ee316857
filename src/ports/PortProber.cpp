#include "ports/PortProber.h"

#include <QCollator>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

bool SerialPortProber::open(const QString &portName, int baudRate)
{
    close();
    m_port.setPortName(portName);
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    const bool configured = m_port.setBaudRate(baudRate) && m_port.setDataBits(QSerialPort::Data8)
        && m_port.setParity(QSerialPort::NoParity) && m_port.setStopBits(QSerialPort::OneStop)
        && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        m_port.close();
        return false;
    }
    m_port.clear();  // drop anything left over from a previous user of the line
    return true;
}

void SerialPortProber::close()
{
    if (m_port.isOpen())
        m_port.close();
}

void SerialPortProber::write(const QByteArray &bytes)
{
    if (m_port.isOpen())
        m_port.write(bytes);
}

QByteArray SerialPortProber::readAll()
{
    if (!m_port.isOpen())
        return {};
    return m_port.readAll();  // the event loop ran during the pause and collected the reply
}

bool PortLister::deviceExists(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return false;
    if (trimmed.contains(QLatin1Char('/')))
        return QFileInfo::exists(trimmed);
    return QFileInfo::exists(QStringLiteral("/dev/") + trimmed);
}

QStringList SystemPortLister::ports() const
{
    QStringList usb, other;
    m_descriptions.clear();
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString name = info.portName();
        if (m_descriptions.contains(name))
            continue;
        QStringList said;
        for (const QString &part : {info.description(), info.manufacturer()}) {
            if (!part.trimmed().isEmpty() && !said.contains(part.trimmed()))
                said << part.trimmed();
        }
        m_descriptions.insert(name, said.join(QStringLiteral(", ")));
        // An adapter plugged in by the user is the likeliest place of the supply.
        (info.hasVendorIdentifier() ? usb : other) << name;
    }
    QCollator natural;  // ttyS2 before ttyS10
    natural.setNumericMode(true);
    std::sort(usb.begin(), usb.end(), natural);
    std::sort(other.begin(), other.end(), natural);
    return usb + other;
}

QString SystemPortLister::describe(const QString &name) const
{
    return m_descriptions.value(name);
}
