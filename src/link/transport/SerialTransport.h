#pragma once

#include "link/SerialIo.h"
#include "link/transport/BoundedInput.h"

#include <QSerialPort>
#include <QString>
#include <QTimer>

// The serial link to the supply on QSerialPort: 8 data bits, no parity, one stop bit, lines
// ended by line feed. A query is a small state machine on one timer: the first read 50 ms
// after sending (300 ms for "*IDN?"), one retry 100 ms later when nothing came, and 50 ms
// more for the rest of an incomplete answer. Bytes arrive through readyRead into a bounded
// buffer; whatever comes while no query waits is discarded. A port that fails while open
// (cable or adapter pulled) is closed and reported once, from the event loop.
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

    // Closes the port if open, sets port and speed, opens it and sends "REMOTE". The caller
    // waits OpenSettleMs before the first query. `portName` is a system name ("ttyUSB0") or
    // a path ("/tmp/zep/link"). False (with errorString()) when the port cannot be opened.
    bool open(const QString &portName, int baudRate);
    void close();
    bool isOpen() const { return m_port.isOpen(); }
    QString portName() const { return m_port.portName(); }
    int baudRate() const { return m_port.baudRate(); }
    QString errorString() const { return m_error; }

    // Bytes received and not yet taken by a query (the bounded buffer and the port's own).
    qsizetype bufferedBytes() const { return m_input.size() + m_port.bytesAvailable(); }

    // Lines sent since the port was opened ("REMOTE" included).
    quint64 linesSent() const { return m_linesSent; }

    // The last complete answer a query returned.
    QString lastAnswer() const { return m_lastAnswer; }

    // SerialIo
    void serialWrite(const QString &line) override;
    void startQuery(const QString &line) override;
    void cancelQuery() override;

    QSerialPort &port() { return m_port; }

private:
    // Why the port did not open, with who holds its lock or what right is missing.
    QString openFailure(const QString &portName) const;

    enum class Step { Idle, FirstRead, Retry, Rest };

    void send(const QString &line);
    void drainPort();
    QString takeInput();
    void onReadTimer();
    void finishQuery(const QString &text);
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QTimer m_readTimer;
    BoundedInput m_input;
    Step m_step = Step::Idle;
    QString m_partial;
    QString m_error;
    QString m_lastAnswer;
    quint64 m_linesSent = 0;
    bool m_failed = false;
};
