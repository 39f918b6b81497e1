// dshow.h of the Windows SDK: the DirectShow headers a capture application
// includes.
#pragma once

#include "windows.h"
#include "objbase.h"
#include "ocidl.h"
#include "strmif.h"
#include "control.h"
#include "uuids.h"
#include "errors.h"
