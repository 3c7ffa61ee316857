#pragma once

#include <QObject>
#include <QString>

// What the task engine needs of the serial link: the two line operations of the serial
// transport. The real one (SerialTransport) runs on QSerialPort; tests use a fake.
class SerialIo : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Sends `line` with every "," replaced by "." and the terminator appended; no answer read.
    virtual void serialWrite(const QString &line) = 0;
    // Sends `line` plus terminator and returns the answer text with its terminator, or an
    // empty text when no complete answer came in time. Lets events run while it waits.
    virtual QString serialQuery(const QString &line) = 0;

signals:
    // The open port failed (cable or adapter pulled). The engine treats it as a time-out.
    void linkFailed(const QString &reason);
};
