// Files of the PC under its root, and the kernel-streaming devices opened by
// their interface paths, as entries of the PC's handle table.
#include <windows.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>

#include "platform/machine/codepages.h"
#include "platform/machine/ks_devices.h"
#include "platform/machine/handles.h"
#include "platform/machine/paths.h"
#include "platform/win32/copy_out.h"
#include "platform/win32/file_paths.h"

namespace {

constexpr DWORD kFileReadData = 0x0001;    // FILE_READ_DATA
constexpr DWORD kFileWriteData = 0x0002;   // FILE_WRITE_DATA
constexpr DWORD kFileAppendData = 0x0004;  // FILE_APPEND_DATA

class File final : public platform::KernelObject {
 public:
  File(int fd, bool readable, bool writable, std::string deleteOnClose)
      : fd(fd), readable(readable), writable(writable), deleteOnClose_(std::move(deleteOnClose)) {}
  ~File() override {
    close(fd);
    if (!deleteOnClose_.empty()) unlink(deleteOnClose_.c_str());
  }
  const char* Kind() const override { return "file"; }

  const int fd;
  const bool readable;
  const bool writable;
  std::mutex lock;  // one transfer or seek at a time, so the position stays whole

 private:
  const std::string deleteOnClose_;
};

std::shared_ptr<File> FileOf(HANDLE handle) {
  std::shared_ptr<File> file = platform::LookupHandleAs<File>(handle);
  if (!file) SetLastError(platform::IsKsDeviceHandle(handle) ? ERROR_INVALID_FUNCTION : ERROR_INVALID_HANDLE);
  return file;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.compare(0, std::strlen(prefix), prefix) == 0; }

// "\\?\" and "\\.\" name devices, unless what follows is a drive path
// ("\\?\C:\x" is a long form of "C:\x").
bool IsDevicePath(const std::string& name, std::string* rest) {
  if (!StartsWith(name, "\\\\?\\") && !StartsWith(name, "\\\\.\\")) return false;
  *rest = name.substr(4);
  return !(rest->size() >= 2 && (*rest)[1] == ':');
}

HANDLE OpenDevice(const std::string& rest) {
  void* handle = platform::OpenKsDeviceHandle("\\\\?\\" + rest);
  if (!handle) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return handle;
}

// The open(2) flags of a disposition; false for an unknown one.
bool FlagsOf(DWORD disposition, bool writable, int* flags) {
  switch (disposition) {
    case CREATE_NEW: *flags = O_CREAT | O_EXCL; return true;
    case CREATE_ALWAYS: *flags = O_CREAT | O_TRUNC; return true;
    case OPEN_EXISTING: *flags = 0; return true;
    case OPEN_ALWAYS: *flags = O_CREAT; return true;
    case TRUNCATE_EXISTING: *flags = O_TRUNC; return writable;  // truncating needs write access
    default: return false;
  }
}

HANDLE OpenFile(const std::string& utf8Name, DWORD access, DWORD disposition, DWORD flagsAndAttributes) {
  const bool readable = access & (GENERIC_READ | GENERIC_ALL | kFileReadData);
  const bool writable = access & (GENERIC_WRITE | GENERIC_ALL | kFileWriteData | kFileAppendData);
  int flags = 0;
  if (!FlagsOf(disposition, writable, &flags)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string host;
  if (!file_paths::ToHost(utf8Name, &host)) return INVALID_HANDLE_VALUE;
  struct stat st;
  const bool existed = stat(host.c_str(), &st) == 0;
  if (existed && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);  // a folder is no file
    return INVALID_HANDLE_VALUE;
  }
  flags |= O_CLOEXEC | (readable && writable ? O_RDWR : writable ? O_WRONLY : O_RDONLY);
  const int fd = open(host.c_str(), flags, 0666);
  if (fd < 0) {
    file_paths::SetErrorOf(errno, host);
    return INVALID_HANDLE_VALUE;
  }
  const bool deleteOnClose = flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE;
  HANDLE handle = platform::NewHandle(std::make_shared<File>(fd, readable, writable, deleteOnClose ? host : ""));
  // Opening or replacing an existing file reports that it existed.
  const bool reportsExisting = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
  SetLastError(existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

// A transfer with an OVERLAPPED takes its file offset from it and reports
// completion through it, as a request that finished at once.
void Complete(LPOVERLAPPED overlapped, DWORD bytes) {
  overlapped->Internal = 0;  // STATUS_SUCCESS
  overlapped->InternalHigh = bytes;
  if (overlapped->hEvent) SetEvent(overlapped->hEvent);
}

off_t OffsetOf(const OVERLAPPED* overlapped) {
  return off_t((uint64_t(overlapped->u.s.OffsetHigh) << 32) | overlapped->u.s.Offset);
}

ssize_t TransferOnce(int fd, char* data, size_t size, const OVERLAPPED* overlapped, off_t at, bool write) {
  if (overlapped) return write ? pwrite(fd, data, size, at) : pread(fd, data, size, at);
  return write ? ::write(fd, data, size) : read(fd, data, size);
}

// Reads until `size` bytes or the end of the file, or writes all `size`
// bytes; -1 on an error.
ssize_t TransferAll(int fd, char* data, size_t size, const OVERLAPPED* overlapped, bool write) {
  size_t done = 0;
  while (done < size) {
    const off_t at = overlapped ? OffsetOf(overlapped) + off_t(done) : 0;
    const ssize_t n = TransferOnce(fd, data + done, size - done, overlapped, at, write);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += size_t(n);
  }
  return ssize_t(done);
}

DWORD ErrorOfTransfer(int error) {
  return error == ENOSPC || error == EDQUOT ? ERROR_DISK_FULL : ERROR_GEN_FAILURE;
}

BOOL Transfer(HANDLE handle, char* data, DWORD size, LPDWORD done, LPOVERLAPPED overlapped, bool write) {
  std::shared_ptr<File> file = FileOf(handle);
  if (!file) return FALSE;
  if ((!done && !overlapped) || (!data && size)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!(write ? file->writable : file->readable)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (done) *done = 0;
  std::lock_guard<std::mutex> hold(file->lock);
  const ssize_t n = TransferAll(file->fd, data, size, overlapped, write);
  if (n < 0) {
    SetLastError(ErrorOfTransfer(errno));
    return FALSE;
  }
  if (done) *done = DWORD(n);
  if (overlapped) Complete(overlapped, DWORD(n));
  return TRUE;
}

// Opens a file or device by its name in UTF-8.
HANDLE Create(const std::string& name, DWORD access, DWORD disposition, DWORD flagsAndAttributes) {
  if (name.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string device;
  if (IsDevicePath(name, &device)) return OpenDevice(device);
  return OpenFile(StartsWith(name, "\\\\?\\") ? name.substr(4) : name, access, disposition, flagsAndAttributes);
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  const std::string name = lpFileName ? file_paths::AnsiToUtf8(lpFileName) : std::string();
  return Create(name, dwDesiredAccess, dwCreationDisposition, dwFlagsAndAttributes);
}

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  const std::string name = lpFileName ? platform::WideToAnsi(platform::kCodePageUtf8, lpFileName) : std::string();
  return Create(name, dwDesiredAccess, dwCreationDisposition, dwFlagsAndAttributes);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
  return Transfer(hFile, static_cast<char*>(lpBuffer), nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped, false);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped) {
  // The buffer is only read from: the write path never stores through it.
  return Transfer(hFile, static_cast<char*>(const_cast<void*>(lpBuffer)), nNumberOfBytesToWrite,
                  lpNumberOfBytesWritten, lpOverlapped, true);
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
  std::shared_ptr<File> file = FileOf(hFile);
  if (!file) return INVALID_SET_FILE_POINTER;
  // With a high part the distance is 64 bits; without, the low part is signed.
  const int64_t distance = lpDistanceToMoveHigh
                               ? int64_t((uint64_t(uint32_t(*lpDistanceToMoveHigh)) << 32) | uint32_t(lDistanceToMove))
                               : int64_t(lDistanceToMove);
  std::lock_guard<std::mutex> hold(file->lock);
  int64_t base = 0;
  struct stat st;
  switch (dwMoveMethod) {
    case FILE_BEGIN: break;
    case FILE_CURRENT: base = lseek(file->fd, 0, SEEK_CUR); break;
    case FILE_END: base = fstat(file->fd, &st) == 0 ? int64_t(st.st_size) : -1; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_SET_FILE_POINTER;
  }
  const int64_t position = base + distance;
  if (base < 0 || position < 0) {
    SetLastError(base < 0 ? ERROR_GEN_FAILURE : ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  if (lseek(file->fd, off_t(position), SEEK_SET) < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = LONG(uint64_t(position) >> 32);
  // A position whose low part is 0xFFFFFFFF is told from a failure by this.
  SetLastError(ERROR_SUCCESS);
  return DWORD(uint64_t(position));
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  std::shared_ptr<File> file = FileOf(hFile);
  struct stat st;
  if (!file) return INVALID_FILE_SIZE;
  if (fstat(file->fd, &st) != 0) {
    SetLastError(ERROR_GEN_FAILURE);
    return INVALID_FILE_SIZE;
  }
  if (lpFileSizeHigh) *lpFileSizeHigh = DWORD(uint64_t(st.st_size) >> 32);
  SetLastError(ERROR_SUCCESS);
  return DWORD(uint64_t(st.st_size));
}

BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
  std::shared_ptr<File> file = FileOf(hFile);
  if (!file) return FALSE;
  if (!file->writable) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (fsync(file->fd) != 0) {
    SetLastError(ErrorOfTransfer(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  std::string host;
  if (!file_paths::AnsiToHost(lpFileName, &host)) return FALSE;
  struct stat st;
  if (stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);  // folders go with RemoveDirectory
    return FALSE;
  }
  if (unlink(host.c_str()) != 0) {
    file_paths::SetErrorOf(errno, host);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  std::string host;
  if (!file_paths::AnsiToHost(lpPathName, &host)) return FALSE;
  if (mkdir(host.c_str(), 0777) != 0) {
    SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : file_paths::ErrorOf(errno, host));
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  std::string host;
  if (!file_paths::AnsiToHost(lpFileName, &host)) return INVALID_FILE_ATTRIBUTES;
  struct stat st;
  if (stat(host.c_str(), &st) != 0) {
    file_paths::SetErrorOf(errno, host);
    return INVALID_FILE_ATTRIBUTES;
  }
  return file_paths::AttributesOf(st);
}

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  const std::string temp = std::string(platform::kWindowsDirectory) + "\\Temp\\";
  // The folder is made on first use, so that the path handed out works.
  std::string host;
  if (platform::MapWin32Path(temp, &host)) mkdir(host.c_str(), 0777);
  return CopyPathOut(temp, lpBuffer, nBufferLength);
}
