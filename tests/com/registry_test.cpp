// The Win32 registry calls: the tree the kernel and the tools share, the
// views of a 32-bit program on 64-bit Windows, text in both forms, and the
// errors of every call.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/com/com_test_util.h"

namespace {

using com_test::kModulePath;
using com_test::PcTest;

const char kCurrent[] = "HKLM\\SOFTWARE\\Qorvane\\QCAM500\\CURRENT";

HKEY Create(HKEY parent, const char* sub, REGSAM sam = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(parent, sub, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, &key, disposition),
            ERROR_SUCCESS)
      << sub;
  return key;
}

LSTATUS SetDword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

TEST_F(PcTest, Win32CallsShareTheTreeAndRefuseBadHandles) {
  DWORD disposition = 0;
  HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Qorvane\\QCAM500\\Current\\", KEY_ALL_ACCESS, &disposition);
  EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
  EXPECT_TRUE(platform::RegKeyExists(kCurrent));
  ASSERT_EQ(SetDword(key, "CameraStatus", 0x200), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\x"), 5), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  uint32_t status = 0;
  ASSERT_TRUE(platform::RegGetDword("\\Registry\\MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\CURRENT", "CAMERASTATUS", &status));
  EXPECT_EQ(status, 0x200u);

  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\qorvane\\qcam500\\CURRENT", 0, KEY_READ | KEY_WOW64_64KEY, &key),
            ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExA(key, "path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(size, 5u);
  char small[3];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "path", nullptr, &type, reinterpret_cast<LPBYTE>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 5u);
  char text[16];
  size = sizeof text;
  ASSERT_EQ(RegQueryValueExA(key, "path", nullptr, &type, reinterpret_cast<LPBYTE>(text), &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "C:\\x");
  EXPECT_EQ(RegQueryValueExA(key, "nothing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueExA(key, "path", &reserved, &type, nullptr, &size), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key, "path", nullptr, &type, reinterpret_cast<LPBYTE>(text), nullptr),
            ERROR_INVALID_PARAMETER);
  // A read-only handle reads but does not write.
  EXPECT_EQ(SetDword(key, "CameraStatus", 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(key, "Path"), ERROR_ACCESS_DENIED);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  // A closed or invented handle is refused, never followed.
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExA(key, "CameraStatus", nullptr, &type, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SetDword(reinterpret_cast<HKEY>(0x1234), "X", 1), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ | KEY_WOW64_32KEY | KEY_WOW64_64KEY, &key),
            ERROR_INVALID_PARAMETER);

  HKEY existing = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Qorvane", KEY_ALL_ACCESS, &disposition);
  EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
  EXPECT_EQ(RegSetValueExA(existing, "Bad", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&status), 2),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(existing, "Bad", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
  // A key too long for the registry is not created.
  HKEY tooLong;
  EXPECT_EQ(RegCreateKeyExA(existing, std::string(256, 'k').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &tooLong,
                            nullptr),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(existing);

  // A read-only handle creates no subkeys but opens existing ones.
  HKEY readOnly;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Qorvane", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
  HKEY sub;
  EXPECT_EQ(RegCreateKeyExA(readOnly, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_ACCESS_DENIED);
  ASSERT_EQ(RegCreateKeyExA(readOnly, "QCAM500", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(sub);
  RegCloseKey(readOnly);
}

TEST_F(PcTest, KeysAreDeletedOnlyWithoutSubkeysAndHandlesNoticeIt) {
  HKEY camera = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Qorvane\\QCAM500\\Current");
  HKEY qorvane = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Qorvane");
  EXPECT_EQ(RegDeleteKeyA(qorvane, "QCAM500"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(platform::RegKeyExists(kCurrent));
  EXPECT_EQ(RegDeleteKeyA(qorvane, "Nothing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(qorvane, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);

  EXPECT_EQ(RegDeleteKeyW(qorvane, L"QCAM500\\current"), ERROR_SUCCESS);
  EXPECT_FALSE(platform::RegKeyExists(kCurrent));
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(camera, "CameraStatus", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(SetDword(camera, "CameraStatus", 1), ERROR_KEY_DELETED);
  EXPECT_FALSE(platform::RegKeyExists(kCurrent));
  EXPECT_EQ(RegCloseKey(camera), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(qorvane, "QCAM500"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(qorvane, ""), ERROR_SUCCESS);  // the key of the handle itself
  EXPECT_FALSE(platform::RegKeyExists("HKLM\\SOFTWARE\\Qorvane"));
  RegCloseKey(qorvane);
}

TEST_F(PcTest, EnumerationHandsOutNamesAndDataWithTheirSizes) {
  HKEY key = Create(HKEY_CLASSES_ROOT, "CLSID\\{X}");
  RegCloseKey(Create(key, "InprocServer32"));
  RegCloseKey(Create(key, "Instance"));
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("Name"), 5), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, "Flags", 7), ERROR_SUCCESS);
  EXPECT_TRUE(platform::RegKeyExists("HKLM\\SOFTWARE\\Classes\\CLSID\\{X}\\Instance"));

  std::vector<std::string> subkeys;
  char name[32];
  for (DWORD i = 0;; ++i) {
    DWORD count = sizeof name;
    const LSTATUS status = RegEnumKeyExA(key, i, name, &count, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, ERROR_SUCCESS);
    EXPECT_EQ(count, std::strlen(name));
    subkeys.push_back(name);
  }
  EXPECT_EQ(subkeys, (std::vector<std::string>{"InprocServer32", "Instance"}));
  DWORD count = 8;  // "Instance" needs 9 with its terminator
  EXPECT_EQ(RegEnumKeyExA(key, 1, name, &count, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  wchar_t wideName[32];
  count = 32;
  FILETIME written = {1, 1};
  ASSERT_EQ(RegEnumKeyExW(key, 1, wideName, &count, nullptr, nullptr, nullptr, &written), ERROR_SUCCESS);
  EXPECT_STREQ(wideName, L"Instance");
  EXPECT_EQ(count, 8u);

  // Values: the default value has the empty name.
  DWORD type = 0, dataSize = 0;
  count = sizeof name;
  ASSERT_EQ(RegEnumValueA(key, 0, name, &count, nullptr, &type, nullptr, &dataSize), ERROR_SUCCESS);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(dataSize, 5u);
  BYTE data[4];
  count = sizeof name;
  dataSize = 2;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &count, nullptr, &type, data, &dataSize), ERROR_MORE_DATA);
  EXPECT_EQ(dataSize, 5u);
  count = sizeof name;
  dataSize = sizeof data;
  ASSERT_EQ(RegEnumValueA(key, 1, name, &count, nullptr, &type, data, &dataSize), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Flags");
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(data[0], 7);
  count = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 2, name, &count, nullptr, &type, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

  // Enumerating needs the rights for it.
  HKEY writeOnly;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{X}", 0, KEY_SET_VALUE, &writeOnly), ERROR_SUCCESS);
  count = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(writeOnly, 0, name, &count, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  count = sizeof name;
  EXPECT_EQ(RegEnumValueA(writeOnly, 0, name, &count, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  RegCloseKey(writeOnly);
  RegCloseKey(key);
}

TEST_F(PcTest, TextIsTheSameInBothFormsAndInTheAnsiCodePage) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Qorvane");
  const std::wstring cafe = L"Caf\u00e9 \u30ab\u30e1\u30e9";
  ASSERT_EQ(RegSetValueExW(key, L"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(cafe.c_str()),
                           DWORD((cafe.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  std::string stored;
  ASSERT_TRUE(platform::RegGetString("HKLM\\SOFTWARE\\Qorvane", "name", &stored));
  EXPECT_EQ(stored, "Caf\xC3\xA9 \xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9");

  // On an English PC the A form is code page 1252, on a Japanese one 932.
  char text[32];
  DWORD size = sizeof text;
  ASSERT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "Caf\xE9 ???");
  platform::PcSettings japanese = platform::GetPcSettings();
  japanese.languageId = 1041;
  ASSERT_TRUE(platform::SetPcSettings(japanese));
  size = sizeof text;
  ASSERT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "Caf? \x83J\x83\x81\x83\x89");
  ASSERT_EQ(RegSetValueExA(key, "\x83J", 0, REG_SZ, reinterpret_cast<const BYTE*>("\x83\x81"), 3), ERROR_SUCCESS);
  ASSERT_TRUE(platform::RegGetString("HKLM\\SOFTWARE\\Qorvane", "\xE3\x82\xAB", &stored));
  EXPECT_EQ(stored, "\xE3\x83\xA1");

  // W queries count bytes of WCHAR units, terminator included.
  wchar_t wide[16];
  size = 3 * sizeof(wchar_t);
  EXPECT_EQ(RegQueryValueExW(key, L"\u30ab", nullptr, nullptr, reinterpret_cast<LPBYTE>(wide), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 2 * sizeof(wchar_t));
  EXPECT_STREQ(wide, L"\u30e1");

  // REG_MULTI_SZ keeps its inner terminators and is kept as UTF-16, as the
  // registry file writes it.
  const wchar_t list[] = L"a\0\u00e9\0";
  ASSERT_EQ(RegSetValueExW(key, L"List", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list), sizeof list),
            ERROR_SUCCESS);
  EXPECT_NE(platform::RenderRegistryText().find("\"List\"=hex(7):61,00,00,00,e9,00,00,00,00,00"), std::string::npos);
  size = sizeof text;
  DWORD type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "List", nullptr, &type, reinterpret_cast<LPBYTE>(text), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
  EXPECT_EQ(std::string(text, size), std::string("a\0?\0\0", 5));  // no e-acute in code page 932
  size = sizeof wide;
  ASSERT_EQ(RegQueryValueExW(key, L"List", nullptr, &type, reinterpret_cast<LPBYTE>(wide), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(wide, size / sizeof(wchar_t)), std::wstring(list, 5));

  // Binary data passes as it is.
  const BYTE blob[] = {0, 0xFF, 0x80, 0};
  ASSERT_EQ(RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  BYTE back[8];
  size = sizeof back;
  ASSERT_EQ(RegQueryValueExW(key, L"Blob", nullptr, &type, back, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::memcmp(back, blob, 4), 0);
  RegCloseKey(key);
}

TEST_F(PcTest, Wow64ProgramSeesThe32BitViewUnlessItAsksForThe64BitOne) {
  SetWow64(true);
  // The extension's settings key, read as it reads it: with KEY_WOW64_64KEY
  // the driver's native key, without it the 32-bit copy.
  HKEY native = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Qorvane\\QCAM500\\Default", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
  ASSERT_EQ(SetDword(native, "Layer", 2), ERROR_SUCCESS);
  EXPECT_TRUE(platform::RegKeyExists("HKLM\\SOFTWARE\\Qorvane\\QCAM500\\Default"));
  HKEY redirected = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Qorvane\\QCAM500\\Default");
  ASSERT_EQ(SetDword(redirected, "Layer", 5), ERROR_SUCCESS);
  uint32_t layer = 0;
  ASSERT_TRUE(platform::RegGetDword("HKLM\\SOFTWARE\\WOW6432Node\\Qorvane\\QCAM500\\Default", "Layer", &layer));
  EXPECT_EQ(layer, 5u);
  ASSERT_TRUE(platform::RegGetDword("HKLM\\SOFTWARE\\Qorvane\\QCAM500\\Default", "Layer", &layer));
  EXPECT_EQ(layer, 2u);

  // A subkey opened from a handle keeps the handle's view; HKLM\SOFTWARE
  // itself is one key in both views.
  HKEY software;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ | KEY_WOW64_64KEY, &software), ERROR_SUCCESS);
  HKEY child;
  ASSERT_EQ(RegOpenKeyExA(software, "Qorvane\\QCAM500\\Default", 0, KEY_READ, &child), ERROR_SUCCESS);
  DWORD value = 0, size = 4;
  ASSERT_EQ(RegQueryValueExA(child, "Layer", nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 2u);
  RegCloseKey(child);
  ASSERT_EQ(RegOpenKeyExA(software, "Qorvane\\QCAM500\\Default", 0, KEY_READ | KEY_WOW64_32KEY, &child),
            ERROR_SUCCESS);
  ASSERT_EQ(RegQueryValueExA(child, "Layer", nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 5u);
  RegCloseKey(child);
  RegCloseKey(software);

  // Class registrations: CLSID has a 32-bit view, other class keys are shared.
  RegisterServer(CLSID_ComTestCounter, kModulePath);
  EXPECT_TRUE(platform::RegKeyExists(
      "HKLM\\SOFTWARE\\Classes\\WOW6432Node\\CLSID\\{6B1D2A40-7E3C-4F51-9A0B-1C2D3E4F5A60}\\InprocServer32"));
  EXPECT_FALSE(platform::RegKeyExists("HKLM\\SOFTWARE\\Classes\\CLSID\\{6B1D2A40-7E3C-4F51-9A0B-1C2D3E4F5A60}"));
  RegCloseKey(Create(HKEY_CLASSES_ROOT, ".ax"));
  EXPECT_TRUE(platform::RegKeyExists("HKLM\\SOFTWARE\\Classes\\.ax"));

  // COM looks where the 32-bit program registered; a class only in the
  // native view is not there for it.
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  IUnknown* object = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ComTestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            S_OK);
  object->Release();
  RegisterServer(CLSID_ComTestUnknown, kModulePath, KEY_WOW64_64KEY);
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestUnknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            REGDB_E_CLASSNOTREG);

  // On 32-bit Windows there is one view, whatever the flags say.
  SetWow64(false);
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestUnknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            CLASS_E_CLASSNOTAVAILABLE);
  HKEY plain;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Qorvane\\QCAM500\\Default", 0, KEY_READ | KEY_WOW64_32KEY,
                          &plain),
            ERROR_SUCCESS);
  ASSERT_EQ(RegQueryValueExA(plain, "Layer", nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 2u);
  RegCloseKey(plain);
  CoFreeUnusedLibraries();
  CoUninitialize();
  RegCloseKey(native);
  RegCloseKey(redirected);
}

}  // namespace
