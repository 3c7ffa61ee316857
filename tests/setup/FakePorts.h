#pragma once

#include "setup/PortProber.h"

#include <QMap>
#include <QStringList>
#include <functional>

// A scripted serial line: the listed ports open; each write gets the answer the script gives
// for (port, baud, n-th write on that combination). Every operation is logged.
class FakeProber : public PortProber
{
public:
    QStringList openable;
    std::function<QByteArray(const QString &port, int baud, int nth)> answer;
    QStringList log;                 // "open ttyS0 9600", "write ttyS0 9600", "close"
    QStringList probes;              // "ttyS0@9600" for each identification query written

    bool open(const QString &portName, int baudRate) override
    {
        close();
        log << QStringLiteral("open %1 %2").arg(portName).arg(baudRate);
        if (!openable.contains(portName))
            return false;
        m_open = true;
        m_port = portName;
        m_baud = baudRate;
        return true;
    }
    void close() override
    {
        if (m_open)
            log << QStringLiteral("close");
        m_open = false;
        m_pending.clear();
    }
    bool isOpen() const override { return m_open; }
    void write(const QByteArray &bytes) override
    {
        if (!m_open)
            return;
        log << QStringLiteral("write %1 %2 %3").arg(m_port).arg(m_baud).arg(QString::fromLatin1(bytes.trimmed()));
        probes << QStringLiteral("%1@%2").arg(m_port).arg(m_baud);
        const QString key = probes.last();
        const int nth = m_writes[key]++;
        if (answer)
            m_pending += answer(m_port, m_baud, nth);
    }
    QByteArray readAll() override
    {
        const QByteArray out = m_pending;
        m_pending.clear();
        return out;
    }

private:
    bool m_open = false;
    QString m_port;
    int m_baud = 0;
    QByteArray m_pending;
    QMap<QString, int> m_writes;
};

class FakeLister : public PortLister
{
public:
    explicit FakeLister(QStringList names) : m_names(std::move(names)) {}
    QStringList ports() const override { return m_names; }
    QStringList m_names;
};
