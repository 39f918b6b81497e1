// What the DirectShow tests share: a memory-only PC with COM on the test
// thread and the system classes registered, leak checks on the platform's
// DirectShow objects and the PC's handles, and small helpers to enumerate
// cameras and bind their filters as a capture application does.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <ks.h>
#include <ksmedia.h>
#include <ksproxy.h>
#include <qedit.h>

#include <string>
#include <vector>

#include "platform/machine/com_control.h"
#include "platform/machine/dshow_control.h"
#include "platform/machine/handles.h"
#include "platform/machine/pc_settings.h"
#include "tests/dshow/camera_rig.h"

namespace dshowtest {

// An interface reference released when it goes out of scope.
template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* p) : p_(p) {}
  ~Ref() { Reset(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** out() {
    Reset();
    return &p_;
  }
  void** vout() { return reinterpret_cast<void**>(out()); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// The reference count of an object, read by adding and dropping one.
inline ULONG RefCount(IUnknown* p) {
  p->AddRef();
  return p->Release();
}

inline std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

class DshowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPc();
    ASSERT_TRUE(platform::RegisterBuiltinClassesInRegistry());
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    handles_ = platform::LiveHandleCount();
  }
  void TearDown() override {
    cameras_.clear();
    CoUninitialize();
    EXPECT_EQ(platform::LiveDirectShowObjects(), 0) << "DirectShow objects leaked";
    EXPECT_EQ(platform::LiveHandleCount(), handles_) << "handles leaked";
  }

  // Plugs a camera in; the fixture unplugs it at the end.
  PluggedCamera& Plug(const std::string& profile = "notebook", const sim::KsCameraDeviceOptions& options = {}) {
    cameras_.push_back(std::make_unique<PluggedCamera>(profile, options));
    EXPECT_TRUE(cameras_.back()->Ok());
    return *cameras_.back();
  }

  template <class T>
  HRESULT Create(REFCLSID clsid, REFIID iid, Ref<T>* object) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object->vout());
  }

  // The video input devices' monikers, in enumeration order.
  std::vector<IMoniker*> Monikers() {
    std::vector<IMoniker*> out;
    Ref<ICreateDevEnum> devices;
    if (FAILED(Create(CLSID_SystemDeviceEnum, IID_ICreateDevEnum, &devices))) return out;
    Ref<IEnumMoniker> e;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, e.out(), 0) != S_OK) return out;
    IMoniker* m = nullptr;
    while (e->Next(1, &m, nullptr) == S_OK) out.push_back(m);
    return out;
  }
  static void ReleaseAll(std::vector<IMoniker*>* monikers) {
    for (IMoniker* m : *monikers) m->Release();
    monikers->clear();
  }
  static std::wstring DisplayName(IMoniker* m) {
    LPOLESTR name = nullptr;
    if (FAILED(m->GetDisplayName(nullptr, nullptr, &name))) return L"";
    std::wstring text = name;
    CoTaskMemFree(name);
    return text;
  }
  static std::wstring BagString(IMoniker* m, LPCOLESTR value) {
    Ref<IPropertyBag> bag;
    if (FAILED(m->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.vout()))) return L"";
    VARIANT v;
    VariantInit(&v);
    std::wstring text;
    if (SUCCEEDED(bag->Read(value, &v, nullptr)) && v.vt == VT_BSTR) text.assign(v.bstrVal, SysStringLen(v.bstrVal));
    VariantClear(&v);
    return text;
  }
  // The capture filter of the camera at `path`.
  HRESULT BindFilter(const std::string& path, Ref<IBaseFilter>* filter) {
    std::vector<IMoniker*> monikers = Monikers();
    HRESULT hr = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    for (IMoniker* m : monikers)
      if (BagString(m, L"DevicePath") == Wide(path))
        hr = m->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter->vout());
    ReleaseAll(&monikers);
    return hr;
  }
  // The filter's pin of that name.
  static HRESULT PinOf(IBaseFilter* filter, LPCWSTR name, Ref<IPin>* pin) { return filter->FindPin(name, pin->out()); }

 private:
  std::vector<std::unique_ptr<PluggedCamera>> cameras_;
  size_t handles_ = 0;
};

}  // namespace dshowtest
