// qcam as the VfW-to-WDM mapper: the module's VFWWDMExtension asked for its
// pages, which then make up the video-source property sheet.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "platform/draw/window_draw.h"
#include "platform/machine/window_system.h"
#include "platform/sdk-extra/vfwext.h"
#include "tools/qcam/user_mode.h"

namespace qcam_tool {
namespace {

BOOL CALLBACK CollectPage(HPROPSHEETPAGE page, LPARAM lParam) {
  reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(lParam)->push_back(page);
  return TRUE;
}

// Hands every posted and sent message of this thread to its window, as the
// mapper's dialog loop would between the user's actions.
void PumpMessages(HWND sheet) {
  MSG msg;
  while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    if (sheet && IsWindow(sheet) && SendMessageA(sheet, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&msg)))
      continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Shows the pages as the mapper's sheet does, draws it and cancels it. The
// sheet owns the pages from here on and releases them when it goes.
bool ShowSheet(std::vector<HPROPSHEETPAGE>* pages, const std::string& pngPath, std::string* error) {
  PROPSHEETHEADERA header = {};
  header.dwSize = sizeof(header);
  header.dwFlags = PSH_MODELESS | PSH_NOAPPLYNOW;
  header.pszCaption = "Video Source";
  header.nPages = UINT(pages->size());
  header.phpage = pages->data();
  HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
  pages->clear();
  if (!sheet || sheet == reinterpret_cast<HWND>(-1)) {
    *error = "PropertySheetA did not make the video-source sheet";
    return false;
  }
  PumpMessages(sheet);
  bool drawn = true;
  if (!pngPath.empty()) {
    platform::WindowPicture picture;
    drawn = platform::CaptureWindowPicture(sheet, &picture) && draw::WriteWindowPng(picture, pngPath, error);
    if (!drawn && error->empty()) *error = "cannot take a picture of the video-source sheet";
  }
  SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  PumpMessages(sheet);
  // A modeless sheet that has closed has no current page; its owner destroys it.
  if (IsWindow(sheet) && !PropSheet_GetCurrentPageHwnd(sheet)) DestroyWindow(sheet);
  PumpMessages(NULL);
  return drawn;
}

}  // namespace

bool RunVfwMapper(const std::string& pngPath, uint32_t* flags, std::vector<VfwPage>* described, std::string* error) {
  HMODULE module = LoadLibraryA(kModuleWin32Path);
  if (!module) {
    *error = std::string("cannot load ") + kModuleWin32Path;
    return false;
  }
  VFWWDMExtensionProc entry =
      reinterpret_cast<VFWWDMExtensionProc>(reinterpret_cast<void (*)()>(GetProcAddress(module, "VFWWDMExtension")));
  if (!entry) {
    *error = std::string(kModuleWin32Path) + " has no VFWWDMExtension";
    FreeLibrary(module);
    return false;
  }
  std::vector<HPROPSHEETPAGE> pages;
  // The device-control routine is the mapper's; the extension does not use it.
  *flags = entry(NULL, CollectPage, reinterpret_cast<LPARAM>(&pages));
  described->clear();
  for (HPROPSHEETPAGE page : pages) {
    platform::SheetPageInfo info;
    platform::DescribeSheetPage(page, &info);
    described->push_back({info.templateId, info.templateName, info.title});
  }
  bool ok = true;
  if (!pages.empty()) ok = ShowSheet(&pages, pngPath, error);
  FreeLibrary(module);
  return ok;
}

}  // namespace qcam_tool
