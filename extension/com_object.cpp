#include "extension/com_object.h"

#include "extension/module.h"

namespace qcamext {

AggregatableObject::AggregatableObject(IUnknown* outer, Counting counting)
    : outer_(outer ? outer : &inner_), counting_(counting) {
  inner_.self = this;
  if (counting_ == kCounted) ObjectCreated();
}

AggregatableObject::~AggregatableObject() {
  if (counting_ == kCounted) ObjectDestroyed();
}

HRESULT AggregatableObject::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = NULL;
  HRESULT result = S_OK;
  if (IsEqualIID(iid, IID_IUnknown)) {
    *object = &inner_;
  } else {
    result = QueryOwnInterface(iid, object);
  }
  if (FAILED(result)) {
    *object = NULL;
    return result;
  }
  static_cast<IUnknown*>(*object)->AddRef();
  return S_OK;
}

ULONG AggregatableObject::NonDelegatingAddRef() { return InterlockedIncrement(&references_); }

ULONG AggregatableObject::NonDelegatingRelease() {
  LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return left > 0 ? ULONG(left) : 0;
}

STDMETHODIMP AggregatableObject::Inner::QueryInterface(REFIID iid, void** object) {
  return self->NonDelegatingQueryInterface(iid, object);
}
STDMETHODIMP_(ULONG) AggregatableObject::Inner::AddRef() { return self->NonDelegatingAddRef(); }
STDMETHODIMP_(ULONG) AggregatableObject::Inner::Release() { return self->NonDelegatingRelease(); }

}  // namespace qcamext
