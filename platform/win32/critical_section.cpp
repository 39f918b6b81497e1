// Critical sections: a host mutex behind the record's LockSemaphore field,
// with the owner and the recursion count kept in the record's own fields as
// Windows keeps them.
#include <windows.h>

#include <mutex>

#include "platform/machine/pc_threads.h"

namespace {

HANDLE OwnerValue() { return reinterpret_cast<HANDLE>(uintptr_t(platform::CurrentPcThreadId())); }

// The host mutex of a section. A section that was never initialised (or was
// deleted) gets one on first use instead of crashing; the exchange makes
// sure two threads arriving together agree on one.
std::mutex* LockOf(LPCRITICAL_SECTION section) {
  std::mutex* lock = static_cast<std::mutex*>(__atomic_load_n(&section->LockSemaphore, __ATOMIC_ACQUIRE));
  if (lock) return lock;
  std::mutex* made = new std::mutex;
  HANDLE expected = nullptr;
  if (__atomic_compare_exchange_n(&section->LockSemaphore, &expected, static_cast<HANDLE>(made), false,
                                  __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
    return made;
  delete made;
  return static_cast<std::mutex*>(expected);
}

bool OwnedByCaller(LPCRITICAL_SECTION section) {
  return __atomic_load_n(&section->OwningThread, __ATOMIC_ACQUIRE) == OwnerValue();
}

void TakeOwnership(LPCRITICAL_SECTION section) {
  __atomic_store_n(&section->OwningThread, OwnerValue(), __ATOMIC_RELEASE);
  section->RecursionCount = 1;
  section->LockCount = 0;
}

}  // namespace

VOID WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  std::memset(lpCriticalSection, 0, sizeof(*lpCriticalSection));
  lpCriticalSection->LockCount = -1;
  lpCriticalSection->LockSemaphore = new std::mutex;
}

BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount) {
  InitializeCriticalSection(lpCriticalSection);
  lpCriticalSection->SpinCount = dwSpinCount;
  return TRUE;
}

VOID WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  if (OwnedByCaller(lpCriticalSection)) {
    ++lpCriticalSection->RecursionCount;
    return;
  }
  LockOf(lpCriticalSection)->lock();
  TakeOwnership(lpCriticalSection);
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  if (OwnedByCaller(lpCriticalSection)) {
    ++lpCriticalSection->RecursionCount;
    return TRUE;
  }
  if (!LockOf(lpCriticalSection)->try_lock()) return FALSE;
  TakeOwnership(lpCriticalSection);
  return TRUE;
}

// Leaving a section the caller does not hold would release another thread's
// lock: it is ignored.
VOID WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  if (!OwnedByCaller(lpCriticalSection)) return;
  if (--lpCriticalSection->RecursionCount > 0) return;
  lpCriticalSection->LockCount = -1;
  __atomic_store_n(&lpCriticalSection->OwningThread, HANDLE(nullptr), __ATOMIC_RELEASE);
  LockOf(lpCriticalSection)->unlock();
}

VOID WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  delete static_cast<std::mutex*>(lpCriticalSection->LockSemaphore);
  std::memset(lpCriticalSection, 0, sizeof(*lpCriticalSection));
}
