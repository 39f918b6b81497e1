// The "Video Source" property sheet as the VfW-to-WDM mapper shows the
// pages the extension gave it: modal, without an Apply button.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <functional>
#include <vector>

#include "platform/machine/window_system.h"

namespace ext_test {

// Shows the pages; `onShown` acts on the sheet once it is up and must close
// it (OK or Cancel), as a person would.
inline void RunVideoSourceSheet(std::vector<HPROPSHEETPAGE>* pages, const std::function<void(HWND)>& onShown) {
  platform::SetModalHook([&onShown](platform::WindowHandle sheet, platform::ModalEvent event) {
    if (event == platform::ModalEvent::Shown) onShown(sheet);
  });
  PROPSHEETHEADERA header = {};
  header.dwSize = sizeof(header);
  header.dwFlags = PSH_NOAPPLYNOW;
  header.pszCaption = "Video Source";
  header.nPages = static_cast<UINT>(pages->size());
  header.phpage = pages->data();
  PropertySheetA(&header);
  platform::SetModalHook(nullptr);
}

}  // namespace ext_test
