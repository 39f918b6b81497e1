// The lstr string calls. Like Windows they take NULL for an empty string
// instead of crashing, and compare names without regard to case in the
// ANSI code page of the PC.
#include <windows.h>

#include <cwchar>
#include <string>

#include "platform/win32/ansi_case.h"

namespace {

template <class Char>
size_t Length(const Char* s) {
  size_t n = 0;
  if (s)
    while (s[n]) ++n;
  return n;
}

// Copies at most iMaxLength-1 characters and always terminates.
template <class Char>
Char* CopyCut(Char* to, const Char* from, int iMaxLength) {
  if (!to || iMaxLength <= 0) return to;
  const size_t n = std::min<size_t>(Length(from), size_t(iMaxLength) - 1);
  for (size_t i = 0; i < n; ++i) to[i] = from[i];
  to[n] = Char(0);
  return to;
}

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

int CompareBytes(const std::string& a, const std::string& b) { return Sign(a.compare(b)); }

}  // namespace

int WINAPI lstrlenA(LPCSTR lpString) { return int(Length(lpString)); }
int WINAPI lstrlenW(LPCWSTR lpString) { return int(Length(lpString)); }

LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  return std::strcpy(lpString1, lpString2);
}

LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  return std::wcscpy(lpString1, lpString2);
}

LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength) {
  return CopyCut(lpString1, lpString2, iMaxLength);
}

LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength) {
  return CopyCut(lpString1, lpString2, iMaxLength);
}

LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  return std::strcat(lpString1, lpString2);
}

// Windows compares words as a dictionary does: letters first without
// regard to case, and only between otherwise equal strings a lower-case
// letter sorts before its capital.
int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
  const std::string a = lpString1 ? lpString1 : "", b = lpString2 ? lpString2 : "";
  const int folded = lstrcmpiA(a.c_str(), b.c_str());
  if (folded != 0) return folded;
  return -CompareBytes(a, b);  // capitals have the lower byte values
}

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  const UINT codePage = GetACP();
  return CompareBytes(ansi_case::Fold(codePage, lpString1 ? lpString1 : ""),
                      ansi_case::Fold(codePage, lpString2 ? lpString2 : ""));
}
