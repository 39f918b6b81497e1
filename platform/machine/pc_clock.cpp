// The PC's clock: PC time = base + (real time since rebase) x rate.
#include "platform/machine/pc_clock.h"

#include <mutex>
#include <thread>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

struct PcClock {
  std::mutex lock;
  Clock::time_point realBase = Clock::now();
  double pcBaseMs = 0;
  double rate = 1;
};
PcClock& C() {
  static PcClock* c = new PcClock;
  return *c;
}

double NowLocked(PcClock& c) {
  std::chrono::duration<double, std::milli> real = Clock::now() - c.realBase;
  return c.pcBaseMs + real.count() * c.rate;
}

}  // namespace

uint64_t PcNowMs() {
  PcClock& c = C();
  std::lock_guard<std::mutex> hold(c.lock);
  return uint64_t(NowLocked(c));
}

void SetPcClockRate(double rate) {
  if (!(rate >= 1e-3)) rate = 1e-3;
  PcClock& c = C();
  std::lock_guard<std::mutex> hold(c.lock);
  c.pcBaseMs = NowLocked(c);
  c.realBase = Clock::now();
  c.rate = rate;
}

double PcClockRate() {
  PcClock& c = C();
  std::lock_guard<std::mutex> hold(c.lock);
  return c.rate;
}

std::chrono::nanoseconds PcToReal(uint64_t pcMs) {
  double rate = PcClockRate();
  return std::chrono::nanoseconds(int64_t(double(pcMs) * 1e6 / rate));
}

void PcSleep(uint64_t pcMs) { std::this_thread::sleep_for(PcToReal(pcMs)); }

}  // namespace platform
