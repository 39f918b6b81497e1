// Kernel32's services (winbase.h and the API-set headers it gathers).
#pragma once

#include "windef.h"
#include "winerror.h"
#include "minwinbase.h"
#include "errhandlingapi.h"
#include "handleapi.h"
#include "libloaderapi.h"
#include "wow64apiset.h"
#include "sysinfoapi.h"
#include "fileapi.h"
#include "synchapi.h"
#include "ioapiset.h"
#include "processthreadsapi.h"
#include "stringapiset.h"
