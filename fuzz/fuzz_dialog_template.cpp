// Any bytes as a dialog template (DLGTEMPLATE or DLGTEMPLATEEX): read by the
// template reader and, wrapped as the only dialog resource of a module,
// turned into a dialog with its controls, pictured and destroyed. The
// template lives in a buffer of exactly its size inside that resource file,
// so a read past it is caught by the address sanitizer.
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/machine/module_resources.h"
#include "platform/machine/window_system.h"
#include "platform/win32/dialog_template.h"

namespace {

const HMODULE kModule = reinterpret_cast<HMODULE>(uintptr_t(0x6670000));

void Put16(std::vector<uint8_t>* out, uint16_t v) {
  out->push_back(uint8_t(v));
  out->push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>* out, uint32_t v) {
  Put16(out, uint16_t(v));
  Put16(out, uint16_t(v >> 16));
}

// A resource file holding the template as RT_DIALOG 1, ending right after it.
std::vector<uint8_t> WrapAsResourceFile(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file;
  for (uint16_t type : {uint16_t(0), uint16_t(5)}) {
    const uint32_t dataSize = type ? uint32_t(size) : 0;
    Put32(&file, dataSize);
    Put32(&file, 32);
    Put16(&file, 0xFFFF), Put16(&file, type), Put16(&file, 0xFFFF), Put16(&file, type ? 1 : 0);
    Put32(&file, 0), Put16(&file, 0x30), Put16(&file, 0x0409), Put32(&file, 0), Put32(&file, 0);
    if (type) file.insert(file.end(), data, data + size);
  }
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 14)) return 0;
  std::vector<uint8_t> exact(data, data + size);
  platform::win32::DialogTemplate parsed;
  const bool ok = platform::win32::ParseDialogTemplate(exact.data(), exact.size(), &parsed);
  if (ok) {
    volatile size_t seen = parsed.title.size() + parsed.faceName.size();
    for (const auto& item : parsed.items) seen = seen + item.title.text.size() + item.creationSize;
  }
  const std::vector<uint8_t> file = WrapAsResourceFile(data, size);
  platform::RegisterModuleResources(kModule, file.data(), file.size());
  HWND dialog = CreateDialogParamA(kModule, MAKEINTRESOURCEA(1), nullptr, nullptr, 0);
  if (dialog) {
    platform::WindowPicture picture;
    platform::CaptureWindowPicture(dialog, &picture);
    DestroyWindow(dialog);
  }
  platform::UnregisterModuleResources(kModule);
  return 0;
}
