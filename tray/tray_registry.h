// The tray's registry values under HKLM SOFTWARE\Qorvane\QCAM500\Current:
// the driver's CameraStatus word and the tray's own QORTray and debug.
// A 32-bit tray on 64-bit Windows opens the native (64-bit) view, where the
// driver keeps them.
#pragma once

#include <windows.h>

namespace qorbm {

// KEY_ALL_ACCESS, with KEY_WOW64_64KEY when IsWow64Process (looked up at
// run time, since older systems lack it) reports a 32-bit process on
// 64-bit Windows.
REGSAM CurrentKeyAccess();

// DWORD `name` of the Current key; `fallback` when the key or the value is
// missing or is not a DWORD.
DWORD ReadCurrentDword(const char* name, DWORD fallback);

}  // namespace qorbm
