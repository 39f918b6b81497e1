// ocidl.h of the Windows SDK: the property-page interfaces and the property
// bag. The stand-in keeps them in two parts, one per family.
#pragma once

#include "objbase.h"
#include "ocidl_pages.h"
#include "ocidl_propbag.h"
