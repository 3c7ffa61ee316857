#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace sim {

class VirtualSupply;

// Serves a virtual supply on a pseudo-terminal: the program opens the slave side (by its
// /dev/pts name or by a symbolic link) as it would open a serial port. Lines end with "\n"
// ("\r\n" is accepted); answers go back with "\n", shaped by the supply's fault plan.
// Runs on the event loop of the thread that owns it; the supply's clock follows real time.
class PtySupplyServer : public QObject
{
    Q_OBJECT
public:
    explicit PtySupplyServer(VirtualSupply &supply, QObject *parent = nullptr);
    ~PtySupplyServer() override;

    // Opens the pseudo-terminal; with `linkPath`, also a symbolic link there to the slave
    // (a stale link is replaced; any other file in the way is an error). False with
    // errorString() when it fails.
    bool start(const QString &linkPath = QString());
    // Closes the pseudo-terminal and removes the link.
    void stop();
    bool isRunning() const { return m_master >= 0; }

    // The slave device ("/dev/pts/7") and the name to give the serial port: the link when
    // there is one, else the slave device.
    QString slaveName() const { return m_slaveName; }
    QString portName() const { return m_linkPath.isEmpty() ? m_slaveName : m_linkPath; }
    QString errorString() const { return m_error; }

    // Appends every received line to `path`, one a line, as received. False when the file
    // cannot be opened.
    bool setLogFile(const QString &path);

    // Answers arrive when the query's bytes and their own would have crossed a real line
    // at the speed the program set on the port (ten bits a byte). On by default.
    void setWireTimeEmulation(bool on) { m_wireTime = on; }
    // The speed the program set on the port, 0 when unknown.
    int portBaudRate() const;

    // Fault: the link disappears, as when a cable or adapter is pulled. The program's open
    // port sees an error; the link is removed.
    void dropLink();

    // Fault: bytes the supply did not mean to send (noise, a flood). Writes what the line
    // takes now and returns how many bytes that was.
    qsizetype inject(const char *data, qsizetype size);

    VirtualSupply &supply() { return m_supply; }

signals:
    // A line was received and handled; emitted before its answer goes out, so a receiver
    // may still change the fault plan for that answer.
    void lineReceived(const QString &line);
    void linkDropped();

private:
    void onReadable();
    void handleLine(const QByteArray &raw);
    void send(const QByteArray &bytes);
    void tick();
    void closePty();

    VirtualSupply &m_supply;
    int m_master = -1;
    int m_slave = -1;  // held open so the master never sees a hang-up between clients
    QString m_slaveName;
    QString m_linkPath;
    QString m_error;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_pending;
    QFile m_log;
    QTimer m_clock;
    QElapsedTimer m_elapsed;
    qint64 m_lastMs = 0;
    quint64 m_generation = 0;
    bool m_wireTime = true;
};

} // namespace sim
