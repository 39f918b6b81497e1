// The non-delegating IUnknown shared by the module's COM objects that may be
// aggregated (the interface handler inside the camera's proxy, and the
// property pages). The object's own interfaces forward their IUnknown methods
// to the outer unknown, which is the non-delegating unknown itself when the
// object is not aggregated; the reference count lives here.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace qcamext {

class AggregatableObject {
 public:
  // The static pages of the VfW path are part of the module rather than
  // objects handed out through COM, so they do not hold the module loaded.
  enum Counting { kCounted, kNotCounted };

  AggregatableObject(const AggregatableObject&) = delete;
  AggregatableObject& operator=(const AggregatableObject&) = delete;

  IUnknown* NonDelegatingUnknown() { return &inner_; }
  IUnknown* Outer() const { return outer_; }

  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object);
  ULONG NonDelegatingAddRef();
  ULONG NonDelegatingRelease();

 protected:
  AggregatableObject(IUnknown* outer, Counting counting);
  virtual ~AggregatableObject();

  // Answers the object's own interfaces (IUnknown is answered here):
  // stores the interface pointer without adding a reference, or returns
  // E_NOINTERFACE.
  virtual HRESULT QueryOwnInterface(REFIID iid, void** object) = 0;

 private:
  struct Inner : public IUnknown {
    AggregatableObject* self = NULL;
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
  };

  Inner inner_;
  IUnknown* outer_;
  volatile LONG references_ = 0;
  Counting counting_;
};

// Releases an interface pointer, if any, and clears it.
template <class T>
void ReleaseAndClear(T** object) {
  if (*object) {
    (*object)->Release();
    *object = NULL;
  }
}

// Creation routine of a class-table row: returns the new object's
// non-delegating unknown (no reference added) and may report a failure in
// *result; an object returned together with a failure is destroyed by the
// caller.
typedef IUnknown* (*CreateObjectRoutine)(IUnknown* outer, HRESULT* result);

}  // namespace qcamext
