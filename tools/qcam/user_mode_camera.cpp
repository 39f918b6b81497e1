// qcam as a capture application and as the camera's setup: the private
// interface reached through COM, and the extension announced for the
// camera's device.
#include <windows.h>
#include <objbase.h>
#include <dshow.h>
#include <initguid.h>

#include "platform/machine/dshow_control.h"
#include "platform/machine/guid_text.h"
#include "shared/custom_camera_prop.h"
#include "shared/qcamext_classes.h"
#include "tools/qcam/user_mode.h"
#include "tools/qcam/user_mode_win32.h"

namespace qcam_tool {

// The steps of the extension's camera finder: every video input device in
// turn, bound to its filter, until one answers the private interface; the
// finder's probe (property 0) is sent as it sends it.
HRESULT FindCustomCameraProp(IAMCustomCameraProp** custom) {
  ICreateDevEnum* devices = NULL;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, NULL, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(&devices));
  if (FAILED(hr)) return hr;
  IEnumMoniker* monikers = NULL;
  hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
  devices->Release();
  if (hr != S_OK || !monikers) return FAILED(hr) ? hr : VFW_E_NO_CAPTURE_HARDWARE;
  hr = E_NOINTERFACE;
  IMoniker* moniker = NULL;
  while (!*custom && monikers->Next(1, &moniker, NULL) == S_OK) {
    IBaseFilter* filter = NULL;
    hr = moniker->BindToObject(NULL, NULL, IID_IBaseFilter, reinterpret_cast<void**>(&filter));
    moniker->Release();
    if (FAILED(hr)) continue;
    // The interface keeps the filter alive: its reference counting is the filter's.
    hr = filter->QueryInterface(IID_IAMCustomCameraProp, reinterpret_cast<void**>(custom));
    filter->Release();
  }
  monikers->Release();
  if (*custom) {
    BYTE probe[68] = {};
    (*custom)->Get(0, probe, sizeof(probe));
  }
  return *custom ? S_OK : hr;
}

bool ExtensionRegistered() {
  const std::string key = "CLSID\\" + platform::GuidToText(IID_IAMCustomCameraProp) + "\\InprocServer32";
  HKEY handle = NULL;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

bool AnnounceCameraExtension(uint16_t vendorId, uint16_t productId, std::string* error) {
  const std::string handler = platform::GuidToText(IID_IAMCustomCameraProp);
  // The pages in the order of the module's class table.
  const std::vector<std::string> pages = {
      platform::GuidToText(CLSID_CustomCameraPage), platform::GuidToText(CLSID_SpecialEffectPage),
      platform::GuidToText(CLSID_DigitalZoomPage), platform::GuidToText(CLSID_CommandPage)};
  if (!platform::AnnounceInterfaceHandler(vendorId, productId, handler, handler) ||
      !platform::AnnouncePropertyPages(vendorId, productId, pages)) {
    *error = "cannot announce the extension for the device " + platform::DeviceParametersKey(vendorId, productId);
    return false;
  }
  return true;
}

bool CallCustomCameraProp(bool set, uint32_t id, std::vector<uint8_t>* payload, uint32_t* hr, std::string* error) {
  HRESULT result = CoInitialize(NULL);
  if (FAILED(result)) {
    *hr = uint32_t(result);
    *error = "CoInitialize failed";
    return false;
  }
  IAMCustomCameraProp* custom = NULL;
  result = FindCustomCameraProp(&custom);
  if (FAILED(result)) {
    *error = "no camera answers IAMCustomCameraProp";
  } else {
    // A zero length still needs a valid buffer to point at.
    BYTE none[4] = {};
    void* data = payload->empty() ? none : payload->data();
    result = set ? custom->Set(id, data, ULONG(payload->size())) : custom->Get(id, data, ULONG(payload->size()));
    if (FAILED(result)) *error = std::string(set ? "Set" : "Get") + " of property " + std::to_string(id) + " failed";
    custom->Release();
  }
  CoUninitialize();
  *hr = uint32_t(result);
  return SUCCEEDED(result);
}

}  // namespace qcam_tool
