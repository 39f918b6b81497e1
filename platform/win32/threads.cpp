// Threads of the PC's programs: each CreateThread is a host thread of its
// own, whose handle is signalled, with the exit code set, when it ends.
#include <windows.h>
#include <pthread.h>

#include <memory>

#include "platform/machine/pc_threads.h"
#include "platform/machine/waitable.h"
#include "platform/win32/sync_internal.h"

namespace {

const HANDLE kCurrentThreadPseudoHandle = reinterpret_cast<HANDLE>(intptr_t(-2));
const HANDLE kCurrentProcessPseudoHandle = reinterpret_cast<HANDLE>(intptr_t(-1));

class Thread final : public platform::EndingObject {
 public:
  using platform::EndingObject::EndingObject;
  const char* Kind() const override { return "thread"; }
};

struct Start {
  LPTHREAD_START_ROUTINE routine;
  LPVOID parameter;
  std::shared_ptr<Thread> thread;
  uint32_t processId;
};

// The code a thread ends with: its routine's result, or ExitThread's code.
thread_local DWORD t_exitCode = 0;

// Runs when the thread ends, whether its routine returns or ExitThread
// unwinds it: the mutexes it still holds are abandoned first, so that a
// waiter woken by the thread's end finds them free.
struct ThreadEnd {
  std::shared_ptr<Thread> thread;
  uint32_t processId;
  ~ThreadEnd() {
    platform::AbandonMutexesOfThisThread();
    thread->End(t_exitCode);
    platform::PcProcessThreadEnded(processId);
  }
};

void* RunThread(void* argument) {
  std::unique_ptr<Start> start(static_cast<Start*>(argument));
  platform::SetCurrentPcThreadId(start->thread->id);
  platform::SetCurrentPcProcessId(start->processId);
  ThreadEnd end{start->thread, start->processId};
  t_exitCode = start->routine(start->parameter);
  return nullptr;
}

}  // namespace

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId) {
  // Threads start running at once; suspended creation is not offered.
  if (!lpStartAddress || (dwCreationFlags & CREATE_SUSPENDED)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<Thread>(platform::NewPcClientId());
  HANDLE handle = platform::NewHandle(thread);
  auto* start = new Start{lpStartAddress, lpParameter, thread, platform::CurrentPcProcessId()};
  // Counted before it runs, so that a process ending at once still waits for it.
  platform::PcProcessThreadStarted(start->processId);
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t host;
  const int error = pthread_create(&host, &attributes, RunThread, start);
  pthread_attr_destroy(&attributes);
  if (error) {
    platform::PcProcessThreadEnded(start->processId);
    delete start;
    CloseHandle(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (lpThreadId) *lpThreadId = thread->id;
  return handle;
}

// Ends the calling thread by unwinding it, so that the destructors of its
// frames run (and its handle is signalled by RunThread's ThreadEnd).
VOID WINAPI ExitThread(DWORD dwExitCode) {
  t_exitCode = dwExitCode;
  pthread_exit(nullptr);
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  if (!lpExitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (hThread == kCurrentThreadPseudoHandle) {
    *lpExitCode = STILL_ACTIVE;
    return TRUE;
  }
  std::shared_ptr<Thread> thread = platform::LookupHandleAs<Thread>(hThread);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *lpExitCode = thread->ExitCode();
  return TRUE;
}

DWORD WINAPI GetThreadId(HANDLE Thread) {
  if (Thread == kCurrentThreadPseudoHandle) return platform::CurrentPcThreadId();
  std::shared_ptr<::Thread> thread = platform::LookupHandleAs<::Thread>(Thread);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return thread->id;
}

HANDLE WINAPI GetCurrentThread(VOID) { return kCurrentThreadPseudoHandle; }
DWORD WINAPI GetCurrentThreadId(VOID) { return platform::CurrentPcThreadId(); }
HANDLE WINAPI GetCurrentProcess(VOID) { return kCurrentProcessPseudoHandle; }
DWORD WINAPI GetCurrentProcessId(VOID) { return platform::CurrentPcProcessId(); }
