// What the platform's DirectShow objects share: the reference count and
// QueryInterface plumbing of a COM object implementing several interfaces,
// a count of live objects for leak checks, and the small conversions their
// methods need (task-allocated and fixed-size wide strings).
#pragma once

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <new>
#include <string>

namespace dshow {

// Every ComObject counts itself (platform::LiveDirectShowObjects).
void CountObject(int delta);

// A COM object implementing `Interfaces...`: one reference count shared by
// all of them. The derived class answers Find(iid) with the interface
// pointer for an IID it implements (IUnknown included), or null.
template <class Derived, class... Interfaces>
class ComObject : public Interfaces... {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = static_cast<Derived*>(this)->Find(riid);
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComObject() { CountObject(1); }
  virtual ~ComObject() { CountObject(-1); }
  // For a destructor that releases aggregated objects: they may add and
  // drop references on this object again, which must not delete it twice.
  void HoldDuringDestruction() { refs_ = 1; }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

 private:
  std::atomic<ULONG> refs_{1};
};

// Creates a new T (which starts with one reference) and queries it for
// `riid`: the routine behind a built-in class without aggregation.
template <class T>
HRESULT CreateAndQuery(IUnknown* outer, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  T* created = new (std::nothrow) T();
  if (!created) return E_OUTOFMEMORY;
  HRESULT hr = created->QueryInterface(riid, object);
  created->Release();
  return hr;
}

// A copy of `text` in task memory (CoTaskMemAlloc), or null when out of
// memory.
LPWSTR TaskMemString(const std::wstring& text);

// Copies `text` into a fixed array of `capacity` characters, cut and
// terminated (FILTER_INFO, PIN_INFO).
void CopyName(const std::wstring& text, WCHAR* out, size_t capacity);

// Releases an interface pointer and clears it.
template <class T>
void SafeRelease(T** p) {
  if (*p) {
    (*p)->Release();
    *p = nullptr;
  }
}

}  // namespace dshow
