#include "extension/class_factory.h"

#include "extension/camera_property.h"
#include "extension/module.h"
#include "extension/command_page.h"
#include "extension/custom_camera_page.h"
#include "extension/digital_zoom_page.h"
#include "extension/special_effect_page.h"
#include "shared/qcamext_classes.h"

namespace qcamext {

const ClassTemplate kClassTable[] = {
    {L"IAMCustomCameraProp", &IID_IAMCustomCameraProp, CameraPropertyHandler::Create},
    {L"Custom Camera Property Page", &CLSID_CustomCameraPage, CustomCameraPage::Create},
    {L"Special Effect Property Page", &CLSID_SpecialEffectPage, SpecialEffectPage::Create},
    {L"Digital Zoom Property Page", &CLSID_DigitalZoomPage, DigitalZoomPage::Create},
    {L"Qorvane Command Property Page", &CLSID_CommandPage, CommandPage::Create},
};
const int kClassCount = sizeof(kClassTable) / sizeof(kClassTable[0]);

const ClassTemplate* FindClassTemplate(REFCLSID clsid) {
  for (const ClassTemplate& row : kClassTable) {
    if (IsEqualCLSID(*row.clsid, clsid)) return &row;
  }
  return NULL;
}

ClassFactory::ClassFactory(const ClassTemplate* row) : row_(row) { ObjectCreated(); }

ClassFactory::~ClassFactory() { ObjectDestroyed(); }

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = NULL;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) ClassFactory::Release() {
  ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = NULL;
  // An aggregated object hands its outer unknown only its non-delegating
  // unknown.
  if (outer && !IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
  HRESULT result = S_OK;
  IUnknown* created = row_->create(outer, &result);
  if (!created) return FAILED(result) ? result : E_OUTOFMEMORY;
  // The reference taken here keeps the object alive through the query and
  // destroys it when the query (or the creation) failed.
  created->AddRef();
  if (SUCCEEDED(result)) result = created->QueryInterface(iid, object);
  created->Release();
  return result;
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    ++Module().serverLocks;
  } else if (Module().serverLocks > 0) {
    // An unbalanced unlock must not let the count go negative and hide a
    // later lock from DllCanUnloadNow.
    --Module().serverLocks;
  }
  return S_OK;
}

}  // namespace qcamext
