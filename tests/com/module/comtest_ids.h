// The test module's classes and interface, and the exports through which
// the tests watch it (its own counters survive only while it is loaded).
#pragma once

#include <objbase.h>

// {6B1D2A40-7E3C-4F51-9A0B-1C2D3E4F5A60}
DEFINE_GUID(CLSID_ComTestCounter, 0x6B1D2A40, 0x7E3C, 0x4F51, 0x9A, 0x0B, 0x1C, 0x2D, 0x3E, 0x4F, 0x5A, 0x60);
// Registered for the module, but not a class the module serves.
// {6B1D2A41-7E3C-4F51-9A0B-1C2D3E4F5A60}
DEFINE_GUID(CLSID_ComTestUnknown, 0x6B1D2A41, 0x7E3C, 0x4F51, 0x9A, 0x0B, 0x1C, 0x2D, 0x3E, 0x4F, 0x5A, 0x60);
// {6B1D2A42-7E3C-4F51-9A0B-1C2D3E4F5A60}
DEFINE_GUID(IID_ICounter, 0x6B1D2A42, 0x7E3C, 0x4F51, 0x9A, 0x0B, 0x1C, 0x2D, 0x3E, 0x4F, 0x5A, 0x60);

// Counts up by one on every call, per object.
DECLARE_INTERFACE_(ICounter, IUnknown) {
  STDMETHOD(Next)(LONG* value) PURE;
};

struct ComTestCounts {
  LONG objects;              // live objects, class objects included
  LONG locks;                // LockServer(TRUE) not yet undone
  LONG doubleReleases;       // Release calls on objects already gone
  LONG classObjectRequests;  // DllGetClassObject calls since the module loaded
  LONG threadAttaches;       // DLL_THREAD_ATTACH calls
  char pathAtAttach[MAX_PATH];  // GetModuleFileNameA of itself, from DllMain
};

// Called with the reason of every DllMain call after it is set, so a test
// sees DLL_PROCESS_DETACH although the module is gone afterwards.
typedef void (*ComTestObserver)(DWORD reason);

typedef void (*ComTestCountsFunction)(ComTestCounts* counts);
typedef void (*ComTestSetObserverFunction)(ComTestObserver observer);
typedef BOOL (*ComTestDisableThreadCallsFunction)();

// Under HKEY_LOCAL_MACHINE: DWORD "FailAttach" = 1 makes DllMain refuse to load.
#define COMTEST_SETTINGS_KEY "SOFTWARE\\ComTest"
