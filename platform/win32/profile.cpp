// The profile calls on INI files of the PC: every call reads the file as it
// is on disk (no cache, so programs sharing a file see each other's writes)
// and every write replaces the file whole, through a temporary file.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/machine/codepages.h"
#include "platform/machine/paths.h"
#include "platform/win32/file_paths.h"
#include "platform/win32/ini_text.h"

namespace {

// Writers are serialised, so that two writes to one file both land.
std::mutex g_writeLock;

// The host file of a profile: a bare file name is in the Windows directory;
// NULL is the system's own win.ini.
bool HostPathOf(const std::string& fileName, std::string* host) {
  std::string win32 = file_paths::AnsiToUtf8(fileName);
  if (win32.empty()) return false;
  if (win32.find_first_of("\\/") == std::string::npos) win32 = std::string(platform::kWindowsDirectory) + "\\" + win32;
  return file_paths::ToHost(win32, host);
}
std::string FileNameOf(LPCSTR name) { return name ? name : "win.ini"; }

bool ReadWhole(const std::string& host, std::string* text) {
  std::ifstream in(host, std::ios::binary);
  if (!in) return false;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  *text = bytes.str();
  return true;
}

bool WriteWhole(const std::string& host, const std::string& text) {
  const std::string temporary = host + ".new~";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(text.data(), std::streamsize(text.size()));
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), host.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

enum class Found { kNothing, kValue, kList };

// What a GetPrivateProfileString call finds: the value of a key, the names
// of a section's keys (no key) or of the file's sections (no section), or
// nothing (the default applies). Names are ANSI bytes.
Found LookUp(LPCSTR section, LPCSTR key, const std::string& fileName, std::vector<std::string>* items) {
  std::string host, text;
  if (!HostPathOf(fileName, &host) || !ReadWhole(host, &text)) return Found::kNothing;
  const ini_text::File ini(std::move(text), GetACP());
  if (!section) {
    *items = ini.SectionNames();
    return Found::kList;
  }
  if (!key) return ini.KeyNames(section, items) && !items->empty() ? Found::kList : Found::kNothing;
  std::string value;
  if (!ini.Value(section, key, &value)) return Found::kNothing;
  items->push_back(value);
  return Found::kValue;
}

// A value cut to nSize-1 characters and terminated; returns what was copied.
template <class Char>
DWORD CopyValue(const std::basic_string<Char>& value, Char* buffer, DWORD nSize) {
  const size_t n = std::min<size_t>(value.size(), nSize - 1);
  std::copy(value.begin(), value.begin() + n, buffer);
  buffer[n] = Char(0);
  return DWORD(n);
}

// Names, each terminated, and one more terminator after the last. A list
// that does not fit is cut, and then ends with two terminators and returns
// nSize-2.
template <class Char>
DWORD CopyList(const std::vector<std::basic_string<Char>>& names, Char* buffer, DWORD nSize) {
  std::basic_string<Char> all;
  for (const auto& name : names) {
    all += name;
    all += Char(0);
  }
  if (all.size() < nSize) {
    std::copy(all.begin(), all.end(), buffer);
    buffer[all.size()] = Char(0);
    return DWORD(all.size());
  }
  if (nSize < 2) {
    buffer[0] = Char(0);
    return 0;
  }
  std::copy(all.begin(), all.begin() + (nSize - 2), buffer);
  buffer[nSize - 2] = Char(0);
  buffer[nSize - 1] = Char(0);
  return nSize - 2;
}

// The default without its trailing blanks.
template <class Char>
std::basic_string<Char> TrimmedDefault(const Char* text) {
  std::basic_string<Char> out = text ? text : std::basic_string<Char>();
  while (!out.empty() && (out.back() == Char(' ') || out.back() == Char('\t'))) out.pop_back();
  return out;
}

template <class Char>
DWORD Deliver(Found found, const std::vector<std::basic_string<Char>>& items, const Char* defaultText,
              Char* buffer, DWORD nSize) {
  if (!buffer || nSize == 0) return 0;
  switch (found) {
    case Found::kList: return CopyList(items, buffer, nSize);
    case Found::kValue: return CopyValue(items.front(), buffer, nSize);
    case Found::kNothing: break;
  }
  return CopyValue(TrimmedDefault(defaultText), buffer, nSize);
}

std::string ToAnsi(LPCWSTR text) { return platform::WideToAnsi(GetACP(), text); }

// Decimal digits with an optional sign; what follows them is ignored, and
// the value wraps at 32 bits as Windows' conversion does.
UINT ParseProfileInt(const std::string& text) {
  size_t i = 0;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + uint32_t(text[i] - '0');
  return negative ? 0u - value : value;
}

}  // namespace

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                      DWORD nSize, LPCSTR lpFileName) {
  std::vector<std::string> items;
  const Found found = LookUp(lpAppName, lpKeyName, FileNameOf(lpFileName), &items);
  return Deliver(found, items, lpDefault, lpReturnedString, nSize);
}

DWORD WINAPI GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault,
                                      LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName) {
  const std::string section = lpAppName ? ToAnsi(lpAppName) : std::string();
  const std::string key = lpKeyName ? ToAnsi(lpKeyName) : std::string();
  const std::string file = lpFileName ? ToAnsi(lpFileName) : FileNameOf(nullptr);
  std::vector<std::string> items;
  const Found found =
      LookUp(lpAppName ? section.c_str() : nullptr, lpKeyName ? key.c_str() : nullptr, file, &items);
  std::vector<std::wstring> wide;
  for (const std::string& item : items) wide.push_back(platform::AnsiToWide(GetACP(), item));
  return Deliver(found, wide, lpDefault, lpReturnedString, nSize);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
  std::vector<std::string> items;
  if (!lpAppName || !lpKeyName || LookUp(lpAppName, lpKeyName, FileNameOf(lpFileName), &items) != Found::kValue ||
      items.front().empty())
    return UINT(nDefault);
  return ParseProfileInt(items.front());
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
  if (!lpAppName) {
    // All three NULL asks to flush the cache, and there is none.
    if (!lpKeyName && !lpString) return TRUE;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!ini_text::Writable(lpAppName, lpKeyName, lpString)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string host;
  if (!HostPathOf(FileNameOf(lpFileName), &host)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  std::lock_guard<std::mutex> hold(g_writeLock);
  std::string text;
  ReadWhole(host, &text);  // a missing file starts empty
  ini_text::File ini(std::move(text), GetACP());
  const bool changed = !lpKeyName  ? ini.DeleteSection(lpAppName)
                       : !lpString ? ini.DeleteKey(lpAppName, lpKeyName)
                                   : ini.SetValue(lpAppName, lpKeyName, lpString);
  if (!changed) return TRUE;
  if (!WriteWhole(host, ini.Text())) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}
