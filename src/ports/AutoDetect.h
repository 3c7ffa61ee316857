#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class PortProber;

namespace AutoDetect {
// True from the start of an automatic port search until it fails or is cancelled, or until
// the identification that follows a successful search clears it (main window).
extern bool AutoConnecting;
} // namespace AutoDetect

// The automatic search for the supply: every usable port at every listed baud rate gets the
// identification query; the first answer containing "NV" wins. Bauds form the outer loop, the
// ports the inner one from the last usable port down to the first. Each reply gets 1.5 s
// (3 s after an "Invalid Character." answer). The search is a state machine on one timer:
// start() returns at once, the window keeps painting, cancel() (also from a receiver of the
// signals below) stops it at once with the port closed, and finished reports the outcome.
class AutoDetector : public QObject
{
    Q_OBJECT
public:
    static constexpr int ReplyWaitMs = 1500;

    enum class Outcome { NoPorts, NotFound, Found, Cancelled };
    struct Result {
        Outcome outcome = Outcome::NotFound;
        QStringList usablePorts;
        QString port;     // the last port tried (the found one on success)
        int baudPos = -1; // position in the baud list of the last combination tried
        QString reply;    // the identification reply when found
    };

    explicit AutoDetector(PortProber &prober, QObject *parent = nullptr);

    // The pause between query and read (tests shorten it).
    void setReplyWaitMs(int ms) { m_replyWaitMs = ms; }

    // Searches `candidates` (in list order) at `bauds` (decimal texts, in order).
    void start(const QStringList &candidates, const QStringList &bauds);
    // Ends a running search with Outcome::Cancelled.
    void cancel();
    bool isRunning() const { return m_step != Step::Idle; }

signals:
    // Progress of the current phase: `value` steps done out of `maximum`.
    void progress(int value, int maximum);
    // About to probe `port` at the baud entry `baudPos`.
    void probing(const QString &port, int baudPos);
    void finished(const AutoDetector::Result &result);

private:
    enum class Step { Idle, ListPorts, Probe, FirstReply, RepeatedReply };

    void runStep();
    void listNextPort();
    void probeNext();
    void readReply();
    void probeDone(const QString &reply);
    void schedule(Step step, int ms);
    void finish(Outcome outcome);

    PortProber &m_prober;
    QTimer m_timer;
    int m_replyWaitMs = ReplyWaitMs;
    Step m_step = Step::Idle;
    QStringList m_candidates;
    QStringList m_bauds;
    Result m_result;
    int m_index = 0;     // candidate being listed, or usable port being probed
    int m_baudPos = 0;
    int m_done = 0;
};

Q_DECLARE_METATYPE(AutoDetector::Result)
