#pragma once

#include "ports/PortProber.h"

#include <QMap>
#include <QStringList>
#include <functional>
#include <utility>

// A scripted serial line: the listed ports open; each write gets the answer the script gives
// for (port, baud, n-th write on that combination).
class FakeProber : public PortProber
{
public:
    QStringList openable;
    std::function<QByteArray(const QString &port, int baud, int nth)> answer;
    int opens = 0;       // open attempts
    QStringList probes;  // "ttyS0@9600" for each identification query written

    bool open(const QString &portName, int baudRate) override
    {
        close();
        ++opens;
        m_port = QStringLiteral("%1@%2").arg(portName).arg(baudRate);
        m_open = openable.contains(portName);
        return m_open;
    }
    void close() override
    {
        m_open = false;
        m_pending.clear();
    }
    bool isOpen() const override { return m_open; }
    void write(const QByteArray &) override
    {
        if (!m_open)
            return;
        probes << m_port;
        const int nth = m_writes[m_port]++;
        if (answer)
            m_pending += answer(m_port.section(u'@', 0, 0), m_port.section(u'@', 1).toInt(), nth);
    }
    QByteArray readAll() override { return std::exchange(m_pending, {}); }

private:
    bool m_open = false;
    QString m_port;
    QByteArray m_pending;
    QMap<QString, int> m_writes;
};

class FakeLister : public PortLister
{
public:
    explicit FakeLister(QStringList names) : m_names(std::move(names)) {}
    QStringList ports() const override { return m_names; }
    QString describe(const QString &name) const override { return descriptions.value(name); }
    QStringList m_names;
    QMap<QString, QString> descriptions;
};
