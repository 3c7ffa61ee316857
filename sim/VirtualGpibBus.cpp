#include "sim/VirtualGpibBus.h"

#include "sim/VirtualSupply.h"

#include <QTimer>

namespace sim {

VirtualGpibBus &VirtualGpibBus::instance()
{
    static VirtualGpibBus bus;
    return bus;
}

void VirtualGpibBus::attach(int board, int address, const std::shared_ptr<VirtualSupply> &supply)
{
    m_devices.insert({board, address}, supply);
}

void VirtualGpibBus::detach(int board, int address)
{
    m_devices.remove({board, address});
}

void VirtualGpibBus::clear()
{
    m_devices.clear();
}

std::shared_ptr<VirtualSupply> VirtualGpibBus::device(int board, int address) const
{
    return m_devices.value({board, address}).lock();
}

bool VirtualGpibBus::hasBoard(int board) const
{
    for (auto it = m_devices.cbegin(); it != m_devices.cend(); ++it) {
        if (it.key().first == board && !it.value().expired())
            return true;
    }
    return false;
}

VirtualGpibBoard::VirtualGpibBoard(VirtualGpibBus &bus, QObject *parent)
    : GpibBoard(parent)
    , m_bus(bus)
{
}

template <typename Fn> void VirtualGpibBoard::later(int ms, Fn fn)
{
    const quint64 generation = m_generation;
    QTimer::singleShot(ms, this, [this, generation, fn] {
        if (generation == m_generation)
            fn();
    });
}

bool VirtualGpibBoard::configure()
{
    reset();
    m_configured = false;
    if (board() < 0 || primaryAddress() < 0 || primaryAddress() > 30) {
        setErrorString(QStringLiteral("Invalid GPIB board %1 or address %2")
                           .arg(board()).arg(primaryAddress()));
        return false;
    }
    if (!m_bus.hasBoard(board())) {
        setErrorString(QStringLiteral("GPIB board %1 not present").arg(board()));
        return false;
    }
    setErrorString(QString());
    m_configured = true;
    return true;
}

bool VirtualGpibBoard::write(const QString &message)
{
    if (!m_configured) {
        setErrorString(QStringLiteral("GPIB board not configured"));
        return false;
    }
    m_answer.reset();
    later(0, [this, message] {
        const std::shared_ptr<VirtualSupply> device = m_bus.device(board(), primaryAddress());
        if (!device) {
            setErrorString(QStringLiteral("No listener at GPIB%1 address %2")
                               .arg(board()).arg(primaryAddress()));
            emit error(errorString());
            return;
        }
        const std::optional<QString> answer = device->handleLine(message);
        if (answer) {
            const FaultPlan::Delivery d = device->faults().shape(*answer + QLatin1Char('\n'));
            if (!d.parts.isEmpty()) {
                m_answer = d.parts.join(QString());
                m_answerDelayMs = d.atMs.last();
            }
        }
        emit writeComplete();
    });
    return true;
}

void VirtualGpibBoard::read()
{
    later(0, [this] {
        if (!m_answer && !m_bus.device(board(), primaryAddress())) {
            setErrorString(QStringLiteral("No listener at GPIB%1 address %2")
                               .arg(board()).arg(primaryAddress()));
            emit error(errorString());
            return;
        }
        if (!m_answer) {
            later(m_readTimeoutMs, [this] {
                setErrorString(QStringLiteral("GPIB read timed out"));
                emit error(errorString());
            });
            return;
        }
        const QString answer = *m_answer;
        m_answer.reset();
        later(m_answerDelayMs, [this, answer] { emit dataRead(answer); });
    });
}

void VirtualGpibBoard::reset()
{
    ++m_generation;
    m_answer.reset();
}

} // namespace sim
