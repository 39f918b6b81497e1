// COM's per-thread state: which apartment the thread entered and how many
// times, and COM's task memory.
#include <objbase.h>

#include <atomic>
#include <cstdlib>

#include "platform/com/com_internal.h"
#include "platform/machine/com_control.h"

namespace {

struct ThreadApartment {
  unsigned entries = 0;  // CoInitialize(Ex) calls not yet matched by CoUninitialize
  bool multithreaded = false;
};
thread_local ThreadApartment t_apartment;

std::atomic<long> g_taskBlocks{0};

}  // namespace

namespace platform {
namespace com_internal {

bool ThreadHasApartment() { return t_apartment.entries > 0; }

}  // namespace com_internal

long CoTaskMemOutstanding() { return g_taskBlocks.load(); }

}  // namespace platform

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  if (pvReserved) return E_INVALIDARG;
  const bool multithreaded = (dwCoInit & COINIT_APARTMENTTHREADED) == 0;
  ThreadApartment& a = t_apartment;
  if (a.entries > 0 && a.multithreaded != multithreaded) return RPC_E_CHANGED_MODE;
  a.multithreaded = multithreaded;
  return a.entries++ == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

// Leaving the apartment does not unload the modules COM loaded: they stay
// until CoFreeUnusedLibraries finds them unused, as objects of an
// uninitialised thread may still be alive.
void WINAPI CoUninitialize(void) {
  if (t_apartment.entries > 0) --t_apartment.entries;
}

// Zero-byte blocks are real blocks, so a caller can tell success from failure.
LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
  void* p = std::malloc(cb ? cb : 1);
  if (p) ++g_taskBlocks;
  return p;
}

LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  if (!pv) return CoTaskMemAlloc(cb);
  if (cb == 0) {
    CoTaskMemFree(pv);
    return nullptr;
  }
  return std::realloc(pv, cb);  // on failure the old block stays the caller's
}

void WINAPI CoTaskMemFree(LPVOID pv) {
  if (!pv) return;
  --g_taskBlocks;
  std::free(pv);
}
