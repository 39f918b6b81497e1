// winbase.h of the Windows SDK: stand-in (filled in by the platform).
#pragma once

#include "windef.h"
#include "winerror.h"
