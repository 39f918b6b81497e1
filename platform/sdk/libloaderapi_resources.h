// Part of the libloaderapi.h stand-in: resources (filled in by the platform).
#pragma once

#include "minwinbase.h"
