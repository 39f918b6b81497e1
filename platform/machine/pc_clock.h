// The simulated PC's clock. User mode's tick count, timers, Sleep and waits
// with time-outs all run on it. It runs `rate` times faster than real time
// (1 by default), so that tests and scenarios can live through minutes of a
// program's life in a fraction of a second while the programs keep their own
// timings (1000 ms timers, 5000 ms sleeps).
#pragma once

#include <chrono>
#include <cstdint>

namespace platform {

// Milliseconds of PC time since the PC started (the process started).
uint64_t PcNowMs();
// Changes the rate (values below 1e-3 are taken as 1e-3); PC time stays
// continuous across the change.
void SetPcClockRate(double rate);
double PcClockRate();
// The real time span that `pcMs` milliseconds of PC time take now.
std::chrono::nanoseconds PcToReal(uint64_t pcMs);
// Sleeps the calling thread for `pcMs` of PC time.
void PcSleep(uint64_t pcMs);

}  // namespace platform
