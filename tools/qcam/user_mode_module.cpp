// qcam as a user-mode program: the extension module loaded as regsvr32
// loads it, and HRESULTs as DirectShow words them.
#include <windows.h>
#include <cstdio>
#include <dshow.h>

#include "platform/machine/com_control.h"
#include "tools/qcam/user_mode.h"

namespace qcam_tool {
namespace {

typedef HRESULT(STDAPICALLTYPE* RegistrationEntry)(void);

HRESULT LastErrorResult() {
  const DWORD e = GetLastError();
  return e ? HRESULT_FROM_WIN32(e) : E_FAIL;
}

}  // namespace

std::string HresultText(uint32_t hr) {
  char text[160] = {};
  char buf[200];
  if (AMGetErrorTextA(HRESULT(hr), text, sizeof(text)) == 0)
    std::snprintf(buf, sizeof(buf), "0x%08X (no text for this code)", unsigned(hr));
  else
    std::snprintf(buf, sizeof(buf), "0x%08X (%s)", unsigned(hr), text);
  return buf;
}

bool CallModuleRegistration(bool unregister, uint32_t* hr, std::string* error) {
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  HMODULE module = LoadLibraryA(kModuleWin32Path);
  if (!module) {
    *hr = uint32_t(LastErrorResult());
    const std::string why = platform::LastModuleLoadError();
    *error = std::string("cannot load ") + kModuleWin32Path + (why.empty() ? "" : " (" + why + ")");
    return false;
  }
  // Through the generic function type: what GetProcAddress finds is the
  // entry as exported, with its own signature.
  RegistrationEntry call =
      reinterpret_cast<RegistrationEntry>(reinterpret_cast<void (*)()>(GetProcAddress(module, entry)));
  if (!call) {
    *hr = uint32_t(LastErrorResult());
    *error = std::string(kModuleWin32Path) + " has no " + entry;
    FreeLibrary(module);
    return false;
  }
  const HRESULT result = call();
  FreeLibrary(module);
  *hr = uint32_t(result);
  if (FAILED(result)) *error = std::string(entry) + " failed";
  return SUCCEEDED(result);
}

}  // namespace qcam_tool
