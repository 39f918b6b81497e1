// A small in-process COM server for the COM runtime's tests: one class that
// supports aggregation, a class factory with LockServer, DllCanUnloadNow
// from its live objects and locks, and a DllMain that can be told to fail.
// Objects that reach a count of zero are kept (dead) until the module
// unloads, so that a Release too many is counted instead of touching freed
// memory.
#include <windows.h>
#include <objbase.h>

#include <cstring>
#include <memory>
#include <vector>

#include "tests/com/module/comtest_ids.h"

namespace {

ComTestCounts g_counts = {};
ComTestObserver g_observer = nullptr;
HINSTANCE g_instance = nullptr;

// Objects whose count reached zero, released when the module unloads.
struct Graveyard {
  std::vector<std::unique_ptr<IUnknown, void (*)(IUnknown*)>> dead;
};
Graveyard* g_graveyard = nullptr;

// The reference count every object of the module keeps: it counts the
// module's live objects and notices a release too many.
class RefCount {
 public:
  RefCount() { ++g_counts.objects; }
  ULONG Add() { return ++count_; }
  // True when this release ended the object's life.
  bool Drop(ULONG* left) {
    if (count_ == 0) {
      ++g_counts.doubleReleases;
      *left = 0;
      return false;
    }
    *left = --count_;
    if (count_ == 0) --g_counts.objects;
    return count_ == 0;
  }

 private:
  ULONG count_ = 1;
};

template <class T>
void Bury(T* object) {
  g_graveyard->dead.emplace_back(object, [](IUnknown* u) { delete static_cast<T*>(u); });
}

class Counter : public ICounter {
 public:
  explicit Counter(IUnknown* outer) : outer_(outer ? outer : &inner_), inner_(this) {}
  virtual ~Counter() = default;

  IUnknown* Inner() { return &inner_; }

  // ICounter's IUnknown belongs to the outer object when aggregated.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return outer_->QueryInterface(riid, ppv); }
  STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }
  STDMETHODIMP Next(LONG* value) override {
    if (!value) return E_POINTER;
    *value = ++next_;
    return S_OK;
  }

 private:
  // The non-delegating unknown: the object's own identity and count.
  struct InnerUnknown : public IUnknown {
    explicit InnerUnknown(Counter* owner) : owner_(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
      if (!ppv) return E_POINTER;
      if (riid == IID_IUnknown) {
        *ppv = static_cast<IUnknown*>(this);
      } else if (riid == IID_ICounter) {
        *ppv = static_cast<ICounter*>(owner_);
      } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
      }
      static_cast<IUnknown*>(*ppv)->AddRef();
      return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->count_.Add(); }
    STDMETHODIMP_(ULONG) Release() override {
      ULONG left;
      if (owner_->count_.Drop(&left)) Bury(owner_);
      return left;
    }
    Counter* owner_;
  };

  IUnknown* outer_;
  InnerUnknown inner_;
  RefCount count_;
  LONG next_ = 0;
};

class Factory : public IClassFactory {
 public:
  virtual ~Factory() = default;
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return count_.Add(); }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left;
    if (count_.Drop(&left)) Bury(this);
    return left;
  }
  // An aggregated object hands out only its non-delegating unknown.
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    Counter* counter = new Counter(outer);
    const HRESULT hr = counter->Inner()->QueryInterface(riid, ppv);
    counter->Inner()->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    g_counts.locks += lock ? 1 : -1;
    return S_OK;
  }

 private:
  RefCount count_;
};

bool AttachRefused() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, COMTEST_SETTINGS_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD fail = 0, size = sizeof fail;
  const bool refused = RegQueryValueExA(key, "FailAttach", nullptr, nullptr, reinterpret_cast<LPBYTE>(&fail), &size) ==
                           ERROR_SUCCESS &&
                       fail == 1;
  RegCloseKey(key);
  return refused;
}

}  // namespace

EXTERN_C BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      // A new life: the host may keep the library's memory mapped across
      // an unload, so nothing is assumed to start from zero.
      g_counts = ComTestCounts();
      g_observer = nullptr;
      g_instance = instance;
      g_graveyard = new Graveyard;
      GetModuleFileNameA(instance, g_counts.pathAtAttach, MAX_PATH);
      if (AttachRefused()) return FALSE;
      break;
    case DLL_PROCESS_DETACH:
      delete g_graveyard;
      g_graveyard = nullptr;
      break;
    case DLL_THREAD_ATTACH:
      ++g_counts.threadAttaches;
      break;
  }
  if (g_observer) g_observer(reason);
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ++g_counts.classObjectRequests;
  if (rclsid != CLSID_ComTestCounter) return CLASS_E_CLASSNOTAVAILABLE;
  Factory* factory = new Factory;
  const HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

STDAPI DllCanUnloadNow() { return g_counts.objects == 0 && g_counts.locks == 0 ? S_OK : S_FALSE; }

EXTERN_C void ComTestGetCounts(ComTestCounts* counts) { *counts = g_counts; }
EXTERN_C void ComTestSetObserver(ComTestObserver observer) { g_observer = observer; }
EXTERN_C BOOL ComTestDisableThreadCalls() { return DisableThreadLibraryCalls(g_instance); }
