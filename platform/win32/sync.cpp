// Events, mutexes and the waits on any waitable object of the PC's handle
// table (events, mutexes, threads, and whatever other families make
// waitable).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/machine/codepages.h"
#include "platform/machine/pc_clock.h"
#include "platform/machine/pc_threads.h"
#include "platform/machine/waitable.h"
#include "platform/win32/sync_internal.h"

namespace {

using platform::Waitable;

class Event final : public platform::SignalObject {
 public:
  Event(bool manualReset, bool initialState) : SignalObject(initialState), manualReset_(manualReset) {}
  const char* Kind() const override { return "event"; }
  bool Satisfy(uint32_t) override {
    if (!manualReset_) set_ = false;  // an auto-reset event lets one waiter through
    return false;
  }

 private:
  const bool manualReset_;
};

class Mutex;

// The mutexes the calling thread owns, abandoned when the thread ends.
struct OwnedMutexes {
  std::vector<std::weak_ptr<Mutex>> mutexes;
  ~OwnedMutexes();
};
thread_local OwnedMutexes t_owned;

class Mutex final : public Waitable, public std::enable_shared_from_this<Mutex> {
 public:
  const char* Kind() const override { return "mutex"; }
  bool IsSignalled(uint32_t threadId) const override { return owner_ == 0 || owner_ == threadId; }
  bool Satisfy(uint32_t threadId) override {
    if (owner_ != threadId) {
      owner_ = threadId;
      t_owned.mutexes.push_back(shared_from_this());
    }
    ++count_;
    const bool abandoned = abandoned_;
    abandoned_ = false;
    return abandoned;
  }
  // False when the calling thread does not own the mutex.
  bool Release(uint32_t threadId) {
    bool owned = false, freed = false;
    ChangeState([&] {
      owned = owner_ == threadId;
      if (!owned || --count_ > 0) return;
      owner_ = 0;
      freed = true;
    });
    if (freed) Forget();
    return owned;
  }
  // A mutex still held by a thread that ends is given up and marked
  // abandoned, so that the next owner learns the data it guards may be
  // inconsistent.
  void Abandon(uint32_t threadId) {
    ChangeState([&] {
      if (owner_ != threadId) return;
      owner_ = 0;
      count_ = 0;
      abandoned_ = true;
    });
  }

 private:
  void Forget() {
    auto& list = t_owned.mutexes;
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (it->lock().get() == this) {
        list.erase(it);
        return;
      }
    }
  }

  uint32_t owner_ = 0;  // PC thread id; these three are guarded by the wait lock
  uint32_t count_ = 0;  // recursion count of the owner
  bool abandoned_ = false;
};

OwnedMutexes::~OwnedMutexes() { platform::AbandonMutexesOfThisThread(); }

// Creation of named objects: finding the name and registering a new object
// under it happen as one step, so two threads creating the same name get the
// same object.
std::mutex g_namedCreation;

std::string NameOf(LPCSTR name) { return name ? platform::AnsiToUtf8(GetACP(), name) : std::string(); }
std::string NameOf(LPCWSTR name) { return name ? platform::WideToAnsi(platform::kCodePageUtf8, name) : std::string(); }

// A handle on the object named `name`, made by `make` when there is none.
// Sets the last error to ERROR_ALREADY_EXISTS when the name was taken by an
// object of the same kind, to 0 when the object is new; an object of
// another kind under that name fails with ERROR_INVALID_HANDLE.
template <class T, class Make>
HANDLE CreateNamed(const std::string& name, Make make) {
  if (name.empty()) {
    HANDLE h = platform::NewHandle(make());
    SetLastError(ERROR_SUCCESS);
    return h;
  }
  std::lock_guard<std::mutex> hold(g_namedCreation);
  if (std::shared_ptr<platform::KernelObject> existing = platform::FindNamedObject(name)) {
    if (!std::dynamic_pointer_cast<T>(existing)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    HANDLE h = platform::NewHandle(existing);
    SetLastError(ERROR_ALREADY_EXISTS);
    return h;
  }
  std::shared_ptr<T> object = make();
  platform::NameObject(name, object);
  HANDLE h = platform::NewHandle(object);
  SetLastError(ERROR_SUCCESS);
  return h;
}

template <class T>
HANDLE OpenNamed(const std::string& name) {
  if (name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<platform::KernelObject> existing = platform::FindNamedObject(name);
  if (!existing) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  if (!std::dynamic_pointer_cast<T>(existing)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return platform::NewHandle(existing);
}

HANDLE NewEvent(BOOL manualReset, BOOL initialState, const std::string& name) {
  return CreateNamed<Event>(name, [&] { return std::make_shared<Event>(manualReset != FALSE, initialState != FALSE); });
}

HANDLE NewMutex(BOOL initialOwner, const std::string& name) {
  // The creator of a new mutex owns it before anyone else can see it;
  // opening an existing one by creation does not take it, as on Windows.
  return CreateNamed<Mutex>(name, [&] {
    auto mutex = std::make_shared<Mutex>();
    if (initialOwner) mutex->Satisfy(platform::CurrentPcThreadId());
    return mutex;
  });
}

template <class T>
std::shared_ptr<T> ObjectOf(HANDLE handle) {
  std::shared_ptr<T> object = platform::LookupHandleAs<T>(handle);
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

DWORD ToWaitResult(const platform::WaitOutcome& outcome) {
  switch (outcome.status) {
    case platform::WaitStatus::kSignalled: return WAIT_OBJECT_0 + DWORD(outcome.index);
    case platform::WaitStatus::kAbandoned: return WAIT_ABANDONED_0 + DWORD(outcome.index);
    case platform::WaitStatus::kTimeout: break;
  }
  return WAIT_TIMEOUT;
}

// A thread of a process that has begun to end goes no further: it ends here,
// as ExitProcess ends every thread of the process.
void EndThreadOfEndingProcess() {
  if (platform::PcProcessEnding(platform::CurrentPcProcessId())) ExitThread(0);
}

}  // namespace

namespace platform {

void AbandonMutexesOfThisThread() {
  const uint32_t self = CurrentPcThreadId();
  std::vector<std::weak_ptr<Mutex>> owned;
  owned.swap(t_owned.mutexes);
  for (auto& weak : owned)
    if (std::shared_ptr<Mutex> mutex = weak.lock()) mutex->Abandon(self);
}

}  // namespace platform

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
  return NewEvent(bManualReset, bInitialState, NameOf(lpName));
}

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName) {
  return NewEvent(bManualReset, bInitialState, NameOf(lpName));
}

HANDLE WINAPI OpenEventA(DWORD, BOOL, LPCSTR lpName) { return OpenNamed<Event>(NameOf(lpName)); }
HANDLE WINAPI OpenEventW(DWORD, BOOL, LPCWSTR lpName) { return OpenNamed<Event>(NameOf(lpName)); }

BOOL WINAPI SetEvent(HANDLE hEvent) {
  std::shared_ptr<Event> event = ObjectOf<Event>(hEvent);
  if (!event) return FALSE;
  event->Set();
  return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
  std::shared_ptr<Event> event = ObjectOf<Event>(hEvent);
  if (!event) return FALSE;
  event->Reset();
  return TRUE;
}

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName) {
  return NewMutex(bInitialOwner, NameOf(lpName));
}

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCWSTR lpName) {
  return NewMutex(bInitialOwner, NameOf(lpName));
}

HANDLE WINAPI OpenMutexA(DWORD, BOOL, LPCSTR lpName) { return OpenNamed<Mutex>(NameOf(lpName)); }
HANDLE WINAPI OpenMutexW(DWORD, BOOL, LPCWSTR lpName) { return OpenNamed<Mutex>(NameOf(lpName)); }

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
  std::shared_ptr<Mutex> mutex = ObjectOf<Mutex>(hMutex);
  if (!mutex) return FALSE;
  if (!mutex->Release(platform::CurrentPcThreadId())) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, CONST HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds) {
  EndThreadOfEndingProcess();
  if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<Waitable>> objects;
  for (DWORD i = 0; i < nCount; ++i) {
    std::shared_ptr<Waitable> object = ObjectOf<Waitable>(lpHandles[i]);
    if (!object) return WAIT_FAILED;
    // Waiting for all of a set that names one object twice is refused, as
    // Windows does: the object could not be taken twice at once.
    if (bWaitAll)
      for (const auto& seen : objects)
        if (seen == object) {
          SetLastError(ERROR_INVALID_PARAMETER);
          return WAIT_FAILED;
        }
    objects.push_back(std::move(object));
  }
  return ToWaitResult(platform::WaitForObjects(objects, bWaitAll != FALSE, dwMilliseconds));
}

VOID WINAPI Sleep(DWORD dwMilliseconds) {
  EndThreadOfEndingProcess();
  if (dwMilliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  // Sleeping in slices lets the end of the process stop the thread, and a
  // change of the PC clock's rate take effect while it sleeps. INFINITE
  // sleeps until the process ends.
  const uint64_t due = platform::PcNowMs() + dwMilliseconds;
  for (;;) {
    const uint64_t now = platform::PcNowMs();
    if (dwMilliseconds != INFINITE && now >= due) return;
    const uint64_t left = dwMilliseconds == INFINITE ? 1000 : due - now;
    std::this_thread::sleep_for(std::min(platform::PcToReal(left), std::chrono::nanoseconds(20000000)));
    EndThreadOfEndingProcess();
  }
}
