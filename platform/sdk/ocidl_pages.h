// Part of the ocidl.h stand-in (filled in by the platform).
#pragma once

#include "objbase.h"
