// errors.h of the Windows SDK: the text of a DirectShow or COM status.
#pragma once

#include "windows.h"
#include "vfwmsgs.h"

#define VFW_FIRST_CODE 0x200
#define MAX_ERROR_TEXT_LEN 160

// Copies the text of `hr` into `pbuffer` (at most MaxLen characters with the
// terminator; a longer text is cut) and returns the number of characters
// copied without the terminator; 0 when the status has no text here or the
// buffer cannot take any.
DWORD WINAPI AMGetErrorTextA(HRESULT hr, LPSTR pbuffer, DWORD MaxLen);
DWORD WINAPI AMGetErrorTextW(HRESULT hr, LPWSTR pbuffer, DWORD MaxLen);
