// The system's folders, version, tick count and time, from the PC's
// settings and clock.
#include <windows.h>

#include <chrono>
#include <ctime>
#include <string>

#include "platform/machine/pc_clock.h"
#include "platform/machine/pc_settings.h"
#include "platform/machine/paths.h"
#include "platform/win32/copy_out.h"

namespace {

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + std::strlen(ascii)); }

// Fills either version record; other sizes are refused as Windows does.
template <class Info, class InfoEx>
BOOL FillVersion(Info* info) {
  if (!info || (info->dwOSVersionInfoSize != sizeof(Info) && info->dwOSVersionInfoSize != sizeof(InfoEx))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const platform::PcSettings pc = platform::GetPcSettings();
  const DWORD size = info->dwOSVersionInfoSize;
  std::memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0, size - sizeof(DWORD));
  info->dwMajorVersion = pc.windowsMajor;
  info->dwMinorVersion = pc.windowsMinor;
  info->dwBuildNumber = pc.windowsBuild;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  if (size == sizeof(InfoEx)) reinterpret_cast<InfoEx*>(info)->wProductType = VER_NT_WORKSTATION;
  return TRUE;
}

// The PC's calendar runs on its clock from the host's time at start, so a
// fast PC's dates move as fast as its tick count.
void FillTime(LPSYSTEMTIME time, bool local) {
  if (!time) return;
  using namespace std::chrono;
  static const int64_t startMs =
      duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() - int64_t(platform::PcNowMs());
  const int64_t nowMs = startMs + int64_t(platform::PcNowMs());
  const time_t seconds = time_t(nowMs / 1000);
  tm parts{};
  if (local) localtime_r(&seconds, &parts);
  else gmtime_r(&seconds, &parts);
  time->wYear = WORD(parts.tm_year + 1900);
  time->wMonth = WORD(parts.tm_mon + 1);
  time->wDayOfWeek = WORD(parts.tm_wday);
  time->wDay = WORD(parts.tm_mday);
  time->wHour = WORD(parts.tm_hour);
  time->wMinute = WORD(parts.tm_min);
  time->wSecond = WORD(parts.tm_sec);
  time->wMilliseconds = WORD(nowMs % 1000);
}

}  // namespace

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return CopyPathOut(std::string(platform::kSystemDirectory), lpBuffer, uSize);
}
UINT WINAPI GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize) {
  return CopyPathOut(Wide(platform::kSystemDirectory), lpBuffer, uSize);
}
UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return CopyPathOut(std::string(platform::kWindowsDirectory), lpBuffer, uSize);
}
UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
  return CopyPathOut(Wide(platform::kWindowsDirectory), lpBuffer, uSize);
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  return FillVersion<OSVERSIONINFOA, OSVERSIONINFOEXA>(lpVersionInformation);
}
BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
  return FillVersion<OSVERSIONINFOW, OSVERSIONINFOEXW>(lpVersionInformation);
}

// Major version in the low byte, minor in the next, build in the high word
// (its top bit clear: a Windows NT system).
DWORD WINAPI GetVersion(VOID) {
  const platform::PcSettings pc = platform::GetPcSettings();
  return (pc.windowsMajor & 0xFF) | ((pc.windowsMinor & 0xFF) << 8) | ((pc.windowsBuild & 0x7FFF) << 16);
}

DWORD WINAPI GetTickCount(VOID) { return DWORD(platform::PcNowMs()); }
ULONGLONG WINAPI GetTickCount64(VOID) { return platform::PcNowMs(); }

VOID WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) { FillTime(lpSystemTime, false); }
VOID WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) { FillTime(lpSystemTime, true); }
