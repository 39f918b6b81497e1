// CameraFinder: finds the camera's capture filter among the system's video
// input devices outside a property frame (the VfW entry, the snapshot
// button) and puts it into a graph of its own, so that private properties
// can be sent and a still picture triggered.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace qcamext {

class CameraFinder {
 public:
  CameraFinder() = default;
  ~CameraFinder() { TearDown(); }
  CameraFinder(const CameraFinder&) = delete;
  CameraFinder& operator=(const CameraFinder&) = delete;

  // Binds the video input devices in turn and keeps the first whose filter
  // answers IAMCustomCameraProp (or, when none does, the last one bound),
  // then adds it to a new filter graph. Any failure is returned.
  HRESULT Build();
  IBaseFilter* Filter() const { return filter_; }

  // Private property requests with a 68-byte payload; -1 without a filter
  // or without the private interface, else 0 (the request's own result is
  // not passed on).
  int SendProperty(ULONG propertyId, void* payload);
  int ReadProperty(ULONG propertyId, void* payload);
  // Triggers a still picture on the filter's still pin; -1 without filter,
  // video-control interface or still pin.
  int TriggerStill();
  // Clears `bits` of CameraStatus by sending the new word to the driver
  // (private property 18, sub-command 5), which owns the value.
  int ClearCameraStatus(DWORD bits);

  // Releases the filter, the graph and the capture-graph builder, in that
  // order.
  void TearDown();

 private:
  int SendCustom(ULONG propertyId, void* payload, bool set);

  ICaptureGraphBuilder2* builder_ = NULL;
  IGraphBuilder* graph_ = NULL;
  IBaseFilter* filter_ = NULL;
};

}  // namespace qcamext
