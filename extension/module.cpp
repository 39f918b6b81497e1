// The module entry point, the class-object export and the unload check.
#include "extension/module.h"

#include <cstring>
#include <new>

#include "extension/camera_finder.h"
#include "extension/class_factory.h"
#include "extension/custom_camera_page.h"
#include "extension/command_page.h"
#include "extension/digital_zoom_page.h"
#include "extension/special_effect_page.h"
#include "shared/qcam_registry.h"

namespace qcamext {

ModuleState& Module() {
  static ModuleState state;
  return state;
}

void ObjectCreated() { InterlockedIncrement(&Module().activeObjects); }
void ObjectDestroyed() { InterlockedDecrement(&Module().activeObjects); }

CameraFinder* SharedCameraFinder() {
  if (!Module().sharedFinder) Module().sharedFinder = new (std::nothrow) CameraFinder;
  return Module().sharedFinder;
}

void ReleaseSharedCameraFinder() {
  delete Module().sharedFinder;
  Module().sharedFinder = NULL;
}

void LoadModuleSettings() { Module().layer = qcam::ReadQcamDword(qcam::kUserDefaultKey, "Layer"); }

void ReadPlatformVersion(DWORD* platformId, bool* windows6) {
  // The extended structure first; systems that know only the plain one
  // refuse it.
  OSVERSIONINFOEXA extended;
  std::memset(&extended, 0, sizeof(extended));
  extended.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  OSVERSIONINFOA* info = reinterpret_cast<OSVERSIONINFOA*>(&extended);
  BOOL known = GetVersionExA(info);
  if (!known) {
    extended.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    known = GetVersionExA(info);
  }
  *platformId = known ? info->dwPlatformId : 1;
  *windows6 = known && info->dwPlatformId == VER_PLATFORM_WIN32_NT && info->dwMajorVersion == 6;
}

namespace {

// The static pages of the video-source dialog live as long as the module.
void CreateVfwPages() {
  ModuleState& module = Module();
  module.vfwCameraPage = new (std::nothrow)
      CustomCameraPage(NULL, AggregatableObject::kNotCounted, CameraPageVfwTemplate(module.layer));
  module.vfwEffectPage = new (std::nothrow) SpecialEffectPage(NULL, AggregatableObject::kNotCounted);
  module.vfwZoomPage = new (std::nothrow)
      DigitalZoomPage(NULL, AggregatableObject::kNotCounted, ZoomPageVfwTemplate(module.windows6));
}

template <class Page>
void DestroyVfwPage(Page** page) {
  if (*page) {
    // One reference taken and dropped ends the object through its own
    // reference count.
    (*page)->NonDelegatingAddRef();
    (*page)->NonDelegatingRelease();
    *page = NULL;
  }
}

}  // namespace
}  // namespace qcamext

using namespace qcamext;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  LoadModuleSettings();
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    Module().instance = instance;
    ReadPlatformVersion(&Module().platformId, &Module().windows6);
    CreateVfwPages();
  } else if (reason == DLL_PROCESS_DETACH) {
    DestroyVfwPage(&Module().vfwCameraPage);
    DestroyVfwPage(&Module().vfwEffectPage);
    DestroyVfwPage(&Module().vfwZoomPage);
    ReleaseSharedCameraFinder();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = NULL;
  if (!IsEqualIID(iid, IID_IClassFactory) && !IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
  const ClassTemplate* row = FindClassTemplate(clsid);
  if (!row) return CLASS_E_CLASSNOTAVAILABLE;
  ClassFactory* factory = new (std::nothrow) ClassFactory(row);
  if (!factory) return E_OUTOFMEMORY;
  *object = static_cast<IClassFactory*>(factory);
  return S_OK;
}

STDAPI DllCanUnloadNow() {
  return Module().serverLocks > 0 || Module().activeObjects > 0 ? S_FALSE : S_OK;
}
