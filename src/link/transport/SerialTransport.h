#pragma once

#include "link/SerialIo.h"

#include <QSerialPort>
#include <QString>

// The serial link to the supply on QSerialPort: 8 data bits, no parity, one stop bit, lines
// ended by line feed. The query waits with the event loop running, so the window keeps
// painting. A port that fails while open (cable or adapter pulled) reports linkFailed once.
class SerialTransport : public SerialIo
{
    Q_OBJECT
public:
    static constexpr int OpenSettleMs = 800;   // after "REMOTE", before identification
    static constexpr int IdnExtraWaitMs = 250; // "*IDN?" takes the supply longer
    static constexpr int ReadWaitMs = 50;      // before the first read of an answer
    static constexpr int RetryWaitMs = 100;    // before the one retry when nothing came
    static constexpr int ContinueWaitMs = 50;  // for the rest of an incomplete answer

    explicit SerialTransport(QObject *parent = nullptr);
    ~SerialTransport() override;

    // The opening sequence of the serial link: close if open, set port and speed, open,
    // send "REMOTE", wait 800 ms. `portName` is a system name ("ttyUSB0") or a path
    // ("/tmp/zep/link"). False (with errorString()) when the port cannot be opened.
    bool open(const QString &portName, int baudRate);
    void close();
    bool isOpen() const { return m_port.isOpen(); }
    QString portName() const { return m_port.portName(); }
    int baudRate() const { return m_port.baudRate(); }
    QString errorString() const { return m_error; }

    // The last complete answer a query returned.
    QString lastAnswer() const { return m_lastAnswer; }

    // SerialIo
    void serialWrite(const QString &line) override;
    QString serialQuery(const QString &line) override;

    QSerialPort &port() { return m_port; }

private:
    void send(const QString &line);
    QString takeInput();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_error;
    QString m_lastAnswer;
    bool m_failed = false;
};
