#include "common/Clock.h"

namespace {
SystemClock systemClock;
Clock *installed = nullptr;
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
    return installed ? *installed : systemClock;
}

void Clock::install(Clock *clock)
{
    installed = clock;
}
