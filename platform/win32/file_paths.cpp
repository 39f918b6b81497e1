// Path checks and error mapping shared by the file and folder calls.
#include "platform/win32/file_paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/machine/codepages.h"
#include "platform/machine/paths.h"

namespace file_paths {
namespace {

// Characters Windows never allows in a file name (':' is allowed only after
// the drive letter).
bool ValidName(const std::string& path, bool wildcards) {
  const size_t lastPart = path.find_last_of("\\/") == std::string::npos ? 0 : path.find_last_of("\\/") + 1;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (c < 0x20 || std::strchr("<>\"|", c)) return false;
    if (c == ':' && i != 1) return false;
    if ((c == '*' || c == '?') && !(wildcards && i >= lastPart)) return false;
  }
  return true;
}

std::string ParentOf(const std::string& host) {
  const size_t slash = host.rfind('/');
  return slash == std::string::npos ? std::string() : host.substr(0, slash);
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) { return platform::AnsiToUtf8(GetACP(), ansi); }
std::string Utf8ToAnsi(const std::string& utf8) { return platform::Utf8ToAnsi(GetACP(), utf8); }

bool ToHost(const std::string& utf8Path, std::string* host, bool wildcards) {
  if (!ValidName(utf8Path, wildcards)) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  if (!platform::MapWin32Path(utf8Path, host)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  return true;
}

bool AnsiToHost(LPCSTR ansiPath, std::string* host, bool wildcards) {
  if (!ansiPath) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  return ToHost(AnsiToUtf8(ansiPath), host, wildcards);
}

DWORD ErrorOf(int error, const std::string& host) {
  struct stat st;
  switch (error) {
    case ENOENT: return stat(ParentOf(host).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                                    : ERROR_PATH_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_INVALID_NAME;
    default: return ERROR_GEN_FAILURE;
  }
}

DWORD AttributesOf(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  return FILE_ATTRIBUTE_ARCHIVE | ((st.st_mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
}

void SetErrorOf(int error, const std::string& host) { SetLastError(ErrorOf(error, host)); }

}  // namespace file_paths
