#pragma once

#include "link/CommTasker.h"
#include "link/GpibBoard.h"
#include "link/SerialIo.h"

#include <QHash>
#include <QStringList>
#include <functional>

// A serial line whose supply answers from a table, at once. `duringQuery` runs while the
// query "waits", as the event pumping of the real transport would let other code run.
class FakeSerialIo : public SerialIo
{
    Q_OBJECT
public:
    QStringList written;  // lines given to serialWrite
    QStringList queried;  // lines given to serialQuery
    QHash<QString, QString> answers;
    std::function<void()> duringQuery;

    void serialWrite(const QString &line) override { written << line; }
    QString serialQuery(const QString &line) override
    {
        queried << line;
        if (duringQuery)
            duringQuery();
        return answers.value(line);
    }
    void pullCable() { emit linkFailed(QStringLiteral("device removed")); }
};

// A GPIB board that records what it was asked to do; the test finishes writes and reads.
class FakeGpibBoard : public GpibBoard
{
    Q_OBJECT
public:
    QStringList writes;
    int reads = 0, resets = 0;
    bool failWrites = false;

    bool configure() override { return true; }
    bool write(const QString &message) override
    {
        if (!failWrites)
            writes << message;
        return !failWrites;
    }
    void read() override { ++reads; }
    void reset() override { ++resets; }
    void completeWrite() { emit writeComplete(); }
    void answer(const QString &text) { emit dataRead(text); }
};

class FakeHost : public EngineHost
{
public:
    QStringList reports;  // "text/ms"
    bool queryTimerEnabled = false;

    void ReportStatus(const QString &text, int ms) override { reports << QStringLiteral("%1/%2").arg(text).arg(ms); }
    bool isQueryTimerEnabled() const override { return queryTimerEnabled; }
};

// A delivery target with the members the program's windows offer by name.
class Receiver : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    QStringList calls, texts;
    int timeouts = 0;
    std::function<void()> onTimeout;

    QString text() const { return texts.isEmpty() ? QString() : texts.last(); }
    void setText(const QString &t) { texts << t; }
    Q_INVOKABLE void DevSetupMachineType(const QString &answer) { calls << answer; }
    Q_INVOKABLE void OperationTimeout()
    {
        ++timeouts;
        if (onTimeout)
            onTimeout();
    }
};
