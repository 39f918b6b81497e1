// LoadStringA/W: string tables of 16 counted UTF-16 strings per block; the
// string with id N lives in block N / 16 + 1 at position N % 16.
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <windows.h>

#include "platform/win32/resources.h"
#include "platform/win32/text.h"

namespace {

using platform::win32::ResName;

// The string `id` of the module, or false when the table or the string is
// missing (an empty string counts as missing, as LoadString reports 0).
bool FindString(HINSTANCE module, UINT id, std::u16string* text) {
  const platform::win32::ResourceRecord* block = platform::win32::FindModuleResource(
      module, platform::win32::OrdinalName(6 /* RT_STRING */), platform::win32::OrdinalName(uint16_t((id >> 4) + 1)),
      -1);
  if (!block) return false;
  platform::win32::ByteCursor cursor(block->data, block->size);
  for (UINT i = 0; i < 16; ++i) {
    uint16_t length = 0;
    if (!cursor.U16(&length)) return false;
    if (i == (id & 15)) {
      text->clear();
      for (uint16_t k = 0; k < length; ++k) {
        uint16_t c;
        if (!cursor.U16(&c)) return false;
        text->push_back(char16_t(c));
      }
      if (text->empty()) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return !text->empty();
    }
    if (!cursor.Skip(size_t(length) * 2)) return false;
  }
  return false;
}

// LoadStringW with a zero buffer size hands out a read-only pointer to the
// string. The resource holds UTF-16 and WCHAR is wider here, so the pointer
// goes to a converted copy kept for the life of the process.
const WCHAR* PermanentCopy(HINSTANCE module, UINT id, const std::wstring& text) {
  static std::mutex lock;
  static auto* copies = new std::map<std::pair<HINSTANCE, UINT>, std::unique_ptr<std::wstring>>;
  std::lock_guard<std::mutex> hold(lock);
  auto& slot = (*copies)[{module, id}];
  if (!slot || *slot != text) slot.reset(new std::wstring(text));
  return slot->c_str();
}

}  // namespace

int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
  if (!lpBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string text;
  if (!FindString(hInstance, uID, &text)) {
    if (cchBufferMax > 0) lpBuffer[0] = 0;
    return 0;
  }
  const std::wstring wide = platform::win32::Utf16ToWide(text);
  if (cchBufferMax == 0) {
    *reinterpret_cast<const WCHAR**>(lpBuffer) = PermanentCopy(hInstance, uID, wide);
    return int(wide.size());
  }
  return platform::win32::CopyOut(wide, lpBuffer, cchBufferMax);
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  if (!lpBuffer || cchBufferMax <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string text;
  if (!FindString(hInstance, uID, &text)) {
    lpBuffer[0] = 0;
    return 0;
  }
  return platform::win32::CopyOut(platform::win32::Utf16ToAnsi(text), lpBuffer, cchBufferMax);
}
