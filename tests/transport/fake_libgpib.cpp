// A stand-in for the linux-gpib library with the same entry points, for testing the board
// that loads it at run time. Board 0 only; every address answers "*IDN?" and nothing else
// (a read after any other line times out).
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr int Err = 0x8000, End = 0x2000, Cmpl = 0x100;
constexpr int EABO = 6, ENEB = 7;

thread_local int t_sta = 0, t_err = 0;
thread_local long t_cnt = 0;
std::string g_pending;

int status(int sta, int err = 0, long cnt = 0)
{
    t_sta = sta;
    t_err = err;
    t_cnt = cnt;
    return sta;
}

} // namespace

extern "C" {

int ibdev(int board, int pad, int, int, int, int)
{
    return board == 0 ? (status(Cmpl), pad + 1) : (status(Err, ENEB), -1);
}

int ibwrt(int, const void *data, long count)
{
    const bool idn = std::string(static_cast<const char *>(data), std::size_t(count)) == "*IDN?";
    g_pending = idn ? "FAKE,GPIB-DEV,SN1,V1\n" : "";
    return status(Cmpl | End, 0, count);
}

int ibrd(int, void *buf, long count)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the bus takes its time
    if (g_pending.empty() || std::size_t(count) < g_pending.size())
        return status(Err | Cmpl, EABO);
    std::memcpy(buf, g_pending.data(), g_pending.size());
    const long n = long(g_pending.size());
    g_pending.clear();
    return status(Cmpl | End, 0, n);
}

int ibonl(int, int) { return status(Cmpl); }
int ibclr(int) { return status(Cmpl); }
int ThreadIbsta() { return t_sta; }
int ThreadIberr() { return t_err; }
long ThreadIbcntl() { return t_cnt; }

} // extern "C"
