// Files of the simulated PC: kernel paths mapped into the root folder, and the
// Zw file routines on host files behind opaque, validated handles.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/nt/ntddk.h"
#include "platform/nt/platform_control.h"

namespace {


// IO_STATUS_BLOCK.Information after a create.
constexpr ULONG_PTR kFileSuperseded = 0;
constexpr ULONG_PTR kFileOpened = 1;
constexpr ULONG_PTR kFileCreated = 2;
constexpr ULONG_PTR kFileOverwritten = 3;

// Special ByteOffset values.
constexpr LONGLONG kWriteToEndOfFile = -1;   // FILE_WRITE_TO_END_OF_FILE (low part 0xFFFFFFFF)
constexpr LONGLONG kUseFilePointer = -2;     // FILE_USE_FILE_POINTER_POSITION (low part 0xFFFFFFFE)

struct OpenFile {
  int fd = -1;
  bool canRead = false;
  bool canWrite = false;
  bool append = false;
  int64_t position = 0;
};

struct FileTable {
  std::mutex lock;
  std::map<uintptr_t, OpenFile> files;
  uintptr_t next = 0x10000;  // file handles: 0x10004, 0x10008, ...
};
FileTable& Files() {
  static FileTable* table = new FileTable;
  return *table;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// The name of an existing entry of `dir` that equals `name` ignoring case;
// `name` itself when there is an exact match or none at all.
std::string MatchEntry(const std::string& dir, const std::string& name) {
  struct stat st;
  if (lstat((dir + "/" + name).c_str(), &st) == 0) return name;
  DIR* d = opendir(dir.c_str());
  if (!d) return name;
  std::string found = name;
  while (dirent* e = readdir(d)) {
    const std::string entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    if (EqualNoCase(entry, name)) {
      found = entry;
      break;
    }
  }
  closedir(d);
  return found;
}

bool UnderRoot(const std::string& resolved, const std::string& root) {
  return resolved == root || (resolved.size() > root.size() && resolved.compare(0, root.size(), root) == 0 &&
                              resolved[root.size()] == '/');
}

bool ValidateHandle(HANDLE h, OpenFile** file) {
  FileTable& t = Files();
  auto it = t.files.find(reinterpret_cast<uintptr_t>(h));
  if (it == t.files.end()) return false;
  *file = &it->second;
  return true;
}

}  // namespace

namespace platform {

bool MapKernelPath(const std::string& kernelPath, std::string* hostPath) {
  const std::string root = internal::CurrentRoot();
  if (root.empty()) return false;
  struct Prefix {
    const char* kernel;
    const char* host;
  };
  static const Prefix kPrefixes[] = {
      {"\\SystemRoot", "Windows"}, {"\\DosDevices\\C:", "C"}, {"\\??\\C:", "C"}};
  std::string rest, base;
  bool matched = false;
  for (const Prefix& p : kPrefixes) {
    const std::string k = p.kernel;
    if (kernelPath.size() >= k.size() && EqualNoCase(kernelPath.substr(0, k.size()), k) &&
        (kernelPath.size() == k.size() || kernelPath[k.size()] == '\\')) {
      rest = kernelPath.substr(k.size());
      base = p.host;
      matched = true;
      break;
    }
  }
  if (!matched) return false;
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= rest.size()) {
    size_t j = rest.find('\\', i);
    if (j == std::string::npos) j = rest.size();
    std::string c = rest.substr(i, j - i);
    i = j + 1;
    if (c.empty()) continue;
    // A component is one name: no walking up, no host separators hidden in it.
    if (c == "." || c == ".." || c.find('/') != std::string::npos || c.find('\0') != std::string::npos)
      return false;
    parts.push_back(std::move(c));
  }
  std::string path = root + "/" + MatchEntry(root, base);
  for (const std::string& c : parts) path += "/" + MatchEntry(path, c);

  // Links inside the root must not lead out of it, nor nowhere (a dangling
  // link would let a create make a file wherever it points): every existing
  // component that is a link has to resolve to a place below the root.
  char resolvedRoot[PATH_MAX];
  if (!realpath(root.c_str(), resolvedRoot)) return false;
  size_t end = root.size();
  while (end < path.size()) {
    end = path.find('/', end + 1);
    if (end == std::string::npos) end = path.size();
    const std::string prefix = path.substr(0, end);
    struct stat st;
    if (lstat(prefix.c_str(), &st) != 0) break;  // nothing exists below here
    if (S_ISLNK(st.st_mode)) {
      char resolved[PATH_MAX];
      if (!realpath(prefix.c_str(), resolved) || !UnderRoot(resolved, resolvedRoot)) return false;
    }
  }
  *hostPath = path;
  return true;
}

}  // namespace platform

NTSTATUS ZwCreateFile(PHANDLE FileHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes,
                      PIO_STATUS_BLOCK IoStatusBlock, PLARGE_INTEGER AllocationSize, ULONG FileAttributes,
                      ULONG ShareAccess, ULONG CreateDisposition, ULONG CreateOptions, PVOID EaBuffer,
                      ULONG EaLength) {
  platform::internal::CountFileOpen();
  if (!FileHandle || !ObjectAttributes || !ObjectAttributes->ObjectName || !IoStatusBlock)
    return STATUS_INVALID_PARAMETER;
  if (CreateDisposition > FILE_OVERWRITE_IF) return STATUS_INVALID_PARAMETER;
  const UNICODE_STRING* name = ObjectAttributes->ObjectName;
  if (name->Length && !name->Buffer) return STATUS_INVALID_PARAMETER;
  auto fail = [&](NTSTATUS s) {
    IoStatusBlock->Status = s;
    IoStatusBlock->Information = 0;
    return s;
  };
  if (CreateOptions & FILE_DIRECTORY_FILE) return fail(STATUS_NOT_SUPPORTED);
  std::string host;
  if (!platform::MapKernelPath(platform::Narrow(name->Buffer, name->Length / sizeof(WCHAR)), &host))
    return fail(STATUS_OBJECT_PATH_NOT_FOUND);

  const size_t slash = host.rfind('/');
  struct stat st;
  if (stat(host.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return fail(STATUS_OBJECT_PATH_NOT_FOUND);
  const bool exists = stat(host.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return fail(STATUS_FILE_IS_A_DIRECTORY);

  const bool wantRead = (DesiredAccess & (GENERIC_READ | FILE_READ_DATA)) != 0;
  const bool wantAppend = (DesiredAccess & FILE_APPEND_DATA) && !(DesiredAccess & (GENERIC_WRITE | FILE_WRITE_DATA));
  const bool wantWrite = (DesiredAccess & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;

  int flags = 0;
  ULONG_PTR information = kFileOpened;
  switch (CreateDisposition) {
    case FILE_OPEN:
      if (!exists) return fail(STATUS_OBJECT_NAME_NOT_FOUND);
      break;
    case FILE_CREATE:
      if (exists) return fail(STATUS_OBJECT_NAME_COLLISION);
      flags = O_CREAT | O_EXCL;
      information = kFileCreated;
      break;
    case FILE_OPEN_IF:
      if (!exists) flags = O_CREAT, information = kFileCreated;
      break;
    case FILE_OVERWRITE:
      if (!exists) return fail(STATUS_OBJECT_NAME_NOT_FOUND);
      flags = O_TRUNC;
      information = kFileOverwritten;
      break;
    case FILE_OVERWRITE_IF:
      flags = exists ? O_TRUNC : O_CREAT;
      information = exists ? kFileOverwritten : kFileCreated;
      break;
    case FILE_SUPERSEDE:
      flags = exists ? O_TRUNC : O_CREAT;
      information = exists ? kFileSuperseded : kFileCreated;
      break;
  }
  // Truncation needs a writable descriptor even when the caller asked only to read.
  const bool hostWrite = wantWrite || (flags & O_TRUNC);
  flags |= (wantRead || !hostWrite) ? (hostWrite ? O_RDWR : O_RDONLY) : O_WRONLY;
  flags |= O_CLOEXEC;
  const int fd = open(host.c_str(), flags, 0666);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return fail(STATUS_OBJECT_NAME_NOT_FOUND);
    if (errno == EEXIST) return fail(STATUS_OBJECT_NAME_COLLISION);
    if (errno == EACCES || errno == EPERM || errno == EROFS) return fail(STATUS_ACCESS_DENIED);
    if (errno == EISDIR) return fail(STATUS_FILE_IS_A_DIRECTORY);
    return fail(STATUS_IO_DEVICE_ERROR);
  }
  OpenFile file;
  file.fd = fd;
  file.canRead = wantRead;
  file.canWrite = wantWrite;
  file.append = wantAppend;
  FileTable& t = Files();
  uintptr_t handle;
  {
    std::lock_guard<std::mutex> guard(t.lock);
    t.next += 4;
    if (t.next >= 0x40000000u) t.next = 0x10004;  // never runs into the thread handles' range
    while (t.files.count(t.next)) t.next += 4;
    handle = t.next;
    t.files[handle] = file;
  }
  *FileHandle = reinterpret_cast<HANDLE>(handle);
  IoStatusBlock->Status = STATUS_SUCCESS;
  IoStatusBlock->Information = information;
  return STATUS_SUCCESS;
}

NTSTATUS ZwReadFile(HANDLE FileHandle, HANDLE Event, PVOID ApcRoutine, PVOID ApcContext,
                    PIO_STATUS_BLOCK IoStatusBlock, PVOID Buffer, ULONG Length, PLARGE_INTEGER ByteOffset,
                    PULONG Key) {
  if (!IoStatusBlock) return STATUS_INVALID_PARAMETER;
  FileTable& t = Files();
  std::lock_guard<std::mutex> guard(t.lock);
  OpenFile* file;
  if (!ValidateHandle(FileHandle, &file)) return STATUS_INVALID_HANDLE;
  auto finish = [&](NTSTATUS s, ULONG_PTR info) {
    IoStatusBlock->Status = s;
    IoStatusBlock->Information = info;
    return s;
  };
  if (!file->canRead) return finish(STATUS_ACCESS_DENIED, 0);
  if (Length && !Buffer) return finish(STATUS_INVALID_PARAMETER, 0);
  int64_t offset = file->position;
  if (ByteOffset && ByteOffset->QuadPart != kUseFilePointer) {
    if (ByteOffset->QuadPart < 0) return finish(STATUS_INVALID_PARAMETER, 0);
    offset = ByteOffset->QuadPart;
  }
  size_t done = 0;
  while (done < Length) {
    const ssize_t n = pread(file->fd, static_cast<uint8_t*>(Buffer) + done, Length - done, offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return finish(STATUS_IO_DEVICE_ERROR, 0);
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  if (done == 0 && Length > 0) return finish(STATUS_END_OF_FILE, 0);
  file->position = offset + static_cast<int64_t>(done);
  return finish(STATUS_SUCCESS, done);
}

NTSTATUS ZwWriteFile(HANDLE FileHandle, HANDLE Event, PVOID ApcRoutine, PVOID ApcContext,
                     PIO_STATUS_BLOCK IoStatusBlock, PVOID Buffer, ULONG Length, PLARGE_INTEGER ByteOffset,
                     PULONG Key) {
  if (!IoStatusBlock) return STATUS_INVALID_PARAMETER;
  FileTable& t = Files();
  std::lock_guard<std::mutex> guard(t.lock);
  OpenFile* file;
  if (!ValidateHandle(FileHandle, &file)) return STATUS_INVALID_HANDLE;
  auto finish = [&](NTSTATUS s, ULONG_PTR info) {
    IoStatusBlock->Status = s;
    IoStatusBlock->Information = info;
    return s;
  };
  if (!file->canWrite) return finish(STATUS_ACCESS_DENIED, 0);
  if (Length && !Buffer) return finish(STATUS_INVALID_PARAMETER, 0);
  int64_t offset = file->position;
  bool toEnd = file->append;
  if (ByteOffset && ByteOffset->QuadPart != kUseFilePointer) {
    if (ByteOffset->QuadPart == kWriteToEndOfFile || ByteOffset->u.LowPart == 0xFFFFFFFFu) {
      toEnd = true;
    } else if (ByteOffset->QuadPart < 0) {
      return finish(STATUS_INVALID_PARAMETER, 0);
    } else if (!file->append) {
      offset = ByteOffset->QuadPart;
    }
  }
  if (toEnd) {
    struct stat st;
    if (fstat(file->fd, &st) != 0) return finish(STATUS_IO_DEVICE_ERROR, 0);
    offset = st.st_size;
  }
  size_t done = 0;
  while (done < Length) {
    const ssize_t n = pwrite(file->fd, static_cast<const uint8_t*>(Buffer) + done, Length - done, offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return finish(STATUS_IO_DEVICE_ERROR, done);
    }
    done += static_cast<size_t>(n);
  }
  file->position = offset + static_cast<int64_t>(done);
  return finish(STATUS_SUCCESS, done);
}

NTSTATUS ZwClose(HANDLE Handle) {
  {
    FileTable& t = Files();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.files.find(reinterpret_cast<uintptr_t>(Handle));
    if (it != t.files.end()) {
      close(it->second.fd);
      t.files.erase(it);
      return STATUS_SUCCESS;
    }
  }
  if (platform::internal::CloseThreadHandle(Handle)) return STATUS_SUCCESS;
  return STATUS_INVALID_HANDLE;
}
