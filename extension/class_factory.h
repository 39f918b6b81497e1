// The module's class table and the class factory handed out by
// DllGetClassObject. The row order is the order of registration and lookup.
#pragma once

#include <windows.h>

#include "extension/com_object.h"

namespace qcamext {

struct ClassTemplate {
  const WCHAR* name;  // also the CLSID key's default value
  const CLSID* clsid;
  CreateObjectRoutine create;
};

extern const ClassTemplate kClassTable[];
extern const int kClassCount;

// The row of a class id, or null.
const ClassTemplate* FindClassTemplate(REFCLSID clsid);

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(const ClassTemplate* row);
  ~ClassFactory();
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  const ClassTemplate* row_;
  ULONG references_ = 1;
};

}  // namespace qcamext
