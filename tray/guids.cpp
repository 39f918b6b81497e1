// Defines the program's own GUID constants (the SDK's come from its libraries).
#include <initguid.h>

#include "shared/custom_camera_prop.h"
