// PLACEHOLDER until the property sets are built: empty sets, every request refused.
#include "driver/core/property_sets.h"

static const KSPROPERTY_SET g_EmptySets[kDevicePropertySetCount] = {};
const KSPROPERTY_SET* GetDevicePropertySets(BOOLEAN) { return g_EmptySets; }
NTSTATUS ProcAmpGetProperty(CameraDeviceState*, PHW_STREAM_REQUEST_BLOCK) { return STATUS_NOT_SUPPORTED; }
NTSTATUS ProcAmpSetProperty(CameraDeviceState*, PHW_STREAM_REQUEST_BLOCK) { return STATUS_NOT_SUPPORTED; }
NTSTATUS CameraControlGetProperty(CameraDeviceState*, PHW_STREAM_REQUEST_BLOCK) { return STATUS_NOT_SUPPORTED; }
NTSTATUS CameraControlSetProperty(CameraDeviceState*, PHW_STREAM_REQUEST_BLOCK) { return STATUS_NOT_SUPPORTED; }
NTSTATUS PrivateGetProperty(CameraDeviceState*, PHW_STREAM_REQUEST_BLOCK) { return STATUS_NOT_SUPPORTED; }
NTSTATUS PrivateSetProperty(CameraDeviceState*, PHW_STREAM_REQUEST_BLOCK) { return STATUS_NOT_SUPPORTED; }
NTSTATUS VideoControlGetProperty(CameraDeviceState*, PHW_STREAM_REQUEST_BLOCK) { return STATUS_NOT_SUPPORTED; }
NTSTATUS VideoControlSetProperty(CameraDeviceState*, PHW_STREAM_REQUEST_BLOCK) { return STATUS_NOT_SUPPORTED; }
VOID ReadControlRanges(CameraDeviceState*) {}
