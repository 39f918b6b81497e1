// The filter mappers ("quartz.dll", CLSID_FilterMapper and
// CLSID_FilterMapper2): one object answering IFilterMapper and
// IFilterMapper2. The platform's filters are built in and found by class
// id, never by merit, so registering a filter, pin or category succeeds and
// records nothing; searching the registered filters is not offered.
#include <windows.h>
#include <strmif.h>
#include <uuids.h>

#include "platform/dshow/com_object.h"
#include "platform/machine/builtin_classes.h"

namespace dshow {
namespace {

class FilterMapper final : public ComObject<FilterMapper, IFilterMapper, IFilterMapper2> {
 public:
  void* Find(REFIID riid) {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IFilterMapper2))
      return static_cast<IFilterMapper2*>(this);
    if (IsEqualGUID(riid, IID_IFilterMapper)) return static_cast<IFilterMapper*>(this);
    return nullptr;
  }

  // ---- IFilterMapper ----
  STDMETHODIMP RegisterFilter(CLSID, LPCWSTR Name, DWORD) override { return Name ? S_OK : E_POINTER; }
  STDMETHODIMP RegisterFilterInstance(CLSID, LPCWSTR, CLSID* MRId) override {
    if (MRId) *MRId = GUID_NULL;
    return E_NOTIMPL;
  }
  STDMETHODIMP RegisterPin(CLSID, LPCWSTR Name, BOOL, BOOL, BOOL, BOOL, CLSID, LPCWSTR) override {
    return Name ? S_OK : E_POINTER;
  }
  STDMETHODIMP RegisterPinType(CLSID, LPCWSTR strName, CLSID, CLSID) override { return strName ? S_OK : E_POINTER; }
  STDMETHODIMP UnregisterFilter(CLSID) override { return S_OK; }
  STDMETHODIMP UnregisterFilterInstance(CLSID) override { return E_NOTIMPL; }
  STDMETHODIMP UnregisterPin(CLSID, LPCWSTR Name) override { return Name ? S_OK : E_POINTER; }
  STDMETHODIMP EnumMatchingFilters(IEnumRegFilters** ppEnum, DWORD, BOOL, CLSID, CLSID, BOOL, BOOL, CLSID,
                                   CLSID) override {
    if (ppEnum) *ppEnum = nullptr;
    return E_NOTIMPL;
  }

  // ---- IFilterMapper2 ----
  STDMETHODIMP CreateCategory(REFCLSID, DWORD, LPCWSTR Description) override {
    return Description ? S_OK : E_POINTER;
  }
  STDMETHODIMP UnregisterFilter(const CLSID*, LPCOLESTR, REFCLSID) override { return S_OK; }
  STDMETHODIMP RegisterFilter(REFCLSID, LPCWSTR Name, IMoniker**, const CLSID*, LPCOLESTR,
                              const REGFILTER2* prf2) override {
    return Name && prf2 ? S_OK : E_POINTER;
  }
  STDMETHODIMP EnumMatchingFilters(IEnumMoniker** ppEnum, DWORD, BOOL, DWORD, BOOL, DWORD, const GUID*,
                                   const REGPINMEDIUM*, const CLSID*, BOOL, BOOL, DWORD, const GUID*,
                                   const REGPINMEDIUM*, const CLSID*) override {
    if (ppEnum) *ppEnum = nullptr;
    return E_NOTIMPL;
  }
};

const platform::BuiltinClassRegistrar kRegisterMapper(
    {CLSID_FilterMapper, "Filter Mapper", "quartz.dll", "Both", &CreateAndQuery<FilterMapper>});
const platform::BuiltinClassRegistrar kRegisterMapper2(
    {CLSID_FilterMapper2, "Filter Mapper2", "quartz.dll", "Both", &CreateAndQuery<FilterMapper>});

}  // namespace
}  // namespace dshow
