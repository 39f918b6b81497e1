// Files of the simulated PC: kernel path mapping, name lookup without case,
// the create dispositions, reads and writes, handles.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/nt/ntddk.h"
#include "tests/platform/test_util.h"

namespace {

using platform_test::MachineTest;


NTSTATUS Open(const std::u16string& path, ACCESS_MASK access, ULONG disposition, HANDLE* h,
              IO_STATUS_BLOCK* iosb = nullptr) {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, path.c_str());
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  IO_STATUS_BLOCK local;
  return ZwCreateFile(h, access, &attributes, iosb ? iosb : &local, nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_WRITE,
                      disposition, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, nullptr, 0);
}

NTSTATUS Write(HANDLE h, const std::string& bytes, PLARGE_INTEGER offset = nullptr) {
  IO_STATUS_BLOCK iosb;
  return ZwWriteFile(h, nullptr, nullptr, nullptr, &iosb, const_cast<char*>(bytes.data()),
                     static_cast<ULONG>(bytes.size()), offset, nullptr);
}

class FilesTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    ASSERT_TRUE(platform::SetRoot(root_));
  }
};

TEST_F(FilesTest, KernelPathsMapBelowTheRoot) {
  std::string host;
  ASSERT_TRUE(platform::MapKernelPath("\\SystemRoot\\Snap.dat", &host));
  EXPECT_EQ(host, root_ + "/Windows/Snap.dat");
  ASSERT_TRUE(platform::MapKernelPath("\\DosDevices\\C:\\frames\\a.bmp", &host));
  EXPECT_EQ(host, root_ + "/C/frames/a.bmp");
  ASSERT_TRUE(platform::MapKernelPath("\\??\\c:\\x", &host));
  EXPECT_EQ(host, root_ + "/C/x");
  ASSERT_TRUE(platform::MapKernelPath("\\systemroot\\system32\\QCAMCFG.ini", &host));
  EXPECT_EQ(host, root_ + "/Windows/System32/QCAMCFG.ini");

  // Existing entries are found whatever the case the caller writes.
  WriteHostFile(root_ + "/Windows/Frame01.BMP", "x");
  ASSERT_TRUE(platform::MapKernelPath("\\SystemRoot\\FRAME01.bmp", &host));
  EXPECT_EQ(host, root_ + "/Windows/Frame01.BMP");

  for (const char* bad : {"\\SystemRoot\\..\\registry.reg", "\\??\\C:\\a\\..\\..\\x", "\\SystemRoot\\a/../../x",
                          "\\??\\D:\\x", "C:\\x", "\\Device\\Harddisk0\\x", "\\SystemRootX\\a", ""}) {
    EXPECT_FALSE(platform::MapKernelPath(bad, &host)) << bad;
  }
}

TEST_F(FilesTest, LinksOutOfTheRootAreRefused) {
  ASSERT_EQ(symlink("/etc", (root_ + "/C/out").c_str()), 0);
  std::string host;
  EXPECT_FALSE(platform::MapKernelPath("\\??\\C:\\out\\passwd", &host));
  HANDLE h = nullptr;
  EXPECT_EQ(Open(u"\\??\\C:\\out\\passwd", GENERIC_READ, FILE_OPEN, &h), STATUS_OBJECT_PATH_NOT_FOUND);

  // A dangling link would let a create put a file outside the root.
  const std::string outside = root_ + "-outside";
  ASSERT_EQ(symlink(outside.c_str(), (root_ + "/Windows/Snap.dat").c_str()), 0);
  EXPECT_EQ(Open(u"\\SystemRoot\\Snap.dat", GENERIC_WRITE, FILE_OVERWRITE_IF, &h), STATUS_OBJECT_PATH_NOT_FOUND);
  struct stat st;
  EXPECT_NE(lstat(outside.c_str(), &st), 0);

  // Links that stay inside the root are followed.
  WriteHostFile(root_ + "/C/real.bmp", "inside");
  ASSERT_EQ(symlink((root_ + "/C/real.bmp").c_str(), (root_ + "/Windows/Link.bmp").c_str()), 0);
  EXPECT_TRUE(platform::MapKernelPath("\\SystemRoot\\link.bmp", &host));
  ASSERT_EQ(Open(u"\\SystemRoot\\link.bmp", GENERIC_READ, FILE_OPEN, &h), STATUS_SUCCESS);
  EXPECT_EQ(ZwClose(h), STATUS_SUCCESS);
}

TEST_F(FilesTest, MemoryOnlyMachineHasNoFiles) {
  platform::ResetMachine();
  std::string host;
  EXPECT_FALSE(platform::MapKernelPath("\\SystemRoot\\Snap.dat", &host));
  HANDLE h = nullptr;
  EXPECT_EQ(Open(u"\\SystemRoot\\Snap.dat", GENERIC_WRITE, FILE_OVERWRITE_IF, &h), STATUS_OBJECT_PATH_NOT_FOUND);
}

TEST_F(FilesTest, Dispositions) {
  HANDLE h = nullptr;
  IO_STATUS_BLOCK iosb;
  const std::string path = root_ + "/Windows/Snap.dat";
  struct stat st;

  EXPECT_EQ(Open(u"\\SystemRoot\\Snap.dat", GENERIC_READ, FILE_OPEN, &h), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_NE(stat(path.c_str(), &st), 0) << "FILE_OPEN created the file";
  EXPECT_EQ(Open(u"\\SystemRoot\\Snap.dat", GENERIC_WRITE, FILE_OVERWRITE, &h), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_NE(stat(path.c_str(), &st), 0);

  ASSERT_EQ(Open(u"\\SystemRoot\\Snap.dat", GENERIC_WRITE, FILE_OVERWRITE_IF, &h, &iosb), STATUS_SUCCESS);
  EXPECT_EQ(iosb.Information, 2u);  // created
  ASSERT_EQ(Write(h, "0123456789"), STATUS_SUCCESS);
  ASSERT_EQ(ZwClose(h), STATUS_SUCCESS);
  EXPECT_EQ(ReadHostFile(path), "0123456789");

  ASSERT_EQ(Open(u"\\SystemRoot\\SNAP.DAT", GENERIC_WRITE, FILE_OVERWRITE_IF, &h, &iosb), STATUS_SUCCESS);
  EXPECT_EQ(iosb.Information, 3u);  // overwritten
  ASSERT_EQ(Write(h, "ab"), STATUS_SUCCESS);
  ASSERT_EQ(ZwClose(h), STATUS_SUCCESS);
  EXPECT_EQ(ReadHostFile(path), "ab");

  ASSERT_EQ(Open(u"\\SystemRoot\\Snap.dat", GENERIC_READ, FILE_OPEN_IF, &h, &iosb), STATUS_SUCCESS);
  EXPECT_EQ(iosb.Information, 1u);  // opened, contents kept
  ASSERT_EQ(ZwClose(h), STATUS_SUCCESS);
  EXPECT_EQ(ReadHostFile(path), "ab");

  EXPECT_EQ(Open(u"\\SystemRoot\\Snap.dat", GENERIC_WRITE, FILE_CREATE, &h), STATUS_OBJECT_NAME_COLLISION);
  EXPECT_EQ(ReadHostFile(path), "ab");

  ASSERT_EQ(Open(u"\\SystemRoot\\Snap.dat", GENERIC_WRITE, FILE_SUPERSEDE, &h, &iosb), STATUS_SUCCESS);
  EXPECT_EQ(iosb.Information, 0u);  // superseded
  ASSERT_EQ(ZwClose(h), STATUS_SUCCESS);
  EXPECT_EQ(ReadHostFile(path), "");

  // FILE_OPEN_IF creates a missing file, empty.
  ASSERT_EQ(Open(u"\\DosDevices\\C:\\new.bmp", GENERIC_READ, FILE_OPEN_IF, &h, &iosb), STATUS_SUCCESS);
  EXPECT_EQ(iosb.Information, 2u);
  ASSERT_EQ(ZwClose(h), STATUS_SUCCESS);
  EXPECT_EQ(stat((root_ + "/C/new.bmp").c_str(), &st), 0);

  // A missing folder is a missing path; a folder is not a file.
  EXPECT_EQ(Open(u"\\??\\C:\\nodir\\x", GENERIC_WRITE, FILE_OVERWRITE_IF, &h), STATUS_OBJECT_PATH_NOT_FOUND);
  EXPECT_NE(Open(u"\\SystemRoot\\System32", GENERIC_READ, FILE_OPEN, &h), STATUS_SUCCESS);
  EXPECT_EQ(Open(u"\\SystemRoot\\x", GENERIC_READ, 9, &h), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(platform::Counters().fileOpens, 11u);
}

TEST_F(FilesTest, ReadsAtPositionAndOffsetUntilEndOfFile) {
  WriteHostFile(root_ + "/Windows/Frame.bmp", "abcdefgh");
  HANDLE h = nullptr;
  ASSERT_EQ(Open(u"\\SystemRoot\\frame.bmp", GENERIC_READ, FILE_OPEN, &h), STATUS_SUCCESS);
  char buf[8];
  IO_STATUS_BLOCK iosb;
  ASSERT_EQ(ZwReadFile(h, nullptr, nullptr, nullptr, &iosb, buf, 3, nullptr, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(iosb.Information, 3u);
  EXPECT_EQ(std::string(buf, 3), "abc");
  ASSERT_EQ(ZwReadFile(h, nullptr, nullptr, nullptr, &iosb, buf, 8, nullptr, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(iosb.Information, 5u);
  EXPECT_EQ(std::string(buf, 5), "defgh");
  iosb.Information = 99;
  EXPECT_EQ(ZwReadFile(h, nullptr, nullptr, nullptr, &iosb, buf, 8, nullptr, nullptr), STATUS_END_OF_FILE);
  EXPECT_EQ(iosb.Status, STATUS_END_OF_FILE);
  EXPECT_EQ(iosb.Information, 0u);

  LARGE_INTEGER at;
  at.QuadPart = 6;
  ASSERT_EQ(ZwReadFile(h, nullptr, nullptr, nullptr, &iosb, buf, 8, &at, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(std::string(buf, iosb.Information), "gh");
  at.QuadPart = 100;
  EXPECT_EQ(ZwReadFile(h, nullptr, nullptr, nullptr, &iosb, buf, 8, &at, nullptr), STATUS_END_OF_FILE);

  // Writing through a handle opened for reading is refused.
  EXPECT_EQ(Write(h, "zz"), STATUS_ACCESS_DENIED);
  ASSERT_EQ(ZwClose(h), STATUS_SUCCESS);
  EXPECT_EQ(ReadHostFile(root_ + "/Windows/Frame.bmp"), "abcdefgh");
}

TEST_F(FilesTest, WritesAtOffset) {
  HANDLE h = nullptr;
  ASSERT_EQ(Open(u"\\??\\C:\\w.bin", GENERIC_READ | GENERIC_WRITE, FILE_OVERWRITE_IF, &h), STATUS_SUCCESS);
  ASSERT_EQ(Write(h, "hello"), STATUS_SUCCESS);
  LARGE_INTEGER at;
  at.QuadPart = 1;
  ASSERT_EQ(Write(h, "EL", &at), STATUS_SUCCESS);
  ASSERT_EQ(Write(h, "!"), STATUS_SUCCESS);  // continues after the last write
  ASSERT_EQ(ZwClose(h), STATUS_SUCCESS);
  EXPECT_EQ(ReadHostFile(root_ + "/C/w.bin"), "hEL!o");
}

TEST_F(FilesTest, BadHandlesAreRefused) {
  HANDLE h = nullptr;
  ASSERT_EQ(Open(u"\\??\\C:\\h.bin", GENERIC_WRITE, FILE_OVERWRITE_IF, &h), STATUS_SUCCESS);
  ASSERT_EQ(ZwClose(h), STATUS_SUCCESS);
  char buf[4];
  IO_STATUS_BLOCK iosb;
  EXPECT_EQ(ZwClose(h), STATUS_INVALID_HANDLE);
  EXPECT_EQ(ZwReadFile(h, nullptr, nullptr, nullptr, &iosb, buf, 4, nullptr, nullptr), STATUS_INVALID_HANDLE);
  EXPECT_EQ(Write(h, "x"), STATUS_INVALID_HANDLE);
  EXPECT_EQ(ZwClose(nullptr), STATUS_INVALID_HANDLE);
  EXPECT_EQ(ZwReadFile(reinterpret_cast<HANDLE>(buf), nullptr, nullptr, nullptr, &iosb, buf, 4, nullptr, nullptr),
            STATUS_INVALID_HANDLE);
  EXPECT_EQ(ZwCreateFile(&h, GENERIC_READ, nullptr, &iosb, nullptr, 0, 0, FILE_OPEN, 0, nullptr, 0),
            STATUS_INVALID_PARAMETER);
}

}  // namespace
