// oleauto.h: stand-in (filled in by the platform).
#pragma once

#include "oaidl.h"
