// FindFirstFileA / FindNextFileA: the entries of one folder whose names
// match a pattern with * and ?, without regard to case, in the order NTFS
// lists them ("." and ".." first in every folder but a drive's root).
#include <windows.h>
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/machine/handles.h"
#include "platform/machine/paths.h"
#include "platform/win32/ansi_case.h"
#include "platform/win32/file_paths.h"

namespace {

class Search final : public platform::KernelObject {
 public:
  const char* Kind() const override { return "find"; }
  std::vector<WIN32_FIND_DATAA> found;
  size_t next = 1;
};

// A name or pattern cut into characters (one or two bytes in the ANSI code
// page), folded to lower case, so that '?' stands for one whole character.
std::vector<std::string> Characters(UINT codePage, const std::string& text) {
  const std::string folded = ansi_case::Fold(codePage, text);
  std::vector<std::string> out;
  for (size_t i = 0; i < folded.size(); ++i) {
    const bool pair = ansi_case::IsLeadByte(codePage, static_cast<unsigned char>(folded[i])) && i + 1 < folded.size();
    out.push_back(folded.substr(i, pair ? 2 : 1));
    if (pair) ++i;
  }
  return out;
}

// Wildcard match with backtracking to the last '*'.
bool Matches(const std::vector<std::string>& pattern, const std::vector<std::string>& name) {
  size_t p = 0, n = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == "?" || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == "*") {
      star = p++;
      resume = n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == "*") ++p;
  return p == pattern.size();
}

// The old DOS forms: "*.*" is every name, and a pattern ending in '.' asks
// for names without an extension.
bool NameMatches(UINT codePage, std::string pattern, const std::string& name) {
  if (pattern == "*.*") pattern = "*";
  const bool noExtension = !pattern.empty() && pattern.back() == '.';
  while (!pattern.empty() && pattern.back() == '.') pattern.pop_back();
  if (noExtension && name != "." && name != ".." && name.find('.') != std::string::npos) return false;
  return Matches(Characters(codePage, pattern), Characters(codePage, name));
}

// FILETIME counts 100 ns steps since 1601-01-01.
FILETIME FileTimeOf(const timespec& t) {
  const uint64_t ticks = (uint64_t(t.tv_sec) + 11644473600ull) * 10000000ull + uint64_t(t.tv_nsec) / 100;
  return FILETIME{DWORD(ticks), DWORD(ticks >> 32)};
}

bool Describe(const std::string& host, const std::string& name, WIN32_FIND_DATAA* data) {
  struct stat st;
  if (stat(host.c_str(), &st) != 0 || name.size() >= MAX_PATH) return false;
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = file_paths::AttributesOf(st);
  data->ftCreationTime = FileTimeOf(st.st_ctim);
  data->ftLastAccessTime = FileTimeOf(st.st_atim);
  data->ftLastWriteTime = FileTimeOf(st.st_mtim);
  if (!S_ISDIR(st.st_mode)) {
    data->nFileSizeHigh = DWORD(uint64_t(st.st_size) >> 32);
    data->nFileSizeLow = DWORD(uint64_t(st.st_size));
  }
  std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
  return true;
}

// A host name that Windows could not have (a separator, a drive colon, a
// wildcard) is not shown.
bool WindowsCouldName(const std::string& name) { return name.find_first_of("\\:*?<>|\"") == std::string::npos; }

struct Entry {
  std::string name;  // in the PC's ANSI code page
  std::string host;
};

// The entries of a folder; false when it cannot be listed. The root of
// drive C: also holds the Windows folder, which lives apart on the host.
bool FolderEntries(const std::string& folderHost, bool driveRoot, std::vector<Entry>* entries) {
  DIR* dir = opendir(folderHost.c_str());
  if (!dir) return false;
  bool hasWindows = false;
  while (dirent* found = readdir(dir)) {
    const std::string name = found->d_name;
    if (name == "." || name == ".." || !WindowsCouldName(name)) continue;
    hasWindows = hasWindows || ansi_case::Fold(1252, name) == "windows";
    entries->push_back({file_paths::Utf8ToAnsi(name), folderHost + "/" + name});
  }
  closedir(dir);
  std::string windows;
  if (driveRoot && !hasWindows && platform::MapWin32Path(platform::kWindowsDirectory, &windows))
    entries->push_back({"Windows", windows});
  return true;
}

bool IsDriveRoot(const std::string& folder) { return folder.size() == 3 && folder[1] == ':'; }

}  // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  if (!lpFileName || !lpFindFileData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::string path = file_paths::AnsiToUtf8(lpFileName);
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos || slash + 1 == path.size()) {
    SetLastError(slash == std::string::npos ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string folder = path.substr(0, slash);
  if (folder.size() == 2 && folder[1] == ':') folder += '\\';
  std::string folderHost, checked;
  // The folder may hold no wildcard; the last part may.
  if (!file_paths::ToHost(folder, &folderHost) || !file_paths::ToHost(path, &checked, true))
    return INVALID_HANDLE_VALUE;

  std::vector<Entry> entries;
  const bool driveRoot = IsDriveRoot(folder);
  if (!FolderEntries(folderHost, driveRoot, &entries)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const UINT codePage = GetACP();
  std::sort(entries.begin(), entries.end(), [codePage](const Entry& a, const Entry& b) {
    return ansi_case::Fold(codePage, a.name) < ansi_case::Fold(codePage, b.name);
  });
  if (!driveRoot) entries.insert(entries.begin(), {{".", folderHost}, {"..", folderHost + "/.."}});

  const std::string pattern = file_paths::Utf8ToAnsi(path.substr(slash + 1));
  auto search = std::make_shared<Search>();
  for (const Entry& entry : entries) {
    WIN32_FIND_DATAA data;
    if (NameMatches(codePage, pattern, entry.name) && Describe(entry.host, entry.name, &data))
      search->found.push_back(data);
  }
  if (search->found.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *lpFindFileData = search->found.front();
  return platform::NewHandle(search);
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  std::shared_ptr<Search> search = platform::LookupHandleAs<Search>(hFindFile);
  if (!search || !lpFindFileData) {
    SetLastError(search ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (search->next >= search->found.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *lpFindFileData = search->found[search->next++];
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  if (!platform::LookupHandleAs<Search>(hFindFile) || !platform::CloseHandleEntry(hFindFile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
