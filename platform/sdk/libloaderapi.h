// libloaderapi.h of the Windows SDK: stand-in (filled in by the platform).
#pragma once

#include "minwinbase.h"
#include "winerror.h"

// The resource calls (FindResource, LoadResource...) are kept in their own part.
#include "libloaderapi_resources.h"
