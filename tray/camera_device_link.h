// CameraDeviceLink: the chosen camera's capture filter in a graph of its
// own, shared by the tray's main thread (which builds it, tears it down and
// rebuilds it as devices come and go) and the poll thread (which sends the
// button check through it). One lock is held around every request sent
// through the link and around every tear-down and build, so that no request
// ever uses a filter that is being released.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <string>
#include <vector>

namespace qorbm {

class CameraDeviceLink {
 public:
  CameraDeviceLink();
  ~CameraDeviceLink();
  CameraDeviceLink(const CameraDeviceLink&) = delete;
  CameraDeviceLink& operator=(const CameraDeviceLink&) = delete;

  // The video input devices in enumeration order: display names (ANSI, up
  // to 1023 bytes) and friendly names (up to 2047 bytes), in parallel.
  static void ListDevices(std::vector<std::string>* displayNames, std::vector<std::string>* friendlyNames);

  // Holds the link across several steps (detection); the lock is
  // recursive, and every operation below takes it too.
  void Lock();
  void Unlock();

  // Builds the link for the device with exactly this display name: the
  // capture-graph builder, the filter graph and the bound filter, added as
  // "Webcam Video Capture". A failure to create the builder is returned.
  HRESULT Build();
  // Releases the filter, the graph and the builder, and empties the names.
  void TearDown();

  void SetNames(const std::string& displayName, const std::string& friendlyName);
  const std::string& DisplayName() const { return displayName_; }
  const std::string& FriendlyName() const { return friendlyName_; }
  bool HasFilter() const { return filter_ != NULL; }

  // Private property requests: the filter is asked for IAMCustomCameraProp
  // on each call. -1 without filter or interface, else 0 whatever the
  // property's own result.
  int SetPrivate(ULONG propertyId, void* data, ULONG length);
  int GetPrivate(ULONG propertyId, void* data, ULONG length);
  // Power-line frequency (IAMVideoProcAmp property 13), the same way.
  int GetPowerLineFrequency(LONG* value);
  int SetPowerLineFrequency(LONG value);

 private:
  int Private(ULONG propertyId, void* data, ULONG length, bool set);

  CRITICAL_SECTION lock_;
  ICaptureGraphBuilder2* builder_ = NULL;
  IGraphBuilder* graph_ = NULL;
  IBaseFilter* filter_ = NULL;
  std::string displayName_;
  std::string friendlyName_;
};

}  // namespace qorbm
