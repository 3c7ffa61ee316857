#pragma once

#include <QString>

// The claim of one program on a record database: an advisory lock (flock) on the file beside
// it, `mtype.db.lock`, held while the program runs. The lock, not the file, is the claim: the
// system lets it go when the program ends in any way, so a file left behind by a crash never
// blocks. The file holds the holder's process id and host, so that a second program can say
// who holds the store.
class StoreClaim
{
public:
    enum class Result { Claimed, HeldElsewhere, Failed };

    // Who holds the claim, as the holder wrote it (empty when it has not yet written it).
    struct Holder {
        qint64 pid = 0;
        QString host;
        // "process 1234 on host bench-3", or "another program" when unknown.
        QString describe() const;
    };

    StoreClaim() = default;
    ~StoreClaim();
    StoreClaim(const StoreClaim &) = delete;
    StoreClaim &operator=(const StoreClaim &) = delete;

    static QString lockPath(const QString &storeFile) { return storeFile + QStringLiteral(".lock"); }

    // Takes the claim on `storeFile` (released by release() or the destructor). HeldElsewhere
    // fills holder(); Failed gives the system's reason in error().
    Result claim(const QString &storeFile);
    void release();
    bool held() const { return m_fd >= 0; }

    const Holder &holder() const { return m_holder; }
    QString error() const { return m_error; }

    // Reads the holder written into a lock file.
    static Holder readHolder(const QString &lockFile);

private:
    int m_fd = -1;
    Holder m_holder;
    QString m_error;
};
