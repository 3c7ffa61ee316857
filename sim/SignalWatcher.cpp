#include "sim/SignalWatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

namespace {

int g_fds[2] = {-1, -1};

void onSignal(int sig)
{
    const unsigned char byte = static_cast<unsigned char>(sig);
    const ssize_t r = ::write(g_fds[0], &byte, 1);  // async-signal-safe
    (void)r;
}

} // namespace

SignalWatcher::SignalWatcher(QObject *parent)
    : QObject(parent)
{
    if (g_fds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0)
        return;
    fcntl(g_fds[0], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::onReadable);

    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

SignalWatcher::~SignalWatcher()
{
    if (!m_notifier)
        return;
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    delete m_notifier;
    ::close(g_fds[0]);
    ::close(g_fds[1]);
    g_fds[0] = g_fds[1] = -1;
}

void SignalWatcher::onReadable()
{
    unsigned char byte = 0;
    if (::read(g_fds[1], &byte, 1) == 1)
        emit terminationRequested(int(byte));
}

} // namespace sim
