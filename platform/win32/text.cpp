// Text conversions of the window system.
#include "platform/win32/text.h"

#include "platform/machine/codepages.h"
#include "platform/machine/pc_settings.h"

namespace platform {
namespace win32 {

uint32_t AnsiCodePage() { return AnsiCodePageOfLanguage(GetPcSettings().languageId); }

std::wstring Utf16ToWide(const std::u16string& text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      out.push_back(wchar_t(0x10000 + ((c - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00)));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out.push_back(wchar_t(0xFFFD));  // an unpaired surrogate
    } else {
      out.push_back(wchar_t(c));
    }
  }
  return out;
}

std::string Utf16ToAnsi(const std::u16string& text) { return WideToAnsiText(Utf16ToWide(text)); }

std::string WideToAnsiText(const std::wstring& text) {
  if (text.empty()) return std::string();
  return WideToAnsi(AnsiCodePage(), text);
}

std::wstring AnsiToWideText(const std::string& text) {
  if (text.empty()) return std::wstring();
  return AnsiToWide(AnsiCodePage(), text);
}

std::string AnsiOrEmpty(LPCSTR text) { return text ? std::string(text) : std::string(); }
std::wstring WideOrEmpty(LPCWSTR text) { return text ? std::wstring(text) : std::wstring(); }

namespace {

// True when `byte` starts a two-byte character in a double-byte code page.
bool IsLeadByte(uint32_t codePage, uint8_t byte) {
  switch (codePage) {
    case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950: return byte >= 0x81 && byte <= 0xFE;
    default: return false;
  }
}

}  // namespace

int CopyOut(const std::string& text, LPSTR buffer, int capacity) {
  if (!buffer || capacity <= 0) return 0;
  const uint32_t codePage = AnsiCodePage();
  size_t n = 0;
  const size_t limit = size_t(capacity) - 1;
  while (n < text.size()) {
    const size_t step = IsLeadByte(codePage, uint8_t(text[n])) && n + 1 < text.size() ? 2 : 1;
    if (n + step > limit) break;
    n += step;
  }
  if (n) std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return int(n);
}

int CopyOut(const std::wstring& text, LPWSTR buffer, int capacity) {
  if (!buffer || capacity <= 0) return 0;
  const size_t n = std::min(text.size(), size_t(capacity) - 1);
  for (size_t i = 0; i < n; ++i) buffer[i] = text[i];
  buffer[n] = 0;
  return int(n);
}

namespace {
char Fold(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
char16_t Fold16(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }
}  // namespace

bool EqualNoCase(const std::string& a, const std::string& b) { return CompareNoCase(a, b) == 0; }

int CompareNoCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const uint8_t x = uint8_t(Fold(a[i])), y = uint8_t(Fold(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualNoCase16(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold16(a[i]) != Fold16(b[i])) return false;
  return true;
}

}  // namespace win32
}  // namespace platform
