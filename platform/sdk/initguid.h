// Including this before the headers that use DEFINE_GUID makes them define
// their GUIDs. The stand-in headers always define them, so it does nothing.
#pragma once
#include "guiddef.h"
