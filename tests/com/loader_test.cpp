// The module loader: names resolved as Windows resolves them, a module's
// entry point, resources and exports, its reference count, and the
// platform's own system modules.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>

#include "platform/machine/module_resources.h"
#include "tests/com/com_test_util.h"

namespace {

using com_test::kModulePath;
using com_test::PcTest;

typedef BOOL(WINAPI* IsWow64ProcessFunction)(HANDLE, PBOOL);

bool Contains(const uint8_t* data, size_t size, const std::u16string& text) {
  const size_t bytes = text.size() * 2;
  for (size_t i = 0; i + bytes <= size; ++i)
    if (std::memcmp(data + i, text.data(), bytes) == 0) return true;
  return false;
}

TEST_F(PcTest, ModuleLoadsOnceWithEntryPointResourcesAndOwnExportsOnly) {
  HMODULE module = LoadLibraryA(kModulePath);
  ASSERT_NE(module, nullptr) << platform::LastModuleLoadError();
  // The same file by other spellings is the same module, one more reference.
  EXPECT_EQ(LoadLibraryA("c:/WINDOWS/system32/COMTEST.DLL"), module);
  EXPECT_EQ(LoadLibraryW(L"%SystemRoot%\\System32\\comtest.dll"), module);
  EXPECT_EQ(platform::LoadedModules()[0].loadCount, 3u);
  EXPECT_EQ(GetModuleHandleA("COMTEST.dll"), module);
  EXPECT_EQ(GetModuleHandleW(L"c:\\windows\\system32\\comtest.dll"), module);
  EXPECT_EQ(GetModuleHandleA("comtest.dl"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));

  // Its entry point ran with the module already known by its path.
  EXPECT_STREQ(Counts(module).pathAtAttach, kModulePath);
  char path[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameA(module, path, MAX_PATH), std::strlen(kModulePath));
  EXPECT_STREQ(path, kModulePath);
  wchar_t wide[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameW(module, wide, MAX_PATH), std::strlen(kModulePath));
  EXPECT_STREQ(wide, L"C:\\Windows\\System32\\comtest.dll");
  // A short buffer gets what fits, terminated.
  char small[8];
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(module, small, sizeof small), sizeof small);
  EXPECT_STREQ(small, "C:\\Wind");
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));

  // Resources: the module's own compiled string table.
  const uint8_t* data = nullptr;
  size_t size = 0;
  ASSERT_TRUE(platform::ModuleResources(module, &data, &size));
  EXPECT_TRUE(Contains(data, size, u"Counted object"));

  // Exports: its own names, not those of the libraries it uses.
  EXPECT_NE(GetProcAddress(module, "DllGetClassObject"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "malloc"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(1)), nullptr);  // ordinals are not exported

  // Thread notifications reach it until it declines them.
  platform::NotifyModulesOfThreadAttach();
  EXPECT_EQ(Counts(module).threadAttaches, 1);
  auto disable = com_test::Export<ComTestDisableThreadCallsFunction>(module, "ComTestDisableThreadCalls");
  ASSERT_NE(disable, nullptr);
  EXPECT_TRUE(disable());
  platform::NotifyModulesOfThreadAttach();
  EXPECT_EQ(Counts(module).threadAttaches, 1);

  // The last of three references unloads it.
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleA("comtest.dll"), module);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleA("comtest.dll"), nullptr);
  EXPECT_FALSE(platform::ModuleResources(module, &data, &size));
  EXPECT_FALSE(DisableThreadLibraryCalls(module));
  EXPECT_EQ(GetModuleFileNameA(module, path, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

TEST_F(PcTest, LoadFailuresSayWhyAndLeaveNothingLoaded) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("C:\\Windows\\System32\\missing.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadLibraryA("missing"), nullptr);
  EXPECT_EQ(LoadLibraryA("System32\\comtest.dll"), nullptr);  // relative to no current folder
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadLibraryA("D:\\comtest.dll"), nullptr);
  EXPECT_EQ(LoadLibraryA(""), nullptr);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(LoadLibraryExA(kModulePath, nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

  // A file that is no module.
  std::ofstream(root_ + "/C/notes.dll") << "just text";
  EXPECT_EQ(LoadLibraryA("C:\\notes.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_EXE_FORMAT));
  EXPECT_FALSE(platform::LastModuleLoadError().empty());

  // An entry point that refuses to load: the module is unloaded again, and
  // COM reports the same failure.
  HKEY settings;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, COMTEST_SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &settings, nullptr),
            ERROR_SUCCESS);
  const DWORD fail = 1;
  ASSERT_EQ(RegSetValueExA(settings, "FailAttach", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&fail), 4),
            ERROR_SUCCESS);
  EXPECT_EQ(LoadLibraryExA(kModulePath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DLL_INIT_FAILED));
  RegisterServer(CLSID_ComTestCounter, kModulePath);
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            HRESULT_FROM_WIN32(ERROR_DLL_INIT_FAILED));
  CoUninitialize();
  EXPECT_TRUE(platform::LoadedModules().empty());
  EXPECT_TRUE(platform::LoadedComModules().empty());

  ASSERT_EQ(RegDeleteValueA(settings, "FailAttach"), ERROR_SUCCESS);
  RegCloseKey(settings);
  HMODULE module = LoadLibraryA(kModulePath);
  ASSERT_NE(module, nullptr);
  FreeLibrary(module);
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(0x12345678)));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(PcTest, SystemModulesAndTheProgramNeedNoFile) {
  HMODULE kernel32 = GetModuleHandleA("kernel32");
  ASSERT_NE(kernel32, nullptr);
  EXPECT_EQ(GetModuleHandleA("KERNEL32.DLL"), kernel32);
  EXPECT_EQ(LoadLibraryA("C:\\Windows\\System32\\kernel32.dll"), kernel32);
  EXPECT_TRUE(FreeLibrary(kernel32));
  EXPECT_NE(GetModuleHandleA("user32.dll"), kernel32);
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(kernel32, path, MAX_PATH), 0u);
  EXPECT_STREQ(path, "C:\\Windows\\System32\\kernel32.dll");
  EXPECT_TRUE(platform::LoadedModules().empty());

  // IsWow64Process, looked up at run time as the extension does.
  auto isWow64 = com_test::Export<IsWow64ProcessFunction>(kernel32, "IsWow64Process");
  ASSERT_NE(isWow64, nullptr);
  const HANDLE self = reinterpret_cast<HANDLE>(LONG_PTR(-1));
  BOOL wow64 = TRUE;
  ASSERT_TRUE(isWow64(self, &wow64));
  EXPECT_FALSE(wow64);
  SetWow64(true);
  ASSERT_TRUE(isWow64(self, &wow64));
  EXPECT_TRUE(wow64);
  EXPECT_FALSE(isWow64(reinterpret_cast<HANDLE>(0x5678), &wow64));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(isWow64(self, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(GetProcAddress(kernel32, "isWow64Process"), nullptr);  // names are exact
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  EXPECT_NE(GetProcAddress(GetModuleHandleA("ole32"), "CoCreateInstance"), nullptr);

  // The program: GetModuleHandle(NULL), with the path it was started from.
  HMODULE program = GetModuleHandleA(nullptr);
  EXPECT_EQ(program, platform::ProgramModule());
  EXPECT_NE(program, nullptr);
  EXPECT_EQ(GetModuleHandleW(nullptr), program);
  platform::SetProgramPath("C:\\Program Files\\Qorvane\\QORBM.exe");
  ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
  EXPECT_STREQ(path, "C:\\Program Files\\Qorvane\\QORBM.exe");
  EXPECT_EQ(GetModuleFileNameA(nullptr, path, 0), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_TRUE(FreeLibrary(program));
  platform::SetProgramPath("");
}

}  // namespace
