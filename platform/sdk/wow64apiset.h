// Whether a process is a 32-bit process on 64-bit Windows (wow64apiset.h).
#pragma once

#include "minwinbase.h"
#include "winerror.h"

BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process);
