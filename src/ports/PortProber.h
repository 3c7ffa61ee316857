#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QString>
#include <QHash>
#include <QStringList>

// The serial line operations the port search needs: open a port at a baud rate (8 data bits,
// no parity, 1 stop bit), send bytes, take whatever has been received so far, close.
// The real one runs on its own QSerialPort; tests use a scripted fake.
class PortProber
{
public:
    virtual ~PortProber() = default;

    // False when the port is missing, busy or refuses the settings; the prober stays closed.
    virtual bool open(const QString &portName, int baudRate) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void write(const QByteArray &bytes) = 0;
    // Everything received since the last read (empty when nothing came).
    virtual QByteArray readAll() = 0;
};

class SerialPortProber : public PortProber
{
public:
    bool open(const QString &portName, int baudRate) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    void write(const QByteArray &bytes) override;
    QByteArray readAll() override;

private:
    QSerialPort m_port;
};

// Where the port names offered in the list come from.
class PortLister
{
public:
    virtual ~PortLister() = default;
    // System port names ("ttyUSB0", "ttyS0"): USB adapters first, each group in natural order.
    virtual QStringList ports() const = 0;
    // What the system says of the port ("FT232R USB UART, FTDI"); empty when nothing.
    virtual QString describe(const QString &) const { return QString(); }

    // True when `name` is a device that exists now: a path ("/tmp/x/link") as given, a
    // system name ("ttyUSB0") under /dev.
    static bool deviceExists(const QString &name);
};

class SystemPortLister : public PortLister
{
public:
    QStringList ports() const override;
    QString describe(const QString &name) const override;

private:
    mutable QHash<QString, QString> m_descriptions;  // as of the last ports()
};
