// InitCommonControls / InitCommonControlsEx. The common control classes
// are always registered; the calls only record which ones a program asked
// for (platform::InitializedCommonControls), as a check that it asks.
#include <atomic>

#include <commctrl.h>

#include "platform/win32/modal_hooks.h"

namespace platform {
namespace win32 {
namespace {
std::atomic<uint32_t> g_initialized(0);
}

uint32_t InitializedCommonControlClasses() { return g_initialized.load(); }
void ResetCommonControlClasses() { g_initialized = 0; }

}  // namespace win32
}  // namespace platform

void WINAPI InitCommonControls(void) { platform::win32::g_initialized |= ICC_WIN95_CLASSES; }

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
  if (!picce || picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  platform::win32::g_initialized |= picce->dwICC;
  return TRUE;
}
