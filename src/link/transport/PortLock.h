#pragma once

#include <QString>
#include <QStringList>

// Who holds a serial port's lock file (LCK..name, as QSerialPort and other serial programs
// write it), for the message shown when a port cannot be opened: a live process is named,
// a dead one's file is called stale, with the command that removes it.
struct PortLock
{
    enum class State { None, Held, Stale };

    State state = State::None;
    QString file;        // the lock file's path
    qint64 pid = 0;      // the process written in it
    QString program;     // its name, from the system or else from the lock file
    QString host;        // the host written in it, when not this one
    bool ownedByMe = false;

    // The folders QSerialPort locks in, in its order of preference.
    static QStringList systemFolders();
    // The lock file's name for a port: "ttyUSB0" and "/dev/ttyUSB0" give "LCK..ttyUSB0",
    // "/dev/pts/3" gives "LCK..pts_3", "/var/zep/link" gives "LCK.._var_zep_link".
    static QString fileName(const QString &portName);
    // Looks for the port's lock file in `folders`.
    static PortLock find(const QString &portName, const QStringList &folders = systemFolders());

    // One sentence for the user: "… in use by process 1234, zep." or the stale file and how to
    // remove it. Empty when there is no lock.
    QString describe() const;
};
