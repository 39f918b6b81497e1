// The camera driver's entry point and the routines the class driver calls.
#pragma once

#include "driver/core/device_state.h"

// Registers the driver with the camera class driver.
extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);
