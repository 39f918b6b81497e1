// Enumerating the video input devices and opening one of them.
#include "updater/capture_device.h"

#include <qedit.h>

#include "platform/appframe/video_devices.h"

namespace {

// qedit's filters by class id (not every SDK's qedit.h declares them).
const CLSID SAMPLE_GRABBER_CLSID = {0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const CLSID NULL_RENDERER_CLSID = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

template <class T>
void SafeRelease(T** p) {
  if (*p) (*p)->Release();
  *p = NULL;
}

}  // namespace

CCaptureDevice::CCaptureDevice(CXuChannel* xu) : xu_(xu) {}

CCaptureDevice::~CCaptureDevice() { Release(); }

void CCaptureDevice::EnumerateDevices(std::vector<std::string>* displayNames, std::vector<std::string>* friendlyNames) {
  appframe::ListVideoInputDevices(appframe::kWholeText, appframe::kWholeText, displayNames, friendlyNames);
}

HRESULT CCaptureDevice::BindFilter(const std::string& displayName, IBaseFilter** filter) {
  IEnumMoniker* monikers = appframe::VideoInputMonikers();
  if (!monikers) return VFW_E_NOT_FOUND;
  HRESULT hr = VFW_E_NOT_FOUND;
  IMoniker* moniker = NULL;
  while (!*filter && monikers->Next(1, &moniker, NULL) == S_OK) {
    if (appframe::MonikerDisplayName(moniker, appframe::kWholeText) == displayName)
      hr = moniker->BindToObject(NULL, NULL, IID_IBaseFilter, reinterpret_cast<void**>(filter));
    moniker->Release();
  }
  monikers->Release();
  return hr;
}

bool CCaptureDevice::AddHelperFilters() {
  HRESULT hr = CoCreateInstance(SAMPLE_GRABBER_CLSID, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&grabber_));
  if (SUCCEEDED(hr)) hr = graph_->AddFilter(grabber_, L"Sample Grabber");
  if (FAILED(hr)) {
    xu_->ShowError(hr);
    return false;
  }
  ISampleGrabber* grabber = NULL;
  if (SUCCEEDED(grabber_->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(&grabber)))) {
    grabber->SetOneShot(FALSE);
    grabber->SetBufferSamples(FALSE);
    grabber->Release();
  }
  hr = CoCreateInstance(NULL_RENDERER_CLSID, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                        reinterpret_cast<void**>(&nullRenderer_));
  if (SUCCEEDED(hr)) hr = graph_->AddFilter(nullRenderer_, L"Null Renderer");
  if (FAILED(hr)) xu_->ShowError(hr);
  return true;
}

bool CCaptureDevice::Open(const std::string& displayName, const std::string& friendlyName) {
  ReleaseGraph();
  displayName_ = displayName;
  friendlyName_ = friendlyName;
  HRESULT hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, NULL, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                reinterpret_cast<void**>(&builder_));
  if (SUCCEEDED(hr))
    hr = CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                          reinterpret_cast<void**>(&graph_));
  if (FAILED(hr)) {
    xu_->ShowError(hr);
    return false;
  }
  if (FAILED(BindFilter(displayName, &capture_)) || !capture_) return false;
  hr = graph_->AddFilter(capture_, L"Webcam Video Capture");
  if (SUCCEEDED(hr)) hr = builder_->SetFiltergraph(graph_);
  if (FAILED(hr)) {
    xu_->ShowError(hr);
    return false;
  }
  if (!AddHelperFilters()) return false;
  IKsControl* control = NULL;
  if (SUCCEEDED(capture_->QueryInterface(IID_IKsControl, reinterpret_cast<void**>(&control)))) {
    xu_->SetControl(control);
    control->Release();
  }
  return true;
}

void CCaptureDevice::ReleaseGraph() {
  if (graph_) {
    IMediaControl* control = NULL;
    if (SUCCEEDED(graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)))) {
      control->Stop();
      control->Release();
    }
  }
  SafeRelease(&nullRenderer_);
  SafeRelease(&grabber_);
  SafeRelease(&capture_);
  SafeRelease(&graph_);
  SafeRelease(&builder_);
}

void CCaptureDevice::Release() {
  ReleaseGraph();
  displayName_.clear();
  friendlyName_.clear();
}
