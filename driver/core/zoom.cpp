// PLACEHOLDER until the digital zoom is built.
#include "driver/core/zoom.h"

VOID RecomputeZoomWindow(CameraDeviceState*) {}
NTSTATUS ApplyZoom(CameraDeviceState*, PUCHAR, ULONG, LONG, LONG, BOOLEAN, PULONG, PULONG) { return STATUS_NOT_SUPPORTED; }
VOID FreeZoomBuffers(CameraDeviceState*) {}
