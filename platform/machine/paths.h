// Win32 paths of the simulated PC and the host files behind them.
// "C:\Windows\..." (and "%SystemRoot%\...", "\SystemRoot\...") lives in
// ROOT/Windows/, any other "C:\..." in ROOT/C/. Names ignore case as on
// Windows: each component is matched against what already exists on the
// host without regard to case; components that do not exist yet keep the
// case they were given. Both separators are accepted.
#pragma once

#include <string>

namespace platform {

// False for a path outside drive C:, a relative path, a path that climbs
// above its drive with "..", or when the PC has no root (memory-only).
bool MapWin32Path(const std::string& win32Path, std::string* hostPath);
// The Win32 path of a host file below the root ("C:\Windows\System32\x.ax");
// false for a host path outside the root.
bool HostToWin32Path(const std::string& hostPath, std::string* win32Path);

// The Windows folders of the simulated PC, as GetWindowsDirectoryA and
// GetSystemDirectoryA report them.
constexpr const char* kWindowsDirectory = "C:\\Windows";
constexpr const char* kSystemDirectory = "C:\\Windows\\System32";

}  // namespace platform
