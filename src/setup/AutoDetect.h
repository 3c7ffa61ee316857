#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class PortProber;

namespace AutoDetect {
// True from the start of an automatic port search until it fails or is cancelled, or until
// the identification that follows a successful search clears it (main window).
extern bool AutoConnecting;
} // namespace AutoDetect

// The automatic search for the supply: every usable port at every listed baud rate gets the
// identification query; the first answer containing "NV" wins. Bauds form the outer loop, the
// ports the inner one from the last usable port down to the first. Each reply gets 1.5 s
// (3 s after an "Invalid Character." answer) while the event loop keeps running, so the
// window paints and cancel() stops the search within moments, leaving the port closed.
class AutoDetector : public QObject
{
    Q_OBJECT
public:
    static constexpr int ReplyWaitMs = 1500;

    enum class Outcome { NoPorts, NotFound, Found, Cancelled };
    struct Result {
        Outcome outcome = Outcome::NotFound;
        QStringList usablePorts;
        QString port;    // the last port tried (the found one on success)
        int baudPos = -1; // position in the baud list of the last combination tried
        QString reply;   // the identification reply when found
    };

    explicit AutoDetector(PortProber &prober, QObject *parent = nullptr);

    // Replaces the pause between query and read (tests pass one that returns at once).
    void setWaiter(std::function<void(int ms)> waiter) { m_waiter = std::move(waiter); }

    // Searches `candidates` (in list order) at `bauds` (decimal texts, in order).
    Result run(const QStringList &candidates, const QStringList &bauds);
    void cancel() { m_cancelled = true; }
    bool isRunning() const { return m_running; }

    // The ports among `candidates` that open, in the given order; each is closed again.
    QStringList usablePorts(const QStringList &candidates, int baudRate);

    // The identification query on the open port: the reply with its terminator, or empty
    // when none came or it lacks a terminator. A reply containing "Invalid Character." is
    // followed by exactly one repeated query whose reply is used instead.
    QString QueryIdentity();

signals:
    // Progress of the current phase: `value` steps done out of `maximum`.
    void progress(int value, int maximum);
    // About to probe `port` at the baud entry `baudPos`.
    void probing(const QString &port, int baudPos);

private:
    QString queryOnce();
    void pause(int ms);

    PortProber &m_prober;
    std::function<void(int)> m_waiter;
    bool m_cancelled = false;
    bool m_running = false;
};
