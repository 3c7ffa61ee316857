#include "common/Clock.h"

#include <chrono>

namespace {
SystemClock systemClock;
Clock *installedClock = nullptr;
}

qint64 SystemClock::monotonicMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

double Clock::secondsSinceMidnight() const
{
    return now().time().msecsSinceStartOfDay() / 1000.0;
}

double Clock::elapsedSeconds(double earlier, double later)
{
    double d = later - earlier;
    if (d < 0)
        d += 24 * 60 * 60;
    return d;
}

Clock &Clock::current()
{
    return installedClock ? *installedClock : systemClock;
}

void Clock::install(Clock *clock)
{
    installedClock = clock;
}
