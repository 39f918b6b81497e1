// objbase.h of the Windows SDK: stand-in (filled in by the platform).
#pragma once

#include "unknwn.h"
#include "windows.h"
#include "objidl.h"
#include "oleauto.h"
