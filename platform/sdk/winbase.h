// Kernel32's services (winbase.h and the API-set headers it gathers).
#pragma once

#include "windef.h"
#include "winerror.h"
#include "minwinbase.h"
#include "errhandlingapi.h"
#include "handleapi.h"
#include "libloaderapi.h"
#include "wow64apiset.h"
#include "sysinfoapi.h"
#include "fileapi.h"
#include "synchapi.h"
#include "ioapiset.h"
#include "processthreadsapi.h"
#include "stringapiset.h"

// Waits (winbase.h's part; the calls are in synchapi.h).
#define WAIT_ABANDONED_0 0x00000080L
#define MAXIMUM_WAIT_OBJECTS 64

HANDLE WINAPI OpenMutexA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName);
#ifndef UNICODE
#define OpenMutex OpenMutexA
#endif

// Interlocked operations on 32-bit values, full barriers, as the compiler
// intrinsics behind the SDK's declarations are.
inline LONG InterlockedIncrement(LONG volatile* lpAddend) { return __atomic_add_fetch(lpAddend, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedDecrement(LONG volatile* lpAddend) { return __atomic_sub_fetch(lpAddend, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedExchange(LONG volatile* Target, LONG Value) {
  return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(LONG volatile* Destination, LONG ExChange, LONG Comperand) {
  __atomic_compare_exchange_n(Destination, &Comperand, ExChange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return Comperand;  // the value found, whether or not it was replaced
}
inline LONG InterlockedExchangeAdd(LONG volatile* Addend, LONG Value) {
  return __atomic_fetch_add(Addend, Value, __ATOMIC_SEQ_CST);
}
