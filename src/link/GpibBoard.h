#pragma once

#include <QObject>
#include <QString>

// An IEEE-488 board addressing one instrument. Writes and reads are asynchronous: they are
// started here and finished by the signals, which always arrive on the UI thread.
class GpibBoard : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void setBoard(int board) { m_board = board; }
    void setPrimaryAddress(int address) { m_address = address; }
    int board() const { return m_board; }
    int primaryAddress() const { return m_address; }

    // Applies board and address. False (with errorString()) when the board cannot be used.
    virtual bool configure() = 0;
    // Starts writing one message (no terminator; the bus marks the end). False when the
    // write cannot be started.
    virtual bool write(const QString &message) = 0;
    // Starts reading one answer.
    virtual void read() = 0;
    // Drops whatever the board was doing.
    virtual void reset() = 0;

    QString errorString() const { return m_error; }

signals:
    void writeComplete();
    void dataRead(const QString &data);
    void error(const QString &text);

protected:
    void setErrorString(const QString &e) { m_error = e; }

private:
    int m_board = 0;
    int m_address = 0;
    QString m_error;
};
