#pragma once

#include <QObject>
#include <QString>

// What the task engine needs of the serial link: the two line operations of the serial
// transport. The real one (SerialTransport) runs on QSerialPort; tests use a fake.
// Nothing here waits in place: a query is started, and its answer arrives later through
// queryFinished, from the event loop and never inside the call that started it.
class SerialIo : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Sends `line` with every "," replaced by "." and the terminator appended; no answer read.
    virtual void serialWrite(const QString &line) = 0;
    // Sends `line` plus terminator and starts waiting for its answer. Exactly one
    // queryFinished follows unless cancelQuery() comes first. One query at a time.
    virtual void startQuery(const QString &line) = 0;
    // Forgets the query in flight: its queryFinished never comes.
    virtual void cancelQuery() = 0;

signals:
    // The answer text with its terminator, or empty when no complete answer came in time.
    void queryFinished(const QString &text);
    // The open port failed (cable or adapter pulled). The engine treats it as a time-out.
    void linkFailed(const QString &reason);
    // Something worth a line in the debug window (an over-long line dropped, say).
    void traceLine(const QString &text);
};
