#include "tray/camera_device_link.h"

#include "platform/appframe/video_devices.h"
#include "shared/custom_camera_prop.h"

namespace qorbm {
namespace {

constexpr size_t kDisplayNameSize = 1024;
constexpr size_t kFriendlyNameSize = 2048;
// The power-line frequency of the video proc-amp set.
constexpr LONG kPowerLineFrequency = 13;

template <class T>
void SafeRelease(T** p) {
  if (*p) (*p)->Release();
  *p = NULL;
}

// Holds the link's lock for a scope.
class Hold {
 public:
  explicit Hold(CameraDeviceLink* link) : link_(link) { link_->Lock(); }
  ~Hold() { link_->Unlock(); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  CameraDeviceLink* link_;
};

}  // namespace

CameraDeviceLink::CameraDeviceLink() { InitializeCriticalSection(&lock_); }

CameraDeviceLink::~CameraDeviceLink() {
  TearDown();
  DeleteCriticalSection(&lock_);
}

void CameraDeviceLink::Lock() { EnterCriticalSection(&lock_); }
void CameraDeviceLink::Unlock() { LeaveCriticalSection(&lock_); }

void CameraDeviceLink::ListDevices(std::vector<std::string>* displayNames, std::vector<std::string>* friendlyNames) {
  appframe::ListVideoInputDevices(kDisplayNameSize, kFriendlyNameSize, displayNames, friendlyNames);
}

void CameraDeviceLink::SetNames(const std::string& displayName, const std::string& friendlyName) {
  Hold hold(this);
  displayName_ = displayName;
  friendlyName_ = friendlyName;
}

HRESULT CameraDeviceLink::Build() {
  Hold hold(this);
  HRESULT hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, NULL, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                reinterpret_cast<void**>(&builder_));
  if (FAILED(hr)) return hr;
  hr = CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                        reinterpret_cast<void**>(&graph_));
  if (FAILED(hr)) return hr;
  IEnumMoniker* monikers = appframe::VideoInputMonikers();
  if (monikers) {
    IMoniker* moniker = NULL;
    while (monikers->Next(1, &moniker, NULL) == S_OK) {
      if (appframe::MonikerDisplayName(moniker, kDisplayNameSize) == displayName_) {
        SafeRelease(&filter_);
        moniker->BindToObject(NULL, NULL, IID_IBaseFilter, reinterpret_cast<void**>(&filter_));
      }
      moniker->Release();
    }
    monikers->Release();
  }
  if (!filter_) return VFW_E_NOT_FOUND;
  hr = graph_->AddFilter(filter_, L"Webcam Video Capture");
  if (FAILED(hr)) return hr;
  return builder_->SetFiltergraph(graph_);
}

void CameraDeviceLink::TearDown() {
  Hold hold(this);
  SafeRelease(&filter_);
  SafeRelease(&graph_);
  SafeRelease(&builder_);
  displayName_.clear();
  friendlyName_.clear();
}

int CameraDeviceLink::Private(ULONG propertyId, void* data, ULONG length, bool set) {
  Hold hold(this);
  if (!filter_) return -1;
  IAMCustomCameraProp* custom = NULL;
  if (FAILED(filter_->QueryInterface(IID_IAMCustomCameraProp, reinterpret_cast<void**>(&custom))) || !custom)
    return -1;
  if (set) {
    custom->Set(propertyId, data, length);
  } else {
    custom->Get(propertyId, data, length);
  }
  custom->Release();
  return 0;
}

int CameraDeviceLink::SetPrivate(ULONG propertyId, void* data, ULONG length) {
  return Private(propertyId, data, length, true);
}

int CameraDeviceLink::GetPrivate(ULONG propertyId, void* data, ULONG length) {
  return Private(propertyId, data, length, false);
}

int CameraDeviceLink::GetPowerLineFrequency(LONG* value) {
  Hold hold(this);
  if (!filter_) return -1;
  IAMVideoProcAmp* procAmp = NULL;
  if (FAILED(filter_->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&procAmp))) || !procAmp)
    return -1;
  LONG flags = 0;
  procAmp->Get(kPowerLineFrequency, value, &flags);
  procAmp->Release();
  return 0;
}

int CameraDeviceLink::SetPowerLineFrequency(LONG value) {
  Hold hold(this);
  if (!filter_) return -1;
  IAMVideoProcAmp* procAmp = NULL;
  if (FAILED(filter_->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&procAmp))) || !procAmp)
    return -1;
  procAmp->Set(kPowerLineFrequency, value, 0);
  procAmp->Release();
  return 0;
}

}  // namespace qorbm
