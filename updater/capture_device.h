// The camera's capture filter, opened far enough to reach its extension
// unit: the system device enumerator's video input devices, a filter graph
// with the capture filter, a Sample Grabber and a Null Renderer (added,
// never connected, never run), and the filter's IKsControl handed to the
// extension-unit channel.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <string>
#include <vector>

#include "updater/update_view.h"
#include "updater/xu_channel.h"

class CCaptureDevice {
 public:
  explicit CCaptureDevice(CXuChannel* xu);
  ~CCaptureDevice();
  CCaptureDevice(const CCaptureDevice&) = delete;
  CCaptureDevice& operator=(const CCaptureDevice&) = delete;

  // The video input devices' display names (ANSI) and friendly names, in
  // enumeration order; both empty when there are none.
  static void EnumerateDevices(std::vector<std::string>* displayNames, std::vector<std::string>* friendlyNames);

  // Releases an open graph, keeps both names and builds the graph on the
  // device whose display name is exactly `displayName`. False at the first
  // step that failed (after the error box); the graph stays as far as built.
  bool Open(const std::string& displayName, const std::string& friendlyName);
  // Releases every filter and interface (the channel's control excepted)
  // and empties both names.
  void Release();
  // Releases the graph but keeps the names (the update re-opens by name).
  void ReleaseGraph();

  bool IsOpen() const { return !displayName_.empty(); }
  const std::string& DisplayName() const { return displayName_; }
  const std::string& FriendlyName() const { return friendlyName_; }

 private:
  // Binds the capture filter of the device with that display name.
  HRESULT BindFilter(const std::string& displayName, IBaseFilter** filter);
  bool AddHelperFilters();

  CXuChannel* xu_;
  ICaptureGraphBuilder2* builder_ = NULL;
  IGraphBuilder* graph_ = NULL;
  IBaseFilter* capture_ = NULL;
  IBaseFilter* grabber_ = NULL;
  IBaseFilter* nullRenderer_ = NULL;
  std::string displayName_;
  std::string friendlyName_;
};
