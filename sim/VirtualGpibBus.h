#pragma once

#include "link/GpibBoard.h"

#include <QHash>
#include <QPair>
#include <memory>
#include <optional>

namespace sim {

class VirtualSupply;

// The in-process IEEE-488 bus: which virtual supply listens at which board and primary
// address. Supplies are held weakly; one that is destroyed simply stops listening.
class VirtualGpibBus
{
public:
    static VirtualGpibBus &instance();

    void attach(int board, int address, const std::shared_ptr<VirtualSupply> &supply);
    void detach(int board, int address);
    void clear();

    std::shared_ptr<VirtualSupply> device(int board, int address) const;
    // A board exists while at least one supply is attached to it.
    bool hasBoard(int board) const;

private:
    QHash<QPair<int, int>, std::weak_ptr<VirtualSupply>> m_devices;
};

// A GPIB board on the virtual bus. Like a real board it works asynchronously: write() and
// read() only start the operation; writeComplete, dataRead and error follow from the
// event loop, never from inside the call. Answers end with "\n", as instruments send them.
class VirtualGpibBoard : public GpibBoard
{
    Q_OBJECT
public:
    static constexpr int DefaultReadTimeoutMs = 3000;

    explicit VirtualGpibBoard(VirtualGpibBus &bus = VirtualGpibBus::instance(),
                              QObject *parent = nullptr);

    bool configure() override;
    bool write(const QString &message) override;
    void read() override;
    void reset() override;

    // How long a read waits for an answer that never comes before it reports an error.
    void setReadTimeoutMs(int ms) { m_readTimeoutMs = ms; }

private:
    // Runs `fn` from the event loop after `ms`, unless reset() came first.
    template <typename Fn> void later(int ms, Fn fn);

    VirtualGpibBus &m_bus;
    bool m_configured = false;
    std::optional<QString> m_answer;  // what the device has to say, waiting for a read
    int m_answerDelayMs = 0;
    int m_readTimeoutMs = DefaultReadTimeoutMs;
    quint64 m_generation = 0;
};

} // namespace sim
