// Control requests to the camera through the class driver, and the bridge
// registers behind extension unit 5.
#pragma once

#include "driver/core/device_state.h"
#include "shared/uvc_wire.h"

enum ControlDirection { kControlSet = 0, kControlGet = 1 };

// One control transfer; STATUS_IO_DEVICE_ERROR without calling the class
// driver when the device is gone.
NTSTATUS SendControlRequest(CameraDeviceState* dev, UCHAR request, USHORT value, USHORT index, PVOID buffer,
                            ULONG length, ControlDirection direction);

// A get whose answer must fill the whole buffer: a failed transfer returns
// its status, a short answer STATUS_DATA_ERROR, so that no caller reads bytes
// the camera never sent.
NTSTATUS ReadWholeControl(CameraDeviceState* dev, UCHAR request, USHORT value, USHORT index, PVOID buffer,
                          ULONG length);

// Bridge-chip registers (16-bit address, 8-bit value) through extension unit 5.
// A failed read leaves `value` as it was and returns the transfer's status:
// callers must not take an unread register for zero and write it back.
NTSTATUS BridgeRead(CameraDeviceState* dev, USHORT address, UCHAR* value);
VOID BridgeWrite(CameraDeviceState* dev, USHORT address, UCHAR value);

// Switches the camera's LED (register 0xE007 or 0xE006 written with 0).
VOID SetCameraLed(CameraDeviceState* dev, ULONG on);
