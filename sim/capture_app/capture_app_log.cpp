#include "sim/capture_app/capture_app_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "platform/machine/paths.h"

namespace sim {
namespace {

std::mutex g_logLock;

}  // namespace

std::string CaptureLogPath() {
  // The Windows folder lies in the root; asking for it takes the root
  // under the machine's lock, as a program's thread must.
  std::string windows;
  if (!platform::MapWin32Path("\\SystemRoot", &windows)) return std::string();
  return (std::filesystem::path(windows).parent_path() / "capture.log").string();
}

void CaptureLog(const std::string& line) {
  const std::string path = CaptureLogPath();
  if (path.empty()) return;
  std::string text = line;
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  text += '\n';
  std::lock_guard<std::mutex> hold(g_logLock);
  if (FILE* f = std::fopen(path.c_str(), "ab")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
}

bool ReserveNewPictureName(const std::string& win32Folder, const std::string& stem, const std::string& extension,
                           std::string* win32Path, std::string* hostPath, std::string* error) {
  std::string hostFolder;
  if (!platform::MapWin32Path(win32Folder, &hostFolder)) {
    *error = win32Folder + " is no folder of the PC";
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(hostFolder, ec);
  if (!std::filesystem::is_directory(hostFolder, ec)) {
    *error = "cannot create " + win32Folder;
    return false;
  }
  std::string separator = win32Folder.empty() || win32Folder.back() == '\\' ? "" : "\\";
  for (int number = 1; number <= 9999; ++number) {
    char name[64];
    std::snprintf(name, sizeof(name), "%s_%04d.%s", stem.substr(0, 40).c_str(), number, extension.substr(0, 8).c_str());
    const std::string host = (std::filesystem::path(hostFolder) / name).string();
    // "x": fails when the file exists, so a name is never handed out twice.
    FILE* f = std::fopen(host.c_str(), "wbx");
    if (!f) {
      if (errno == EEXIST) continue;
      *error = "cannot create " + win32Folder + separator + name + ": " + std::strerror(errno);
      return false;
    }
    std::fclose(f);
    *win32Path = win32Folder + separator + name;
    *hostPath = host;
    return true;
  }
  *error = "every picture name in " + win32Folder + " is taken";
  return false;
}

}  // namespace sim
