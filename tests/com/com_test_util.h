// A PC root per test with the test COM module installed in its system
// folder, and helpers to register classes and to watch the module.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <filesystem>
#include <string>

#include "platform/machine/com_control.h"
#include "platform/machine/pc_settings.h"
#include "platform/nt/platform_control.h"
#include "tests/com/module/comtest_ids.h"

namespace com_test {

constexpr char kModulePath[] = "C:\\Windows\\System32\\comtest.dll";

// A module's export as the function type it has (through the generic
// function pointer type, which converts to any other without complaint).
template <class Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

class PcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    char pattern[] = "/tmp/qcam-com-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    ASSERT_TRUE(platform::SetRoot(root_));
    std::filesystem::copy_file(QCAM_COMTEST_MODULE, root_ + "/Windows/System32/comtest.dll");
  }
  void TearDown() override {
    // Whatever a failed test left loaded goes, so the next test starts clean.
    for (const platform::LoadedModule& m : platform::LoadedModules()) {
      ADD_FAILURE() << "still loaded: " << m.path;
      while (HMODULE h = GetModuleHandleA(m.path.c_str())) FreeLibrary(h);
    }
    EXPECT_EQ(CoInitialize(nullptr), S_OK) << "the test left its thread in an apartment";
    CoUninitialize();
    platform::ResetMachine();
    platform::SetRoot("");
    std::filesystem::remove_all(root_);
  }

  // HKCR\CLSID\{clsid}\InprocServer32 = server, through the Win32 calls
  // (so in the caller's view of the registry).
  static void RegisterServer(REFCLSID clsid, const std::string& server, REGSAM view = 0) {
    wchar_t text[39];
    ASSERT_EQ(StringFromGUID2(clsid, text, 39), 39);
    std::string key = "CLSID\\";
    for (const wchar_t* p = text; *p; ++p) key.push_back(char(*p));
    key += "\\InprocServer32";
    HKEY h;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                             DWORD(server.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(h);
  }

  static void SetWow64(bool on) {
    platform::PcSettings s = platform::GetPcSettings();
    s.wow64 = on;
    ASSERT_TRUE(platform::SetPcSettings(s));
  }

  // The test module's own counters, read through its export.
  static ComTestCounts Counts(HMODULE module) {
    ComTestCounts counts = {};
    auto get = Export<ComTestCountsFunction>(module, "ComTestGetCounts");
    EXPECT_NE(get, nullptr);
    if (get) get(&counts);
    return counts;
  }

  std::string root_;
};

}  // namespace com_test
