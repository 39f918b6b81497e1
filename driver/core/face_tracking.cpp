// PLACEHOLDER until face tracking is built.
#include "driver/core/face_tracking.h"

NTSTATUS PrepareFaceTracking(LONG, LONG, LONG) { return STATUS_SUCCESS; }
LONG TrackFaceStep(PUCHAR, ULONG) { return 0; }
VOID RequestFaceTrackingStop() {}
VOID StopFaceTracking() {}
VOID FreeFaceTrackingBuffers() {}
VOID RunFaceTrackingBranch(CameraDeviceState*, PUCHAR, ULONG) {}
BOOLEAN GetCurrentFaceBox(LONG*, LONG*, LONG*, LONG*) { return FALSE; }
