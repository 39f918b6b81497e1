// Defines the module's own GUID constants (the SDK's come from its libraries).
#include <initguid.h>

#include "shared/custom_camera_prop.h"
#include "shared/qcamext_classes.h"
