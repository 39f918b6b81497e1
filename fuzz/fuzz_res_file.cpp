// Any bytes as a module's resource file: every record the reader finds is
// looked up again by type, name and language and used as the window system
// uses it (string tables, menus, icons, dialogs), and a few names taken
// from the input are looked up too. The bytes live in a buffer of exactly
// their size, so a read past them is caught by the address sanitizer.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/machine/module_resources.h"
#include "platform/machine/window_system.h"
#include "platform/win32/res_file.h"

namespace {

const HMODULE kModule = reinterpret_cast<HMODULE>(uintptr_t(0x6660000));

// A resource name as FindResourceExW takes it.
struct WideName {
  std::wstring text;
  LPCWSTR Get(const platform::win32::ResName& name) {
    if (name.isOrdinal) return MAKEINTRESOURCEW(name.ordinal);
    text.assign(name.text.begin(), name.text.end());
    return text.c_str();
  }
};

void Use(const platform::win32::ResEntry& e) {
  WideName type, name;
  HRSRC found = FindResourceExW(kModule, type.Get(e.type), name.Get(e.name), e.language);
  if (found) {
    const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(kModule, found)));
    const DWORD size = SizeofResource(kModule, found);
    volatile uint8_t sum = 0;
    for (DWORD i = 0; bytes && i < size; ++i) sum = uint8_t(sum + bytes[i]);
  }
  if (!e.type.isOrdinal || !e.name.isOrdinal) return;
  switch (e.type.ordinal) {
    case 6: {  // RT_STRING: the block's 16 strings
      char ansi[64];
      WCHAR wide[64];
      for (UINT i = 0; i < 16; ++i) {
        const UINT id = (UINT(e.name.ordinal) - 1) * 16 + i;
        LoadStringA(kModule, id, ansi, sizeof ansi);
        LoadStringW(kModule, id, wide, 64);
      }
      break;
    }
    case 4: {  // RT_MENU
      HMENU menu = LoadMenuA(kModule, MAKEINTRESOURCEA(e.name.ordinal));
      std::vector<platform::MenuItemInfo> items;
      platform::DescribeMenu(menu, &items);
      if (menu) DestroyMenu(menu);
      break;
    }
    case 14: {  // RT_GROUP_ICON
      platform::IconInfo info;
      platform::DescribeIcon(LoadIconA(kModule, MAKEINTRESOURCEA(e.name.ordinal)), &info);
      break;
    }
    case 5: {  // RT_DIALOG, created hidden and destroyed
      HWND dialog = CreateDialogParamA(kModule, MAKEINTRESOURCEA(e.name.ordinal), nullptr, nullptr, 0);
      if (dialog) {
        platform::WindowPicture picture;
        platform::CaptureWindowPicture(dialog, &picture);
        DestroyWindow(dialog);
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  platform::RegisterModuleResources(kModule, bytes.data(), bytes.size());
  std::vector<platform::win32::ResEntry> entries;
  platform::win32::ParseResFile(bytes.data(), bytes.size(), &entries);
  for (size_t i = 0; i < entries.size() && i < 64; ++i) Use(entries[i]);
  // Names the file may or may not have.
  FindResourceA(kModule, "#1", MAKEINTRESOURCEA(5));
  FindResourceA(kModule, "DIALOG", "CUSTOM");
  platform::UnregisterModuleResources(kModule);
  return 0;
}
