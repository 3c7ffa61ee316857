#pragma once

// Waits that keep the window alive: the event loop runs (timers tick, windows paint) while
// the caller's code stands still, as a blocking sleep would not allow.
namespace Wait {

// Returns after `ms` milliseconds of real time, having run the event loop meanwhile.
void ms(int ms);

// Lets pending events run once.
void pumpEvents();

} // namespace Wait
