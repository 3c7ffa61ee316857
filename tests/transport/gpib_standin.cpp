// The stand-in GPIB library: ibdev/ibwrt/ibrd/ibonl/ibclr with the library's status bits and
// per-thread status, error and count, as the program reads them.
#include "gpib_standin.h"

#include <map>
#include <mutex>
#include <utility>

namespace {

constexpr int StatusError = 0x8000;
constexpr int StatusTimeout = 0x4000;
constexpr int StatusEnd = 0x2000;
constexpr int StatusComplete = 0x0100;
constexpr int ErrorNoListener = 2;   // ENOL
constexpr int ErrorArgument = 4;     // EARG
constexpr int ErrorAborted = 6;      // EABO (time-out)
constexpr int FirstDescriptor = 16;

std::mutex g_mutex;
std::map<std::pair<int, int>, ZepGpibStandinDevice> g_devices;
std::map<int, std::pair<int, int>> g_open;  // descriptor -> board and address
int g_nextDescriptor = FirstDescriptor;

thread_local int t_status = 0;
thread_local int t_error = 0;
thread_local long t_count = 0;

int fail(int error)
{
    t_error = error;
    t_status = StatusError;
    return t_status;
}

const ZepGpibStandinDevice *deviceFor(int ud)
{
    const auto open = g_open.find(ud);
    if (open == g_open.end())
        return nullptr;
    const auto device = g_devices.find(open->second);
    return device == g_devices.end() ? nullptr : &device->second;
}

// The device behind `ud`, copied so that its call runs without the lock held.
bool copyDevice(int ud, ZepGpibStandinDevice *device)
{
    const std::lock_guard lock(g_mutex);
    const ZepGpibStandinDevice *d = deviceFor(ud);
    if (d)
        *device = *d;
    return d != nullptr;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) void zepGpibStandinAttach(int board, int pad,
                                                                 const ZepGpibStandinDevice *device)
{
    const std::lock_guard lock(g_mutex);
    if (device)
        g_devices[{board, pad}] = *device;
    else
        g_devices.erase({board, pad});
}

__attribute__((visibility("default"))) int ibdev(int board, int pad, int, int, int, int)
{
    const std::lock_guard lock(g_mutex);
    if (!g_devices.count({board, pad})) {
        fail(ErrorNoListener);
        return -1;
    }
    const int ud = g_nextDescriptor++;
    g_open[ud] = {board, pad};
    t_status = StatusComplete;
    return ud;
}

__attribute__((visibility("default"))) int ibwrt(int ud, const void *data, long size)
{
    ZepGpibStandinDevice device;
    if (!copyDevice(ud, &device))
        return fail(ErrorNoListener);
    device.write(device.context, static_cast<const char *>(data), size);
    t_count = size;
    t_status = StatusComplete | StatusEnd;
    return t_status;
}

__attribute__((visibility("default"))) int ibrd(int ud, void *buffer, long size)
{
    ZepGpibStandinDevice device;
    if (!copyDevice(ud, &device))
        return fail(ErrorNoListener);
    const long n = device.read(device.context, static_cast<char *>(buffer), size);
    if (n < 0) {
        fail(ErrorAborted);
        t_status |= StatusTimeout;
        return t_status;
    }
    t_count = n;
    t_status = StatusComplete | StatusEnd;
    return t_status;
}

__attribute__((visibility("default"))) int ibonl(int ud, int)
{
    const std::lock_guard lock(g_mutex);
    if (!g_open.erase(ud))
        return fail(ErrorArgument);
    t_status = StatusComplete;
    return t_status;
}

__attribute__((visibility("default"))) int ibclr(int ud)
{
    const std::lock_guard lock(g_mutex);
    if (!deviceFor(ud))
        return fail(ErrorNoListener);
    t_status = StatusComplete;
    return t_status;
}

__attribute__((visibility("default"))) int ThreadIbsta() { return t_status; }
__attribute__((visibility("default"))) int ThreadIberr() { return t_error; }
__attribute__((visibility("default"))) long ThreadIbcntl() { return t_count; }
}
