// The calling thread's last error (errhandlingapi.h).
#pragma once

#include "windef.h"

DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD dwErrCode);
