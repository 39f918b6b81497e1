// The simulated PC's own settings, behind the user-mode stand-ins: the
// system language, the Windows version, whether user-mode programs run as
// 32-bit processes on 64-bit Windows, and whether kernel-streaming requests
// complete asynchronously. Kept in ROOT/pc.ini (a memory-only PC keeps them
// in memory). Never called by a deliverable: the deliverables see them
// through GetSystemDefaultLangID, GetVersionExA, IsWow64Process and
// ERROR_IO_PENDING.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct PcSettings {
  uint16_t languageId = 1033;  // English (United States)
  uint32_t windowsMajor = 5;   // Windows XP
  uint32_t windowsMinor = 1;
  uint32_t windowsBuild = 2600;
  bool wow64 = false;          // 32-bit programs on 64-bit Windows
  bool pendingRequests = false;  // DeviceIoControl answers ERROR_IO_PENDING
  // The camera is bound to the system's generic USB video driver (which
  // exposes its extension units as node properties) instead of QORCAM.
  bool genericCameraDriver = false;
};

// The settings of the current root (defaults where the file has no value).
PcSettings GetPcSettings();
// Stores them for the current root (ROOT/pc.ini); false when it cannot be
// written.
bool SetPcSettings(const PcSettings& settings);

// The ANSI code page of a language as Windows chooses it: 932 Japanese, 936
// Simplified Chinese, 949 Korean, 950 Traditional Chinese, 1251 Russian, 1252 for the
// Western European languages (and any other).
uint32_t AnsiCodePageOfLanguage(uint16_t languageId);

}  // namespace platform
