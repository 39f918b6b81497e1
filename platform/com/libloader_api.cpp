// The libloaderapi.h calls: names in the PC's ANSI code page or as WCHAR
// text, handed to the module table in UTF-8.
#include <windows.h>

#include <algorithm>

#include "platform/com/module_loader.h"
#include "platform/com/pc_text.h"

namespace {

namespace text = platform::pc_text;
namespace loader = platform::module_loader;

// The Vista rule for a short buffer: cut, terminated, ERROR_INSUFFICIENT_BUFFER,
// and the buffer size returned.
template <class Char, class String>
DWORD CopyModuleFileName(const String& path, Char* buffer, DWORD size) {
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() < size) {
    std::copy(path.begin(), path.end(), buffer);
    buffer[path.size()] = 0;
    return DWORD(path.size());
  }
  std::copy(path.begin(), path.begin() + (size - 1), buffer);
  buffer[size - 1] = 0;
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

// The path of a module, null meaning the program.
bool ModulePath(HMODULE module, std::string* path) {
  if (loader::PathOf(module ? module : loader::Find(nullptr, true), path)) return true;
  SetLastError(ERROR_MOD_NOT_FOUND);
  return false;
}

}  // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) { return LoadLibraryExA(lpLibFileName, nullptr, 0); }

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) {
  if (!lpLibFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return loader::Load(text::WideToUtf8(lpLibFileName));
}

// The altered search path only changes where a module's own dependencies
// are looked for, which the host's loader resolves; loading as a data file
// or without running the entry point is not offered.
HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
  if (!lpLibFileName || hFile || (dwFlags & ~DWORD(LOAD_WITH_ALTERED_SEARCH_PATH))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return loader::Load(text::AnsiToUtf8(lpLibFileName));
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) { return loader::Free(hLibModule); }

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (!lpProcName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(loader::Export(hModule, lpProcName));
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  return loader::Find(lpModuleName ? text::AnsiToUtf8(lpModuleName).c_str() : nullptr, !lpModuleName);
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
  return loader::Find(lpModuleName ? text::WideToUtf8(lpModuleName).c_str() : nullptr, !lpModuleName);
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  std::string path;
  return ModulePath(hModule, &path) ? CopyModuleFileName(text::Utf8ToAnsi(path), lpFilename, nSize) : 0;
}

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  std::string path;
  return ModulePath(hModule, &path) ? CopyModuleFileName(text::Utf8ToWide(path), lpFilename, nSize) : 0;
}

BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule) { return loader::DisableThreadCalls(hLibModule); }
