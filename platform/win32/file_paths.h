// Win32 file names of the PC and the host files behind them, for the file
// and folder calls. The host names files in UTF-8, as the kernel side does,
// so an ANSI name is converted from the PC's code page first; this also
// keeps the second byte of a double-byte character that happens to be 0x5C
// from being taken for a backslash.
#pragma once

#include <windows.h>
#include <sys/stat.h>

#include <string>

namespace file_paths {

std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);

// Maps a Win32 path on drive C: (UTF-8) to its host path. A path elsewhere,
// a relative one, or one with characters Windows forbids in names (wildcards
// are allowed in the last part when `wildcards` is true) fails with the last
// error set to ERROR_PATH_NOT_FOUND or ERROR_INVALID_NAME.
bool ToHost(const std::string& utf8Path, std::string* host, bool wildcards = false);
// The same for an ANSI path (NULL fails with ERROR_PATH_NOT_FOUND).
bool AnsiToHost(LPCSTR ansiPath, std::string* host, bool wildcards = false);
// The Win32 error for a failed host call on `host` (from errno): a missing
// file in an existing folder is ERROR_FILE_NOT_FOUND, a missing folder
// ERROR_PATH_NOT_FOUND.
DWORD ErrorOf(int error, const std::string& host);
// The Win32 attributes of a host file or folder.
DWORD AttributesOf(const struct stat& st);
// Sets the last error from errno for `host`.
void SetErrorOf(int error, const std::string& host);

}  // namespace file_paths
