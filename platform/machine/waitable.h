// Kernel objects that user mode can wait on (events, mutexes, threads,
// device completions...). Every waitable object of the PC shares one wait
// lock: a state change runs under it and wakes every waiting thread, which
// then looks again at the objects it waits for. Waits with time-outs run on
// the PC's clock. A family makes its objects waitable by deriving from
// Waitable (or from SignalObject when "set until reset" is all it needs) and
// changing their state through ChangeState.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/machine/handles.h"

namespace platform {

class Waitable : public KernelObject {
 public:
  // Whether a wait by thread `threadId` would be satisfied now. Called with
  // the wait lock held.
  virtual bool IsSignalled(uint32_t threadId) const = 0;
  // Takes the object for a satisfied wait of `threadId` (an auto-reset event
  // resets, a mutex gets its owner). Returns true when the wait is satisfied
  // by an abandoned mutex. Called with the wait lock held, right after
  // IsSignalled returned true.
  virtual bool Satisfy(uint32_t threadId) { return false; }

  // Runs `change` with the wait lock held, then wakes every waiter.
  static void ChangeState(const std::function<void()>& change);
  // Runs `read` with the wait lock held (no waiter is woken).
  static void ReadState(const std::function<void()>& read);
};

// A waitable object that stays signalled from Set until Reset (a manual-reset
// event, an ended thread, a completed request).
class SignalObject : public Waitable {
 public:
  explicit SignalObject(bool set = false) : set_(set) {}
  void Set();
  void Reset();
  bool IsSet() const;
  bool IsSignalled(uint32_t threadId) const override { return set_; }

 protected:
  bool set_;  // guarded by the wait lock
};

// A thread or a process as its handles see it: signalled once it has ended,
// with its exit code (kStillActive until then).
class EndingObject : public SignalObject {
 public:
  static constexpr uint32_t kStillActive = 259;  // STILL_ACTIVE
  explicit EndingObject(uint32_t objectId) : id(objectId) {}
  void End(uint32_t code) {
    ChangeState([&] {
      exitCode_ = code;
      set_ = true;
    });
  }
  uint32_t ExitCode() const {
    uint32_t code = 0;
    ReadState([&] { code = exitCode_; });
    return code;
  }
  const uint32_t id;

 private:
  uint32_t exitCode_ = kStillActive;  // guarded by the wait lock
};

constexpr uint32_t kWaitForever = 0xFFFFFFFF;

enum class WaitStatus {
  kSignalled,  // objects[index] satisfied the wait (the first one for wait-all)
  kAbandoned,  // as kSignalled, but objects[index] is a mutex whose owner ended
  kTimeout,
};
struct WaitOutcome {
  WaitStatus status;
  size_t index;
};

// Waits until one of `objects` (waitAll false; the lowest index wins) or all
// of them at once (waitAll true) can be taken by the calling thread, and
// takes it or them; or until `timeoutMs` of PC time have passed
// (kWaitForever: no time-out; 0: look once). The objects must be non-null.
WaitOutcome WaitForObjects(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll, uint32_t timeoutMs);

}  // namespace platform
