// A stand-in for the linux-gpib library with the same entry points, for testing the board
// that loads it at run time. One instrument per address on board 0: it answers "*IDN?",
// echoes other queries, sends a long answer to "LONG?" in several chunks, and never
// answers "SILENT?" (the read times out). Address 9 has no listener.
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr int Err = 0x8000;
constexpr int End = 0x2000;
constexpr int Cmpl = 0x100;
constexpr int EDVR = 0, ENOL = 2, EARG = 4, EABO = 6, ENEB = 7;

thread_local int t_sta = 0;
thread_local int t_err = 0;
thread_local long t_cnt = 0;

std::string g_pending[31];
std::size_t g_sent[31];

int status(int sta, int err = 0, long cnt = 0)
{
    t_sta = sta;
    t_err = err;
    t_cnt = cnt;
    return sta;
}

bool validUd(int ud) { return ud >= 1 && ud <= 31; }

} // namespace

extern "C" {

int ibdev(int board, int pad, int, int, int, int)
{
    if (board != 0) {
        status(Err, ENEB);
        return -1;
    }
    if (pad < 0 || pad > 30) {
        status(Err, EARG);
        return -1;
    }
    status(Cmpl);
    return pad + 1;
}

int ibwrt(int ud, const void *data, long count)
{
    if (!validUd(ud))
        return status(Err, EDVR);
    const int pad = ud - 1;
    if (pad == 9)
        return status(Err, ENOL);
    const std::string msg(static_cast<const char *>(data), std::size_t(count));
    g_sent[pad] = 0;
    if (msg == "*IDN?")
        g_pending[pad] = "FAKE,GPIB-DEV,SN1,V1\n";
    else if (msg == "LONG?")
        g_pending[pad] = std::string(10000, 'x') + "\n";
    else if (msg == "SILENT?" || msg.find('?') == std::string::npos)
        g_pending[pad].clear();
    else
        g_pending[pad] = "echo:" + msg + "\n";
    return status(Cmpl | End, 0, count);
}

int ibrd(int ud, void *buf, long count)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the bus takes its time
    if (!validUd(ud))
        return status(Err, EDVR);
    const int pad = ud - 1;
    std::string &answer = g_pending[pad];
    if (answer.empty())
        return status(Err | Cmpl, EABO);
    const std::size_t left = answer.size() - g_sent[pad];
    const std::size_t n = left < std::size_t(count) ? left : std::size_t(count);
    std::memcpy(buf, answer.data() + g_sent[pad], n);
    g_sent[pad] += n;
    const bool done = g_sent[pad] == answer.size();
    if (done) {
        answer.clear();
        g_sent[pad] = 0;
    }
    return status(Cmpl | (done ? End : 0), 0, long(n));
}

int ibonl(int, int) { return status(Cmpl); }
int ibclr(int ud)
{
    if (validUd(ud))
        g_pending[ud - 1].clear();
    return status(Cmpl);
}
int ThreadIbsta() { return t_sta; }
int ThreadIberr() { return t_err; }
long ThreadIbcntl() { return t_cnt; }

} // extern "C"
