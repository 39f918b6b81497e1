// The device's property sets: video proc amp, camera control, video control
// and the private set, their tables and handlers.
#pragma once

#include "driver/core/device_state.h"
#include "platform/stream/strmini.h"

constexpr ULONG kDevicePropertySetCount = 4;

// The device's property-set table: private set, camera control, video proc
// amp, video control. With focus support the camera-control set has two
// items (exposure, focus), otherwise one (exposure).
const KSPROPERTY_SET* GetDevicePropertySets(BOOLEAN focusSupported);

// Handlers; each fills the request's ActualBytesTransferred and returns the
// status for the request.
NTSTATUS ProcAmpGetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb);
NTSTATUS ProcAmpSetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb);
NTSTATUS CameraControlGetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb);
NTSTATUS CameraControlSetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb);
NTSTATUS PrivateGetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb);
NTSTATUS PrivateSetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb);
NTSTATUS VideoControlGetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb);
NTSTATUS VideoControlSetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb);

// Range reading at configure: minimum, maximum, resolution and default of
// nine processing-unit controls, into the property tables and the
// driver-wide copies, and the defaults into the DEFAULT key.
VOID ReadControlRanges(CameraDeviceState* dev);
