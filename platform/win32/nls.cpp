// The system's language and ANSI code page, and the conversions between
// code pages and wide characters, over the PC's settings and code-page
// tables.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "platform/machine/codepages.h"
#include "platform/machine/pc_settings.h"

namespace {

constexpr wchar_t kReplacementCharacter = 0xFFFD;

// The code page a caller names, resolved; 0 for one the PC does not know.
UINT ResolveCodePage(UINT codePage) {
  if (codePage == CP_ACP || codePage == CP_THREAD_ACP) return GetACP();
  return platform::KnownCodePage(codePage) ? codePage : 0;
}

size_t CountOf(const std::wstring& text, wchar_t c) { return size_t(std::count(text.begin(), text.end(), c)); }
size_t CountOf(const std::string& text, const std::string& sequence) {
  size_t n = 0;
  for (size_t at = text.find(sequence); at != std::string::npos; at = text.find(sequence, at + sequence.size())) ++n;
  return n;
}

// Whether converting `bytes` had to replace an invalid sequence: the
// converter turns each into U+FFFD, which is an invalid result unless the
// input spelled U+FFFD itself (possible in UTF-8 only).
bool HadInvalidBytes(UINT codePage, const std::string& bytes, const std::wstring& wide) {
  const size_t replaced = CountOf(wide, kReplacementCharacter);
  const size_t genuine = codePage == CP_UTF8 ? CountOf(bytes, "\xEF\xBF\xBD") : 0;
  return replaced > genuine;
}

// Copies `count` units of `from` into the caller's buffer of `capacity`
// units, or with capacity 0 only reports the size; the conversion calls'
// shared result contract.
template <class Unit>
int Deliver(const Unit* from, size_t count, Unit* to, int capacity) {
  if (count > size_t(INT32_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (capacity == 0) return int(count);
  if (count > size_t(capacity)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(from, from + count, to);
  return int(count);
}

// The ANSI form of `text` one character at a time, so that characters the
// code page lacks become `defaultChar` and are reported.
std::string ToAnsiWithDefault(UINT codePage, const std::wstring& text, const std::string& defaultChar,
                              bool* usedDefault) {
  std::string out;
  for (wchar_t c : text) {
    std::string one = platform::WideToAnsi(codePage, std::wstring(1, c));
    if (one == "?" && c != L'?') {
      *usedDefault = true;
      one = defaultChar;
    }
    out += one;
  }
  return out;
}

}  // namespace

UINT WINAPI GetACP(void) { return platform::AnsiCodePageOfLanguage(platform::GetPcSettings().languageId); }

BOOL WINAPI IsValidCodePage(UINT CodePage) { return platform::KnownCodePage(CodePage) ? TRUE : FALSE; }

LANGID WINAPI GetSystemDefaultLangID(void) { return platform::GetPcSettings().languageId; }
LANGID WINAPI GetUserDefaultLangID(void) { return platform::GetPcSettings().languageId; }
LCID WINAPI GetSystemDefaultLCID(void) { return MAKELCID(GetSystemDefaultLangID(), SORT_DEFAULT); }
LCID WINAPI GetUserDefaultLCID(void) { return MAKELCID(GetUserDefaultLangID(), SORT_DEFAULT); }

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  const UINT codePage = ResolveCodePage(CodePage);
  if (!codePage || !lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && !lpWideCharStr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwFlags & ~DWORD(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  // -1: a nul-terminated string, converted with its terminator.
  const size_t length = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : size_t(cbMultiByte);
  const std::string bytes(lpMultiByteStr, length);
  const std::wstring wide = platform::AnsiToWide(codePage, bytes);
  if ((dwFlags & MB_ERR_INVALID_CHARS) && HadInvalidBytes(codePage, bytes, wide)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return Deliver(wide.data(), wide.size(), lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
  const UINT codePage = ResolveCodePage(CodePage);
  if (!codePage || !lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && !lpMultiByteStr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // UTF-8 encodes every character: a default character makes no sense there.
  if (codePage == CP_UTF8 && (lpDefaultChar || lpUsedDefaultChar)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwFlags & ~DWORD(WC_NO_BEST_FIT_CHARS)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const size_t length = cchWideChar == -1 ? std::wcslen(lpWideCharStr) + 1 : size_t(cchWideChar);
  const std::wstring wide(lpWideCharStr, length);
  std::string bytes;
  if (lpDefaultChar || lpUsedDefaultChar) {
    bool usedDefault = false;
    bytes = ToAnsiWithDefault(codePage, wide, lpDefaultChar ? std::string(1, *lpDefaultChar) : "?", &usedDefault);
    if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
  } else {
    bytes = platform::WideToAnsi(codePage, wide);
  }
  return Deliver(bytes.data(), bytes.size(), lpMultiByteStr, cbMultiByte);
}
