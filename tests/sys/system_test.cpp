// System information and code-page conversions, as the PC's settings make
// them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/sys/pc_root.h"

namespace {

using SystemTest = sys_test::PcRootTest;

TEST_F(SystemTest, FoldersFollowTheBufferSizeContract) {
  const std::string system = "C:\\Windows\\System32";
  char buffer[32];
  std::memset(buffer, '#', sizeof buffer);
  // Too small (or no buffer): the size needed with the terminator, nothing written.
  EXPECT_EQ(GetSystemDirectoryA(nullptr, 0), system.size() + 1);
  EXPECT_EQ(GetSystemDirectoryA(buffer, UINT(system.size())), system.size() + 1);
  EXPECT_EQ(buffer[0], '#');
  // Big enough: the length without the terminator.
  EXPECT_EQ(GetSystemDirectoryA(buffer, UINT(system.size() + 1)), system.size());
  EXPECT_EQ(std::string(buffer), system);
  EXPECT_EQ(buffer[system.size() + 1], '#');
  wchar_t wide[32];
  EXPECT_EQ(GetSystemDirectoryW(wide, 32), system.size());
  EXPECT_STREQ(wide, L"C:\\Windows\\System32");
  EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 10u);
  EXPECT_STREQ(buffer, "C:\\Windows");
  EXPECT_EQ(GetWindowsDirectoryW(wide, 5), 11u);
  // The folder handed out is the one the files live in.
  Write("Windows/System32/probe.ini", "[S]\nk=v\n");
  char path[MAX_PATH];
  GetSystemDirectoryA(path, MAX_PATH);
  EXPECT_NE(GetFileAttributesA((std::string(path) + "\\probe.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SystemTest, VersionRecordsAreChosenBySize) {
  platform::PcSettings settings = platform::GetPcSettings();
  settings.windowsMajor = 6;
  settings.windowsMinor = 1;
  settings.windowsBuild = 7601;
  ASSERT_TRUE(platform::SetPcSettings(settings));

  OSVERSIONINFOEXA ex;
  std::memset(&ex, 0xAB, sizeof ex);
  ex.dwOSVersionInfoSize = sizeof ex;
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
  EXPECT_EQ(ex.dwMajorVersion, 6u);
  EXPECT_EQ(ex.dwMinorVersion, 1u);
  EXPECT_EQ(ex.dwBuildNumber, 7601u);
  EXPECT_EQ(ex.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
  EXPECT_EQ(ex.szCSDVersion[0], '\0');
  EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);

  // The short record is filled up to its own end and no further.
  OSVERSIONINFOEXA shortOne;
  std::memset(&shortOne, 0xAB, sizeof shortOne);
  shortOne.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&shortOne)));
  EXPECT_EQ(shortOne.dwMajorVersion, 6u);
  EXPECT_EQ(shortOne.wServicePackMajor, 0xABABu);

  for (DWORD size : {0u, 147u, 149u, 155u, 157u}) {
    ex.dwOSVersionInfoSize = size;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex))) << size;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  }
  OSVERSIONINFOW wide = {};
  wide.dwOSVersionInfoSize = sizeof wide;
  ASSERT_TRUE(GetVersionExW(&wide));
  EXPECT_EQ(wide.dwBuildNumber, 7601u);

  EXPECT_EQ(GetVersion(), 0x1DB10106u);  // build 7601, minor 1, major 6
  settings.windowsMajor = 5;
  settings.windowsMinor = 1;
  settings.windowsBuild = 2600;
  ASSERT_TRUE(platform::SetPcSettings(settings));
  EXPECT_EQ(LOBYTE(LOWORD(GetVersion())), 5);
  EXPECT_EQ(HIBYTE(LOWORD(GetVersion())), 1);
  EXPECT_EQ(HIWORD(GetVersion()), 2600);
}

TEST_F(SystemTest, TickCountAndTimeRunOnThePcClock) {
  const DWORD before = GetTickCount();
  const ULONGLONG before64 = GetTickCount64();
  SYSTEMTIME start;
  GetSystemTime(&start);
  Sleep(3000);
  EXPECT_GE(GetTickCount() - before, 3000u);
  EXPECT_GE(GetTickCount64() - before64, 3000u);
  SYSTEMTIME now, local;
  GetSystemTime(&now);
  GetLocalTime(&local);
  EXPECT_GE(local.wYear, 2024);
  EXPECT_GE(now.wYear, 2024);
  EXPECT_TRUE(now.wMonth >= 1 && now.wMonth <= 12 && now.wDay >= 1 && now.wDay <= 31);
  const int startSeconds = start.wHour * 3600 + start.wMinute * 60 + start.wSecond;
  const int nowSeconds = now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
  EXPECT_GE((nowSeconds - startSeconds + 86400) % 86400, 3);
}

TEST_F(SystemTest, LanguageChoosesTheAnsiCodePage) {
  const struct {
    uint16_t language;
    UINT codePage;
  } cases[] = {{1033, 1252}, {1031, 1252}, {1041, 932}, {2052, 936}, {1042, 949}, {1028, 950}};
  for (const auto& c : cases) {
    SetLanguage(c.language);
    EXPECT_EQ(GetACP(), c.codePage) << c.language;
    EXPECT_EQ(GetSystemDefaultLangID(), c.language);
    EXPECT_EQ(GetUserDefaultLangID(), c.language);
    EXPECT_EQ(GetSystemDefaultLCID(), LCID(c.language));
  }
  EXPECT_TRUE(IsValidCodePage(932));
  EXPECT_FALSE(IsValidCodePage(12345));
}

TEST_F(SystemTest, MultiByteToWideCharSizesAndErrors) {
  SetLanguage(1041);
  const char* shiftJis = "\x95\x5C\x8E\xA6";  // 表示
  // -1 counts the terminator; an explicit length does not.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, shiftJis, -1, nullptr, 0), 3);
  EXPECT_EQ(MultiByteToWideChar(932, 0, shiftJis, 4, nullptr, 0), 2);
  wchar_t wide[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, shiftJis, -1, wide, 4), 3);
  EXPECT_EQ(std::wstring(wide, 4), std::wstring(L"\x8868\x793A\0#", 4));
  EXPECT_EQ(MultiByteToWideChar(932, 0, shiftJis, -1, wide, 2), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  // UTF-8, with and without the check for invalid bytes.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xE8\xA1\xA8x", 4, wide, 4), 2);
  EXPECT_EQ(wide[0], L'\x8868');
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFF", 2, wide, 4), 2);
  EXPECT_EQ(wide[1], L'\xFFFD');
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, wide, 4), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xEF\xBF\xBD", 3, wide, 4), 1);
  // Bad arguments.
  EXPECT_EQ(MultiByteToWideChar(12345, 0, "a", 1, wide, 4), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, 1, wide, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 0, wide, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 1, nullptr, 4), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(SystemTest, WideCharToMultiByteRoundTripsAndReportsDefaults) {
  const struct {
    UINT codePage;
    const wchar_t* text;
  } cases[] = {{1252, L"R\xE9glages"}, {932, L"\x8868\x793A"}, {936, L"\x4FDD\x5B58"},
               {949, L"\xC800\xC7A5"}, {950, L"\x5132\x5B58"}, {CP_UTF8, L"\x8868 \xE9"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    const int needed = WideCharToMultiByte(c.codePage, 0, c.text, -1, nullptr, 0, nullptr, nullptr);
    ASSERT_GT(needed, 1);
    std::string bytes(size_t(needed), '#');
    EXPECT_EQ(WideCharToMultiByte(c.codePage, 0, c.text, -1, &bytes[0], needed, nullptr, nullptr), needed);
    EXPECT_EQ(bytes.back(), '\0');
    EXPECT_EQ(WideCharToMultiByte(c.codePage, 0, c.text, -1, &bytes[0], needed - 1, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    wchar_t back[16];
    EXPECT_EQ(MultiByteToWideChar(c.codePage, 0, bytes.c_str(), -1, back, 16), int(wcslen(c.text) + 1));
    EXPECT_STREQ(back, c.text);
  }
  // A character the code page lacks becomes the default character.
  char bytes[8];
  BOOL usedDefault = FALSE;
  EXPECT_EQ(WideCharToMultiByte(1252, 0, L"a\x8868?", 3, bytes, 8, nullptr, &usedDefault), 3);
  EXPECT_EQ(std::string(bytes, 3), "a??");
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, L"a?", 2, bytes, 8, "*", &usedDefault), 2);
  EXPECT_FALSE(usedDefault);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, L"\x8868", 1, bytes, 8, "*", nullptr), 1);
  EXPECT_EQ(bytes[0], '*');
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"a", 1, bytes, 8, nullptr, &usedDefault), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WideCharToMultiByte(1252, 0x80000000, L"a", 1, bytes, 8, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FLAGS));
}

}  // namespace
