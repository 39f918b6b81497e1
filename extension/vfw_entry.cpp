// VFWWDMExtension: the VfW-to-WDM mapper calls it while it builds its
// video-source dialog. The extension finds the camera, keeps its three
// interfaces for the dialog's pages and adds up to three of its own pages,
// each a static page object of the module with a dialog procedure of its
// kind.
#include <windows.h>
#include <dshow.h>
#include <prsht.h>

#include <cstring>

#include "extension/camera_finder.h"
#include "extension/com_object.h"
#include "extension/custom_camera_page.h"
#include "extension/digital_zoom_page.h"
#include "extension/localisation.h"
#include "extension/module.h"
#include "extension/special_effect_page.h"
#include "extension/resource.h"
#include "vfwext.h"

namespace qcamext {
namespace {

void ReleaseModuleInterfaces() {
  ModuleState& module = Module();
  ReleaseAndClear(&module.vfwVideoProcAmp);
  ReleaseAndClear(&module.vfwCameraControl);
  ReleaseAndClear(&module.vfwCustomProp);
}

template <class Page>
INT_PTR VfwPageMessage(Page* page, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!page) return 0;
  if (message == WM_INITDIALOG) page->UseVfwInterfaces();
  page->OnReceiveMessage(window, message, wParam, lParam);
  return 0;
}

INT_PTR CALLBACK CameraPageVfwProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return VfwPageMessage(Module().vfwCameraPage, window, message, wParam, lParam);
}

INT_PTR CALLBACK EffectPageVfwProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return VfwPageMessage(Module().vfwEffectPage, window, message, wParam, lParam);
}

INT_PTR CALLBACK ZoomPageVfwProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return VfwPageMessage(Module().vfwZoomPage, window, message, wParam, lParam);
}

// Shared by the three pages: the first page the sheet releases lets go of
// the camera's interfaces, the module's and the static pages' alike.
UINT CALLBACK VfwPageCallback(HWND window, UINT message, LPPROPSHEETPAGEA page) {
  if (message == PSPCB_CREATE) return 1;
  if (message == PSPCB_RELEASE) {
    ModuleState& module = Module();
    ReleaseModuleInterfaces();
    if (module.vfwCameraPage) module.vfwCameraPage->OnDisconnect();
    if (module.vfwEffectPage) module.vfwEffectPage->OnDisconnect();
    if (module.vfwZoomPage) module.vfwZoomPage->OnDisconnect();
  }
  return 0;
}

// Finds the camera and keeps its three interfaces in the module's slots;
// false when the filter or any of them is missing.
bool TakeCameraInterfaces() {
  ModuleState& module = Module();
  ReleaseModuleInterfaces();
  CameraFinder finder;
  if (SUCCEEDED(finder.Build()) && finder.Filter()) {
    IBaseFilter* filter = finder.Filter();
    filter->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&module.vfwVideoProcAmp));
    filter->QueryInterface(IID_IAMCameraControl, reinterpret_cast<void**>(&module.vfwCameraControl));
    filter->QueryInterface(IID_IAMCustomCameraProp, reinterpret_cast<void**>(&module.vfwCustomProp));
  }
  finder.TearDown();
  if (module.vfwVideoProcAmp && module.vfwCameraControl && module.vfwCustomProp) return true;
  // No page will be added, so no page callback would ever let these go.
  ReleaseModuleInterfaces();
  return false;
}

// Adds one page when its title is not empty; true when the mapper took it.
bool AddVfwPage(const char* title, int templateId, DLGPROC procedure, LPFNADDPROPSHEETPAGE addPage,
                LPARAM lParam) {
  if (!title[0]) return false;
  PROPSHEETPAGEA sheetPage;
  std::memset(&sheetPage, 0, sizeof(sheetPage));
  sheetPage.dwSize = PROPSHEETPAGEA_V2_SIZE;
  sheetPage.dwFlags = PSP_USETITLE | PSP_USEREFPARENT | PSP_USECALLBACK;
  sheetPage.hInstance = Module().instance;
  sheetPage.pszTemplate = MAKEINTRESOURCEA(templateId);
  sheetPage.pszTitle = title;
  sheetPage.pfnDlgProc = procedure;
  sheetPage.lParam = 0;
  sheetPage.pfnCallback = VfwPageCallback;
  sheetPage.pcRefParent = NULL;
  HPROPSHEETPAGE created = CreatePropertySheetPageA(&sheetPage);
  return created && addPage && addPage(created, lParam);
}

}  // namespace
}  // namespace qcamext

using namespace qcamext;

extern "C" DWORD CALLBACK VFWWDMExtension(LPVOID deviceControl, LPFNADDPROPSHEETPAGE addPage, LPARAM lParam) {
  CoInitialize(NULL);
  if (!TakeCameraInterfaces()) return 0;
  ModuleState& module = Module();
  // The titles outlive this call: the sheet may read them whenever it shows
  // the pages.
  static VfwPageTitles titles;
  ReadVfwPageTitles(&titles);
  int added = 0;
  added += AddVfwPage(titles.camera, CameraPageVfwTemplate(module.layer), CameraPageVfwProc, addPage, lParam);
  added += AddVfwPage(titles.effect, IDD_EFFECT_PAGE, EffectPageVfwProc, addPage, lParam);
  added += AddVfwPage(titles.zoom, ZoomPageVfwTemplate(module.windows6), ZoomPageVfwProc, addPage, lParam);
  // Only an added page's callback lets the camera's interfaces go.
  if (added == 0) ReleaseModuleInterfaces();
  return VFW_OEM_ADD_PAGE | VFW_HIDECAMERACONTROLPAGE | VFW_HIDESETTINGSPAGE;
}
