#include "platform/appframe/video_devices.h"

namespace appframe {

IEnumMoniker* VideoInputMonikers() {
  ICreateDevEnum* devices = NULL;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, NULL, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                              reinterpret_cast<void**>(&devices))))
    return NULL;
  IEnumMoniker* monikers = NULL;
  const HRESULT hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
  devices->Release();
  if (hr != S_OK) {
    if (monikers) monikers->Release();
    return NULL;
  }
  return monikers;
}

std::string WideToAnsi(LPCWSTR text, int length, size_t bufferSize) {
  const int needed = WideCharToMultiByte(CP_ACP, 0, text, length, NULL, 0, NULL, NULL);
  if (needed <= 0) return std::string();
  std::string out(size_t(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, &out[0], needed, NULL, NULL);
  const size_t end = out.find('\0');
  if (end != std::string::npos) out.resize(end);
  if (bufferSize != kWholeText && out.size() > bufferSize - 1) out.resize(bufferSize - 1);
  return out;
}

std::string MonikerDisplayName(IMoniker* moniker, size_t bufferSize) {
  LPOLESTR name = NULL;
  if (FAILED(moniker->GetDisplayName(NULL, NULL, &name)) || !name) return std::string();
  std::string text = WideToAnsi(name, -1, bufferSize);
  CoTaskMemFree(name);
  return text;
}

std::string MonikerProperty(IMoniker* moniker, LPCOLESTR name, size_t bufferSize) {
  IPropertyBag* bag = NULL;
  if (FAILED(moniker->BindToStorage(NULL, NULL, IID_IPropertyBag, reinterpret_cast<void**>(&bag))) || !bag)
    return std::string();
  VARIANT value;
  VariantInit(&value);
  std::string text;
  if (SUCCEEDED(bag->Read(name, &value, NULL)) && value.vt == VT_BSTR && value.bstrVal)
    text = WideToAnsi(value.bstrVal, int(SysStringLen(value.bstrVal)), bufferSize);
  VariantClear(&value);
  bag->Release();
  return text;
}

std::string MonikerFriendlyName(IMoniker* moniker, size_t bufferSize) {
  return MonikerProperty(moniker, L"FriendlyName", bufferSize);
}

void ListVideoInputDevices(size_t displaySize, size_t friendlySize, std::vector<std::string>* displayNames,
                           std::vector<std::string>* friendlyNames) {
  displayNames->clear();
  friendlyNames->clear();
  IEnumMoniker* monikers = VideoInputMonikers();
  if (!monikers) return;
  IMoniker* moniker = NULL;
  while (monikers->Next(1, &moniker, NULL) == S_OK) {
    displayNames->push_back(MonikerDisplayName(moniker, displaySize));
    friendlyNames->push_back(MonikerFriendlyName(moniker, friendlySize));
    moniker->Release();
  }
  monikers->Release();
}

}  // namespace appframe
