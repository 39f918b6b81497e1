// The pages on the simulated camera as a capture application's property
// frame opens them: the real module, the camera's filter found through the
// system device enumerator while a stream runs, the page created through
// its class factory, and every property request the pages send recorded as
// text ("set private 7 [1]", "set procamp 0 = 12 (manual)").
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <dshow.h>
#include <ocidl.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/machine/com_control.h"
#include "platform/machine/pc_settings.h"
#include "platform/machine/window_system.h"
#include "platform/nt/platform_control.h"
#include "tests/extension/camera_rig.h"
#include "tests/extension/ext_fixture.h"
#include "tests/extension/fake_objects.h"
#include "tools/qcam/request_log.h"

namespace ext_test {

using Requests = std::vector<std::string>;

class PageScenario : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    platform::ResetWindowSystemControls();
    std::string error;
    ASSERT_TRUE(InstallDriverValues(root_, &error)) << error;
    ASSERT_TRUE(platform::RegisterBuiltinClassesInRegistry());
    Load();
    ASSERT_EQ(registerServer_(), S_OK);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
    parent_ = CreateWindowExA(0, "#32770", "frame", WS_POPUP | WS_VISIBLE, 0, 0, 900, 700, NULL, NULL, NULL, NULL);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    if (page_) ClosePage(false);
    if (filter_) filter_->Release();
    filter_ = nullptr;
    camera_.reset();
    if (parent_) DestroyWindow(parent_);
    CoUninitialize();
    platform::ResetWindowSystemControls();
    ModuleTest::TearDown();
  }

  // Plugs the camera in and runs a stream of that format and size.
  void StartCamera(const std::string& stream = "YUY2:640x480") {
    camera_ = std::make_unique<CameraRig>("notebook", 1, true);
    ASSERT_TRUE(camera_->Ok());
    std::string error;
    ASSERT_TRUE(camera_->StartStream(stream, &error)) << error;
    filter_ = FindFilter();
    ASSERT_NE(filter_, nullptr);
  }

  // The module reads Layer and the Windows version when it loads: nothing
  // of it may stay alive, so the camera goes too and comes back.
  void Restart(DWORD layer, DWORD windowsMajor = 5) {
    if (filter_) filter_->Release();
    filter_ = nullptr;
    camera_.reset();
    CoFreeUnusedLibraries();
    Unload();
    ASSERT_TRUE(platform::RegCreateKeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\Default"));
    ASSERT_TRUE(platform::RegSetDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\Default", "Layer", layer));
    platform::PcSettings settings = platform::GetPcSettings();
    settings.windowsMajor = windowsMajor;
    settings.windowsMinor = 1;
    ASSERT_TRUE(platform::SetPcSettings(settings));
    Load();
    StartCamera();
  }

  static IBaseFilter* FindFilter() {
    ICreateDevEnum* devices = nullptr;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, NULL, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(&devices))))
      return nullptr;
    IEnumMoniker* monikers = nullptr;
    devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
    devices->Release();
    if (!monikers) return nullptr;
    IMoniker* moniker = nullptr;
    IBaseFilter* filter = nullptr;
    if (monikers->Next(1, &moniker, NULL) == S_OK) {
      moniker->BindToObject(NULL, NULL, IID_IBaseFilter, reinterpret_cast<void**>(&filter));
      moniker->Release();
    }
    monikers->Release();
    return filter;
  }

  // Opens the page as a property frame does; the reads it makes are
  // dropped from the record.
  HWND OpenPage(REFCLSID clsid) {
    IClassFactory* factory = Factory(clsid);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page_)), S_OK);
    factory->Release();
    EXPECT_EQ(page_->SetPageSite(&site_), S_OK);
    IUnknown* objects[] = {filter_};
    EXPECT_EQ(page_->SetObjects(1, objects), S_OK);
    RECT rect = {0, 0, 600, 500};
    EXPECT_EQ(page_->Activate(parent_, &rect, TRUE), S_OK);
    window_ = GetWindow(parent_, GW_CHILD);
    recorder_.Take();
    return window_;
  }
  // Closes it as the frame does on OK (Apply first) or Cancel.
  void ClosePage(bool apply) {
    if (apply) EXPECT_EQ(page_->Apply(), S_OK);
    EXPECT_EQ(page_->Deactivate(), S_OK);
    EXPECT_EQ(page_->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(page_->SetPageSite(nullptr), S_OK);
    page_->Release();
    page_ = nullptr;
    window_ = nullptr;
  }

  Requests Sent() { return recorder_.Take(); }
  bool Click(int id) { return platform::ClickDialogButton(window_, id); }
  HWND Item(int id) const { return GetDlgItem(window_, id); }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  bool Checked(int id) const { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }
  std::string Text(int id) const {
    char text[128] = {};
    GetDlgItemTextA(window_, id, text, sizeof(text));
    return text;
  }
  uint32_t CurrentDword(const char* name) {
    uint32_t value = 0;
    platform::RegGetDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\Current", name, &value);
    return value;
  }

  std::unique_ptr<CameraRig> camera_;
  IBaseFilter* filter_ = nullptr;
  IPropertyPage* page_ = nullptr;
  HWND parent_ = nullptr;
  HWND window_ = nullptr;
  FakeSite site_;
  qcam_tool::RequestRecorder recorder_;
};

}  // namespace ext_test
