// A PC root with the extension module installed as the camera package puts
// it there (C:\Windows\System32\qcamext.ax), loaded the way COM loads it,
// with its exports at hand.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/machine/com_control.h"
#include "platform/machine/pc_clock.h"
#include "platform/machine/pc_settings.h"
#include "platform/nt/platform_control.h"

namespace ext_test {

typedef HRESULT(STDAPICALLTYPE* GetClassObjectRoutine)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDAPICALLTYPE* PlainRoutine)();

constexpr const char* kModulePath = "C:\\Windows\\System32\\qcamext.ax";

// The built module: build/modules/qcamext.ax, next to build/bin/ where the
// test programs run from.
inline std::string BuiltModulePath() {
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  return (self.parent_path().parent_path() / "modules" / "qcamext.ax").string();
}

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    char pattern[] = "/tmp/qcam-ext-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    ASSERT_TRUE(platform::SetRoot(root_));
    platform::SetPcClockRate(1000);
    std::filesystem::copy_file(BuiltModulePath(), root_ + "/Windows/System32/qcamext.ax");
  }
  void TearDown() override {
    Unload();
    platform::SetPcClockRate(1);
    platform::ResetMachine();
    ASSERT_EQ(std::system(("rm -rf '" + root_ + "'").c_str()), 0);
  }

  void Load() {
    module_ = LoadLibraryA(kModulePath);
    ASSERT_NE(module_, nullptr) << platform::LastModuleLoadError();
    getClassObject_ = reinterpret_cast<GetClassObjectRoutine>(Export("DllGetClassObject"));
    canUnloadNow_ = reinterpret_cast<PlainRoutine>(Export("DllCanUnloadNow"));
    registerServer_ = reinterpret_cast<PlainRoutine>(Export("DllRegisterServer"));
    unregisterServer_ = reinterpret_cast<PlainRoutine>(Export("DllUnregisterServer"));
    ASSERT_TRUE(getClassObject_ && canUnloadNow_ && registerServer_ && unregisterServer_);
  }
  void Unload() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }
  void* Export(const char* name) { return reinterpret_cast<void*>(GetProcAddress(module_, name)); }

  void SetPc(void (*change)(platform::PcSettings*)) {
    platform::PcSettings settings = platform::GetPcSettings();
    change(&settings);
    ASSERT_TRUE(platform::SetPcSettings(settings));
  }

  // A class factory of the module for `clsid`.
  IClassFactory* Factory(REFCLSID clsid) {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(getClassObject_(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    return factory;
  }

  std::string root_;
  HMODULE module_ = nullptr;
  GetClassObjectRoutine getClassObject_ = nullptr;
  PlainRoutine canUnloadNow_ = nullptr;
  PlainRoutine registerServer_ = nullptr;
  PlainRoutine unregisterServer_ = nullptr;
};

// The registry path of a class key as the user view stores HKCR.
inline std::string ClassKeyPath(const char* guidText) {
  return std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\") + guidText;
}

}  // namespace ext_test
