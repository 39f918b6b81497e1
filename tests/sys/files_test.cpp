// Files and folders under a PC root, searches with wildcards, and the
// kernel-streaming devices opened by their interface paths.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/machine/ks_devices.h"
#include "tests/sys/pc_root.h"

namespace {

using FilesTest = sys_test::PcRootTest;

HANDLE Open(const char* name, DWORD access, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return CreateFileA(name, access, FILE_SHARE_READ, nullptr, disposition, flags, nullptr);
}

std::string ReadRest(HANDLE file) {
  std::string out;
  char chunk[7];  // small on purpose: several reads
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) out.append(chunk, got);
  return out;
}

TEST_F(FilesTest, DispositionsAccessAndPositionsAsWindowsHasThem) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Data", nullptr));
  EXPECT_FALSE(CreateDirectoryA("c:\\DATA", nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));

  EXPECT_EQ(Open("C:\\Data\\Report.TXT", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Open("C:\\Nowhere\\Report.TXT", GENERIC_READ, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));

  HANDLE file = Open("C:\\Data\\Report.TXT", GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(file, "hello, world", 12, &done, nullptr));
  EXPECT_EQ(done, 12u);
  char byte;
  EXPECT_FALSE(ReadFile(file, &byte, 1, &done, nullptr));  // opened for writing only
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  CloseHandle(file);
  EXPECT_EQ(Open("C:\\Data\\Report.TXT", GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));

  // Names ignore case; the host file keeps the case it was created with.
  EXPECT_EQ(Read("C/Data/Report.TXT"), "hello, world");
  file = Open("c:\\data\\REPORT.txt", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  DWORD high = 99;
  EXPECT_EQ(GetFileSize(file, &high), 12u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(SetFilePointer(file, -5, nullptr, FILE_END), 7u);
  EXPECT_EQ(ReadRest(file), "world");
  EXPECT_TRUE(ReadFile(file, &byte, 1, &done, nullptr));  // at the end: success, nothing read
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), 0u);
  ASSERT_TRUE(WriteFile(file, "HELLO", 5, &done, nullptr));
  EXPECT_TRUE(FlushFileBuffers(file));

  // An OVERLAPPED names the offset and is signalled on completion.
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  OVERLAPPED overlapped = {};
  overlapped.u.s.Offset = 7;
  overlapped.hEvent = event;
  char word[8] = {};
  ASSERT_TRUE(ReadFile(file, word, 5, nullptr, &overlapped));
  EXPECT_STREQ(word, "world");
  EXPECT_EQ(overlapped.InternalHigh, 5u);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  CloseHandle(event);
  CloseHandle(file);
  EXPECT_EQ(Read("C/Data/Report.TXT"), "HELLO, world");

  // Replacing and truncating.
  EXPECT_EQ(Open("C:\\Data\\report.txt", GENERIC_READ, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  file = Open("C:\\Data\\report.txt", GENERIC_WRITE, CREATE_ALWAYS);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(GetFileSize(file, nullptr), 0u);
  CloseHandle(file);

  // Folders, bad names, other drives.
  EXPECT_EQ(Open("C:\\Data", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Open("C:\\Data\\a*b.txt", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_NAME));
  EXPECT_EQ(Open("D:\\x.txt", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(Open("C:\\x.txt", GENERIC_WRITE, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

  EXPECT_EQ(GetFileAttributesA("C:\\DATA"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesA("C:\\Data\\Report.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA("C:\\Data\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(DeleteFileA("C:\\Data"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(DeleteFileA("C:\\DATA\\REPORT.TXT"));
  EXPECT_FALSE(DeleteFileA("C:\\Data\\Report.TXT"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

  // C:\Windows lives in the root's Windows folder; a file may go on close.
  file = Open("C:\\Windows\\Snap.dat", GENERIC_WRITE, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE);
  WriteFile(file, "x", 1, &done, nullptr);
  EXPECT_EQ(Read("Windows/Snap.dat"), "x");
  CloseHandle(file);
  EXPECT_EQ(GetFileAttributesA("C:\\Windows\\Snap.dat"), INVALID_FILE_ATTRIBUTES);

  // Calls on handles that are no files.
  EXPECT_FALSE(WriteFile(INVALID_HANDLE_VALUE, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  char temp[MAX_PATH];
  EXPECT_EQ(GetTempPathA(MAX_PATH, temp), 16u);
  EXPECT_STREQ(temp, "C:\\Windows\\Temp\\");
  EXPECT_EQ(GetFileAttributesA(temp), DWORD(FILE_ATTRIBUTE_DIRECTORY));
}

std::vector<std::string> Find(const char* pattern, DWORD* error = nullptr) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern, &data);
  if (search == INVALID_HANDLE_VALUE) {
    if (error) *error = GetLastError();
    return names;
  }
  do names.push_back(data.cFileName);
  while (FindNextFileA(search, &data));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(search));
  EXPECT_FALSE(FindClose(search));
  return names;
}

using Names = std::vector<std::string>;

TEST_F(FilesTest, FindFirstFileMatchesWildcardsWithoutRegardToCase) {
  Write("Windows/System32/QCAMCFG.ini", "[Language]\r\n");
  Write("Windows/System32/qorbm.INI", "");
  Write("Windows/System32/readme.txt", "");
  Write("Windows/System32/NoExtension", "");
  ASSERT_TRUE(CreateDirectoryA("C:\\Windows\\System32\\Drivers", nullptr));

  EXPECT_EQ(Find("C:\\Windows\\System32\\*.ini"), (Names{"QCAMCFG.ini", "qorbm.INI"}));
  EXPECT_EQ(Find("C:\\WINDOWS\\system32\\*"),
            (Names{".", "..", "Drivers", "NoExtension", "QCAMCFG.ini", "qorbm.INI", "readme.txt"}));
  EXPECT_EQ(Find("C:\\Windows\\System32\\*.*").size(), 7u);
  EXPECT_EQ(Find("C:\\Windows\\System32\\*."), (Names{".", "..", "Drivers", "NoExtension"}));
  EXPECT_EQ(Find("C:\\Windows\\System32\\Q?RBM.*"), (Names{"qorbm.INI"}));
  EXPECT_EQ(Find("C:\\Windows\\System32\\*e*.t?t"), (Names{"readme.txt"}));
  // A drive's root lists no "." or "..", and holds the Windows folder.
  EXPECT_EQ(Find("C:\\*"), (Names{"Windows"}));

  // An exact name: the entry as the folder spells it, with its details.
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA("c:\\windows\\system32\\qcamcfg.INI", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "QCAMCFG.ini");
  EXPECT_EQ(data.nFileSizeLow, 12u);
  EXPECT_EQ(data.dwFileAttributes, DWORD(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
  FindClose(search);
  EXPECT_EQ(Find("C:\\Windows\\System32\\Drivers")[0], "Drivers");

  DWORD error = 0;
  EXPECT_TRUE(Find("C:\\Windows\\System32\\missing.ini", &error).empty());
  EXPECT_EQ(error, DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(Find("C:\\Nowhere\\*", &error).empty());
  EXPECT_EQ(error, DWORD(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(Find("C:\\Win*\\*", &error).empty());
  EXPECT_EQ(error, DWORD(ERROR_INVALID_NAME));
  EXPECT_TRUE(Find("C:\\Windows\\", &error).empty());
  EXPECT_EQ(error, DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(Find("relative.ini", &error).empty());
  EXPECT_EQ(error, DWORD(ERROR_PATH_NOT_FOUND));
}

TEST_F(FilesTest, QuestionMarkStandsForOneDoubleByteCharacter) {
  SetLanguage(1041);
  // "表示.txt": the second byte of 表 is 0x5C, a backslash.
  HANDLE file = CreateFileA("C:\\\x95\x5C\x8E\xA6.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(Find("C:\\??.txt"), (Names{"\x95\x5C\x8E\xA6.txt"}));
  // The host names it in UTF-8, as the kernel side names its files.
  EXPECT_TRUE(std::ifstream(Host("C/表示.txt")).good());
  EXPECT_TRUE(Find("C:\\???.txt").empty());
}

int32_t AnswerNothing(void*, uint32_t, void*, uint32_t, void*, uint32_t, uint32_t* returned) {
  *returned = 0;
  return 0;
}

TEST_F(FilesTest, DevicePathsOpenPluggedKernelStreamingDevices) {
  platform::KsDeviceInfo info;
  info.interfacePath =
      "\\\\?\\usb#vid_1234&pid_5678&mi_00#6&1&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
  ASSERT_TRUE(platform::PlugKsDevice(info, AnswerNothing, nullptr));

  HANDLE device = CreateFileA(info.interfacePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(platform::IsKsDeviceHandle(device));
  char byte;
  DWORD done;
  EXPECT_FALSE(ReadFile(device, &byte, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FUNCTION));
  CloseHandle(device);

  std::string dotted = "\\\\.\\USB#VID_1234" + info.interfacePath.substr(16);
  device = CreateFileW(std::wstring(dotted.begin(), dotted.end()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       0, nullptr);
  EXPECT_TRUE(platform::IsKsDeviceHandle(device));
  CloseHandle(device);

  platform::UnplugKsDevice(info.interfacePath);
  EXPECT_EQ(CreateFileA(info.interfacePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

  // "\\?\C:\..." is a long file name, not a device.
  HANDLE file = CreateFileA("\\\\?\\C:\\long.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(GetFileAttributesA("C:\\long.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
}

}  // namespace
