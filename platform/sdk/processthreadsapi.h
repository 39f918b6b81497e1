// processthreadsapi.h of the Windows SDK: stand-in (filled in by the platform).
#pragma once

#include "minwinbase.h"
#include "winerror.h"
