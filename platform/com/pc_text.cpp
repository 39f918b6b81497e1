// Text conversions of the Win32 calls.
#include "platform/com/pc_text.h"

#include <cstring>
#include <cwchar>

#include "platform/machine/codepages.h"
#include "platform/machine/pc_settings.h"

namespace platform {
namespace pc_text {
namespace {

bool IsAscii(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

bool IsAscii(const std::wstring& s) {
  for (wchar_t c : s)
    if (c < 0 || c >= 0x80) return false;
  return true;
}

}  // namespace

uint32_t AnsiCodePage() { return AnsiCodePageOfLanguage(GetPcSettings().languageId); }

std::string AnsiToUtf8(const char* ansi) { return AnsiToUtf8(std::string(ansi ? ansi : "")); }

std::string AnsiToUtf8(const std::string& ansi) {
  return IsAscii(ansi) ? ansi : platform::AnsiToUtf8(AnsiCodePage(), ansi);
}

// Through WCHAR text, so that a character the code page lacks becomes one
// '?' as WideCharToMultiByte makes it, whatever its length in UTF-8.
std::string Utf8ToAnsi(const std::string& utf8) {
  return IsAscii(utf8) ? utf8 : WideToAnsi(AnsiCodePage(), AnsiToWide(kCodePageUtf8, utf8));
}

std::string WideToUtf8(const wchar_t* wide) { return WideToUtf8(std::wstring(wide ? wide : L"")); }

std::string WideToUtf8(const std::wstring& wide) {
  if (IsAscii(wide)) return std::string(wide.begin(), wide.end());
  return WideToAnsi(kCodePageUtf8, wide);
}

std::wstring Utf8ToWide(const std::string& utf8) {
  if (IsAscii(utf8)) return std::wstring(utf8.begin(), utf8.end());
  return AnsiToWide(kCodePageUtf8, utf8);
}

std::wstring Utf16LeToWide(const std::vector<uint8_t>& bytes) {
  std::wstring out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const uint32_t unit = bytes[i] | (uint32_t(bytes[i + 1]) << 8);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      const uint32_t low = bytes[i + 2] | (uint32_t(bytes[i + 3]) << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        out.push_back(wchar_t(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
        i += 2;
        continue;
      }
    }
    out.push_back(unit >= 0xD800 && unit < 0xE000 ? wchar_t(0xFFFD) : wchar_t(unit));
  }
  return out;
}

std::vector<uint8_t> WideToUtf16Le(const std::wstring& text) {
  std::vector<uint8_t> out;
  auto put = [&out](uint32_t unit) {
    out.push_back(uint8_t(unit & 0xFF));
    out.push_back(uint8_t(unit >> 8));
  };
  for (wchar_t c : text) {
    uint32_t code = uint32_t(c);
    if (code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) code = 0xFFFD;
    if (code >= 0x10000) {
      put(0xD800 + ((code - 0x10000) >> 10));
      put(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      put(code);
    }
  }
  return out;
}

bool CopyTerminated(const std::string& text, char* buffer, size_t capacity) {
  if (!buffer || capacity < text.size() + 1) return false;
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return true;
}

bool CopyTerminated(const std::wstring& text, wchar_t* buffer, size_t capacity) {
  if (!buffer || capacity < text.size() + 1) return false;
  std::wmemcpy(buffer, text.data(), text.size());
  buffer[text.size()] = L'\0';
  return true;
}

}  // namespace pc_text
}  // namespace platform
