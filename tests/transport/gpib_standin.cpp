// The stand-in GPIB library: ibdev/ibwrt/ibrd/ibonl/ibclr with the library's status bits and
// per-thread status, error and count, as the program reads them.
#include "gpib_standin.h"

#include <map>
#include <mutex>
#include <utility>

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int StatusError = 0x8000, StatusTimeout = 0x4000, StatusEnd = 0x2000, StatusComplete = 0x0100;
constexpr int ErrorNoListener = 2;  // ENOL
constexpr int ErrorArgument = 4;    // EARG
constexpr int ErrorAborted = 6;     // EABO (time-out)

std::mutex g_mutex;
std::map<std::pair<int, int>, ZepGpibStandinDevice> g_devices;
std::map<int, std::pair<int, int>> g_open;  // descriptor -> board and address
int g_nextDescriptor = 16;

thread_local int t_status = 0;
thread_local int t_error = 0;
thread_local long t_count = 0;

int done(int status, long count = t_count)
{
    t_count = count;
    return t_status = status;
}
int fail(int error, int status = StatusError)
{
    t_error = error;
    return t_status = status;
}

const ZepGpibStandinDevice *deviceFor(int ud)
{
    const auto open = g_open.find(ud);
    const auto device = open == g_open.end() ? g_devices.end() : g_devices.find(open->second);
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

STANDIN_EXPORT void zepGpibStandinAttach(int board, int pad, const ZepGpibStandinDevice *device)
{
    const std::lock_guard lock(g_mutex);
    if (device)
        g_devices[{board, pad}] = *device;
    else
        g_devices.erase({board, pad});
}

STANDIN_EXPORT int ibdev(int board, int pad, int, int, int, int)
{
    const std::lock_guard lock(g_mutex);
    if (!g_devices.count({board, pad})) {
        fail(ErrorNoListener);
        return -1;
    }
    g_open[g_nextDescriptor] = {board, pad};
    done(StatusComplete);
    return g_nextDescriptor++;
}

STANDIN_EXPORT int ibwrt(int ud, const void *data, long size)
{
    ZepGpibStandinDevice device;
    if (!copyDevice(ud, &device))
        return fail(ErrorNoListener);
    device.write(device.context, static_cast<const char *>(data), size);
    return done(StatusComplete | StatusEnd, size);
}

STANDIN_EXPORT int ibrd(int ud, void *buffer, long size)
{
    ZepGpibStandinDevice device;
    if (!copyDevice(ud, &device))
        return fail(ErrorNoListener);
    const long n = device.read(device.context, static_cast<char *>(buffer), size);
    return n < 0 ? fail(ErrorAborted, StatusError | StatusTimeout) : done(StatusComplete | StatusEnd, n);
}

STANDIN_EXPORT int ibonl(int ud, int)
{
    const std::lock_guard lock(g_mutex);
    return g_open.erase(ud) ? done(StatusComplete) : fail(ErrorArgument);
}

STANDIN_EXPORT int ibclr(int ud)
{
    const std::lock_guard lock(g_mutex);
    return deviceFor(ud) ? done(StatusComplete) : fail(ErrorNoListener);
}

STANDIN_EXPORT int ThreadIbsta() { return t_status; }
STANDIN_EXPORT int ThreadIberr() { return t_error; }
STANDIN_EXPORT long ThreadIbcntl() { return t_count; }
