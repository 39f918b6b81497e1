// One wait lock and one wake-up for every waitable object of the PC. Waiters
// are few (a handful of program threads), so waking them all on each change
// costs less than keeping per-object waiter lists, and it makes wait-all
// atomic for free: all objects are checked and taken under the same lock.
#include "platform/machine/waitable.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/machine/pc_clock.h"
#include "platform/machine/pc_threads.h"

namespace platform {
namespace {

struct WaitLock {
  std::mutex lock;
  std::condition_variable changed;
};
WaitLock& W() {
  static WaitLock* w = new WaitLock;  // never destroyed: objects may change state during exit
  return *w;
}

// A timed wait sleeps at most this long in real time before it reads the PC
// clock again, so that a change of the clock's rate shortens or stretches
// waits already under way.
constexpr std::chrono::milliseconds kLongestNap(20);

bool TryTakeAny(const std::vector<std::shared_ptr<Waitable>>& objects, uint32_t self, WaitOutcome* out) {
  for (size_t i = 0; i < objects.size(); ++i) {
    if (!objects[i]->IsSignalled(self)) continue;
    const bool abandoned = objects[i]->Satisfy(self);
    *out = {abandoned ? WaitStatus::kAbandoned : WaitStatus::kSignalled, i};
    return true;
  }
  return false;
}

bool TryTakeAll(const std::vector<std::shared_ptr<Waitable>>& objects, uint32_t self, WaitOutcome* out) {
  for (const auto& object : objects)
    if (!object->IsSignalled(self)) return false;
  *out = {WaitStatus::kSignalled, 0};
  for (size_t i = 0; i < objects.size(); ++i) {
    if (objects[i]->Satisfy(self) && out->status != WaitStatus::kAbandoned) *out = {WaitStatus::kAbandoned, i};
  }
  return true;
}

}  // namespace

void Waitable::ChangeState(const std::function<void()>& change) {
  WaitLock& w = W();
  {
    std::lock_guard<std::mutex> hold(w.lock);
    change();
  }
  w.changed.notify_all();
}

void Waitable::ReadState(const std::function<void()>& read) {
  WaitLock& w = W();
  std::lock_guard<std::mutex> hold(w.lock);
  read();
}

void SignalObject::Set() {
  ChangeState([this] { set_ = true; });
}

void SignalObject::Reset() {
  ChangeState([this] { set_ = false; });
}

bool SignalObject::IsSet() const {
  bool set = false;
  ReadState([&] { set = set_; });
  return set;
}

WaitOutcome WaitForObjects(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll, uint32_t timeoutMs) {
  const uint32_t self = CurrentPcThreadId();
  const uint64_t start = PcNowMs();
  WaitLock& w = W();
  std::unique_lock<std::mutex> hold(w.lock);
  for (;;) {
    WaitOutcome out;
    if (waitAll ? TryTakeAll(objects, self, &out) : TryTakeAny(objects, self, &out)) return out;
    if (timeoutMs == kWaitForever) {
      w.changed.wait(hold);
      continue;
    }
    const uint64_t waited = PcNowMs() - start;
    if (waited >= timeoutMs) return {WaitStatus::kTimeout, 0};
    const auto left = PcToReal(timeoutMs - waited);
    w.changed.wait_for(hold, std::min<std::chrono::nanoseconds>(left, kLongestNap));
  }
}

}  // namespace platform
