#include "extension/camera_finder.h"

#include "extension/com_object.h"
#include "shared/qcam_registry.h"
#include "shared/custom_camera_prop.h"

namespace qcamext {
namespace {

constexpr ULONG kFinderLength = 68;

// Binds each moniker of the video input category in turn; stops at the
// first filter that answers the private interface (probed with property 0).
HRESULT BindCameraFilter(IEnumMoniker* monikers, IBaseFilter** filter) {
  HRESULT result = VFW_E_NOT_FOUND;
  IMoniker* moniker = NULL;
  while (monikers->Next(1, &moniker, NULL) == S_OK) {
    ReleaseAndClear(filter);
    result = moniker->BindToObject(NULL, NULL, IID_IBaseFilter, reinterpret_cast<void**>(filter));
    moniker->Release();
    if (FAILED(result)) continue;
    IAMCustomCameraProp* custom = NULL;
    if (SUCCEEDED((*filter)->QueryInterface(IID_IAMCustomCameraProp, reinterpret_cast<void**>(&custom)))) {
      BYTE probe[kFinderLength] = {};
      custom->Get(qcam::kPrivDriverId, probe, sizeof(probe));
      custom->Release();
      return S_OK;
    }
  }
  return *filter ? S_OK : result;
}

}  // namespace

HRESULT CameraFinder::Build() {
  TearDown();
  HRESULT result = CoCreateInstance(CLSID_CaptureGraphBuilder2, NULL, CLSCTX_INPROC_SERVER,
                                    IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(&builder_));
  if (FAILED(result)) return result;
  result = CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                            reinterpret_cast<void**>(&graph_));
  if (FAILED(result)) return result;
  ICreateDevEnum* devices = NULL;
  result = CoCreateInstance(CLSID_SystemDeviceEnum, NULL, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                            reinterpret_cast<void**>(&devices));
  if (FAILED(result)) {
    MessageBoxA(NULL, "Error: Can not find resource!", "Error!", MB_ICONERROR);
    return result;
  }
  IEnumMoniker* monikers = NULL;
  result = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
  devices->Release();
  if (result != S_OK || !monikers) return FAILED(result) ? result : VFW_E_NOT_FOUND;
  result = BindCameraFilter(monikers, &filter_);
  monikers->Release();
  if (FAILED(result)) return result;
  result = graph_->AddFilter(filter_, L"Webcam Video Capture");
  if (FAILED(result)) return result;
  return builder_->SetFiltergraph(graph_);
}

int CameraFinder::SendCustom(ULONG propertyId, void* payload, bool set) {
  if (!filter_) return -1;
  IAMCustomCameraProp* custom = NULL;
  if (FAILED(filter_->QueryInterface(IID_IAMCustomCameraProp, reinterpret_cast<void**>(&custom)))) return -1;
  if (set) {
    custom->Set(propertyId, payload, kFinderLength);
  } else {
    custom->Get(propertyId, payload, kFinderLength);
  }
  custom->Release();
  return 0;
}

int CameraFinder::SendProperty(ULONG propertyId, void* payload) { return SendCustom(propertyId, payload, true); }

int CameraFinder::ReadProperty(ULONG propertyId, void* payload) { return SendCustom(propertyId, payload, false); }

int CameraFinder::TriggerStill() {
  if (!filter_ || !builder_) return -1;
  IAMVideoControl* control = NULL;
  if (FAILED(filter_->QueryInterface(IID_IAMVideoControl, reinterpret_cast<void**>(&control)))) return -1;
  IPin* still = NULL;
  HRESULT result = builder_->FindPin(filter_, PINDIR_OUTPUT, &PIN_CATEGORY_STILL, NULL, FALSE, 0, &still);
  if (SUCCEEDED(result) && still) {
    control->SetMode(still, VideoControlFlag_Trigger);
    still->Release();
  }
  control->Release();
  return SUCCEEDED(result) && still ? 0 : -1;
}

int CameraFinder::ClearCameraStatus(DWORD bits) {
  DWORD status = qcam::ReadQcamDword(qcam::kUserCurrentKey, "CameraStatus");
  DWORD payload[kFinderLength / sizeof(DWORD)] = {};
  payload[0] = 5;
  payload[1] = status & ~bits;
  return SendProperty(qcam::kPrivSettings, payload);
}

void CameraFinder::TearDown() {
  ReleaseAndClear(&filter_);
  ReleaseAndClear(&graph_);
  ReleaseAndClear(&builder_);
}

}  // namespace qcamext
