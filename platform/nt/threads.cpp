// System threads, kernel events and the synchronous I/O request of the
// simulated PC. System threads run on host threads; every one of them is
// joined before the process ends.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/nt/ntddk.h"
#include "platform/nt/platform_control.h"

namespace {

constexpr NTSTATUS kStatusTimeout = 0x00000102;

// ---- system threads ---------------------------------------------------------------
// Thrown by PsTerminateSystemThread and caught only by the thread wrapper: the
// calling thread unwinds to its start and ends there.
struct TerminateSystemThread {
  NTSTATUS status;
};

struct SystemThread {
  std::thread thread;
  bool finished = false;
};

struct ThreadTable {
  std::mutex lock;
  std::condition_variable changed;
  std::list<std::shared_ptr<SystemThread>> threads;  // not yet joined
  std::map<uintptr_t, std::shared_ptr<SystemThread>> handles;
  uintptr_t nextHandle = 0x40000000;  // thread handles: 0x40000004, 0x40000008, ...
  long failAfter = -1;
  bool exitHookInstalled = false;
};
ThreadTable& Threads() {
  static ThreadTable* table = new ThreadTable;  // never destroyed; joined at exit
  return *table;
}

thread_local bool t_isSystemThread = false;

void JoinAllAtExit() {
  ThreadTable& t = Threads();
  std::list<std::shared_ptr<SystemThread>> pending;
  {
    std::lock_guard<std::mutex> guard(t.lock);
    pending.swap(t.threads);
  }
  for (auto& th : pending)
    if (th->thread.joinable()) th->thread.join();
}

void ThreadMain(std::shared_ptr<SystemThread> self, PKSTART_ROUTINE start, PVOID context) {
  t_isSystemThread = true;
  try {
    start(context);
  } catch (const TerminateSystemThread&) {
  }
  ThreadTable& t = Threads();
  std::lock_guard<std::mutex> guard(t.lock);
  self->finished = true;
  t.changed.notify_all();
}

// ---- events -----------------------------------------------------------------------------
// One lock and condition for every event: waits are rare and short.
std::mutex& EventLock() {
  static std::mutex* m = new std::mutex;
  return *m;
}
std::condition_variable& EventChanged() {
  static std::condition_variable* c = new std::condition_variable;
  return *c;
}

// ---- IRPs -----------------------------------------------------------------------------------
// Live IRPs with a serial number, so that a completion of an IRP that is gone
// (or whose memory was reused) is recognised instead of freeing twice.
struct IrpTable {
  std::mutex lock;
  std::map<PIRP, uint64_t> live;
  uint64_t nextSerial = 1;
};
IrpTable& Irps() {
  static IrpTable* table = new IrpTable;
  return *table;
}

// Completes an IRP that is still live with `serial` (0 = any): copies the
// status to the caller's block, signals the caller's event, frees the IRP.
bool CompleteIrp(PIRP irp, uint64_t serial) {
  IrpTable& t = Irps();
  {
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.live.find(irp);
    if (it == t.live.end() || (serial && it->second != serial)) return false;
    t.live.erase(it);
  }
  if (irp->UserIosb) *irp->UserIosb = irp->IoStatus;
  if (irp->UserEvent) KeSetEvent(irp->UserEvent, IO_NO_INCREMENT, FALSE);
  delete irp;
  return true;
}

}  // namespace

// ---- system threads ---------------------------------------------------------------------
NTSTATUS PsCreateSystemThread(PHANDLE ThreadHandle, ULONG DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes,
                              HANDLE ProcessHandle, PCLIENT_ID ClientId, PKSTART_ROUTINE StartRoutine,
                              PVOID StartContext) {
  if (!ThreadHandle || !StartRoutine) return STATUS_INVALID_PARAMETER;
  ThreadTable& t = Threads();
  std::lock_guard<std::mutex> guard(t.lock);
  if (t.failAfter == 0) return STATUS_INSUFFICIENT_RESOURCES;
  if (!t.exitHookInstalled) {
    std::atexit(JoinAllAtExit);
    t.exitHookInstalled = true;
  }
  auto th = std::make_shared<SystemThread>();
  try {
    th->thread = std::thread(ThreadMain, th, StartRoutine, StartContext);
  } catch (...) {
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  if (t.failAfter > 0) --t.failAfter;
  t.threads.push_back(th);
  do {
    t.nextHandle += 4;
    if (t.nextHandle >= 0x7FFFFFF0u) t.nextHandle = 0x40000004;
  } while (t.handles.count(t.nextHandle));
  t.handles[t.nextHandle] = th;
  *ThreadHandle = reinterpret_cast<HANDLE>(t.nextHandle);
  if (ClientId) {
    ClientId->UniqueProcess = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(4));
    ClientId->UniqueThread = *ThreadHandle;
  }
  return STATUS_SUCCESS;
}

NTSTATUS PsTerminateSystemThread(NTSTATUS ExitStatus) {
  if (!t_isSystemThread) {
    // Only a system thread can end this way; anything else is a caller fault
    // that stops the machine, as it would stop the real one.
    std::fprintf(stderr, "PsTerminateSystemThread called outside a system thread\n");
    std::abort();
  }
  throw TerminateSystemThread{ExitStatus};
}

// ---- events -----------------------------------------------------------------------------
VOID KeInitializeEvent(PKEVENT Event, EVENT_TYPE Type, BOOLEAN State) {
  if (!Event) return;
  std::lock_guard<std::mutex> guard(EventLock());
  Event->Signaled = State ? 1 : 0;
  Event->Type = Type;
}

LONG KeSetEvent(PKEVENT Event, LONG Increment, BOOLEAN Wait) {
  if (!Event) return 0;
  std::lock_guard<std::mutex> guard(EventLock());
  const LONG previous = Event->Signaled;
  Event->Signaled = 1;
  EventChanged().notify_all();
  return previous;
}

NTSTATUS KeWaitForSingleObject(PVOID Object, KWAIT_REASON WaitReason, KPROCESSOR_MODE WaitMode,
                               BOOLEAN Alertable, PLARGE_INTEGER Timeout) {
  PKEVENT event = static_cast<PKEVENT>(Object);
  if (!event) return STATUS_INVALID_PARAMETER;
  std::unique_lock<std::mutex> lock(EventLock());
  auto signalled = [event] { return event->Signaled != 0; };
  if (!Timeout) {
    EventChanged().wait(lock, signalled);
  } else {
    int64_t wait100ns;
    if (Timeout->QuadPart <= 0) {
      wait100ns = Timeout->QuadPart == INT64_MIN ? INT64_MAX : -Timeout->QuadPart;
    } else {
      LARGE_INTEGER now;
      KeQuerySystemTime(&now);
      wait100ns = Timeout->QuadPart > now.QuadPart ? Timeout->QuadPart - now.QuadPart : 0;
    }
    const int64_t day100ns = 864000000000LL;
    if (wait100ns > day100ns) wait100ns = day100ns;
    if (!EventChanged().wait_for(lock, std::chrono::microseconds(wait100ns / 10), signalled)) return kStatusTimeout;
  }
  if (event->Type == SynchronizationEvent) event->Signaled = 0;
  return STATUS_SUCCESS;
}

// ---- the synchronous request ---------------------------------------------------------------
PIRP IoBuildSynchronousFsdRequest(ULONG MajorFunction, PDEVICE_OBJECT DeviceObject, PVOID Buffer, ULONG Length,
                                  PLARGE_INTEGER StartingOffset, PKEVENT Event, PIO_STATUS_BLOCK IoStatusBlock) {
  if (!DeviceObject || MajorFunction > static_cast<ULONG>(IRP_MJ_MAXIMUM_FUNCTION)) return nullptr;
  PIRP irp = new (std::nothrow) IRP();
  if (!irp) return nullptr;
  // A plug-and-play request nobody answers must not look answered.
  irp->IoStatus.Status = MajorFunction == IRP_MJ_PNP ? STATUS_NOT_SUPPORTED : STATUS_SUCCESS;
  irp->IoStatus.Information = 0;
  irp->UserIosb = IoStatusBlock;
  irp->UserEvent = Event;
  irp->Stack.MajorFunction = static_cast<UCHAR>(MajorFunction);
  irp->Stack.MinorFunction = 0;
  irp->Stack.DeviceObject = DeviceObject;
  IrpTable& t = Irps();
  std::lock_guard<std::mutex> guard(t.lock);
  t.live[irp] = t.nextSerial++;
  return irp;
}

NTSTATUS IofCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  if (!DeviceObject || !Irp) return STATUS_INVALID_PARAMETER;
  uint64_t serial;
  {
    IrpTable& t = Irps();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.live.find(Irp);
    if (it == t.live.end()) return STATUS_INVALID_PARAMETER;
    serial = it->second;
  }
  const UCHAR major = Irp->Stack.MajorFunction;
  PDRIVER_DISPATCH dispatch = nullptr;
  if (DeviceObject->DriverObject && major <= IRP_MJ_MAXIMUM_FUNCTION)
    dispatch = DeviceObject->DriverObject->MajorFunction[major];
  if (!dispatch) {
    Irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    Irp->IoStatus.Information = 0;
    CompleteIrp(Irp, serial);
    return STATUS_INVALID_DEVICE_REQUEST;
  }
  Irp->Stack.DeviceObject = DeviceObject;
  const NTSTATUS status = dispatch(DeviceObject, Irp);
  // A callee that did not complete the IRP itself and did not leave it
  // pending is done with it; one that completed it already is not completed
  // twice.
  if (status != STATUS_PENDING) CompleteIrp(Irp, serial);
  return status;
}

VOID IoCompleteRequest(PIRP Irp, UCHAR PriorityBoost) {
  if (!Irp) return;
  if (!CompleteIrp(Irp, 0)) DbgPrint("IoCompleteRequest: IRP %p is not outstanding\n", static_cast<void*>(Irp));
}

// ---- controls -----------------------------------------------------------------------------
namespace platform {

void ThreadsFailAfter(long n) {
  ThreadTable& t = Threads();
  std::lock_guard<std::mutex> guard(t.lock);
  t.failAfter = n < 0 ? -1 : n;
}

bool WaitForSystemThreads(unsigned timeoutMs) {
  ThreadTable& t = Threads();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::list<std::shared_ptr<SystemThread>> done;
  bool allEnded;
  {
    std::unique_lock<std::mutex> lock(t.lock);
    auto allFinished = [&t] {
      for (auto& th : t.threads)
        if (!th->finished) return false;
      return true;
    };
    t.changed.wait_until(lock, deadline, allFinished);
    for (auto it = t.threads.begin(); it != t.threads.end();) {
      if ((*it)->finished) {
        done.push_back(*it);
        it = t.threads.erase(it);
      } else {
        ++it;
      }
    }
    allEnded = t.threads.empty();
  }
  for (auto& th : done)
    if (th->thread.joinable()) th->thread.join();
  return allEnded;
}

namespace internal {
bool CloseThreadHandle(HANDLE handle) {
  ThreadTable& t = Threads();
  std::lock_guard<std::mutex> guard(t.lock);
  return t.handles.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
}
}  // namespace internal

}  // namespace platform
