// Starting a program image as a process of the PC.
#include <windows.h>

#include <dlfcn.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/machine/com_control.h"
#include "platform/machine/module_resources.h"
#include "platform/machine/paths.h"
#include "platform/machine/pc_threads.h"
#include "platform/machine/programs.h"

namespace platform {
namespace {

typedef int(WINAPI* ProgramEntry)(HINSTANCE, HINSTANCE, LPSTR, int);

class Program final : public RunningProgram {
 public:
  Program(void* library, ProgramEntry entry, const std::string& commandLine, const std::string& win32Path)
      : library_(library), entry_(entry), commandLine_(commandLine), processId_(NewPcClientId()) {
    // Whoever was the program module before (a test program's own
    // resources, a tool's path) gets them back when this program is gone.
    ModuleResources(nullptr, &previous_, &previousSize_);
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    previousPath_.assign(path, length < MAX_PATH ? length : 0);
    const auto* begin = static_cast<const uint8_t*>(dlsym(library, "qcam_module_resources"));
    const auto* end = static_cast<const uint8_t*>(dlsym(library, "qcam_module_resources_end"));
    if (begin && end > begin) RegisterModuleResources(nullptr, begin, size_t(end - begin));
    SetProgramPath(win32Path);
    thread_ = std::thread([this] {
      SetCurrentPcProcessId(processId_);
      result_ = entry_(GetModuleHandleA(NULL), NULL, &commandLine_[0], SW_SHOWNORMAL);
      finished_ = true;
    });
  }
  ~Program() override {
    Wait();
    if (previous_) RegisterModuleResources(nullptr, previous_, previousSize_);
    else UnregisterModuleResources(nullptr);
    SetProgramPath(previousPath_);
    dlclose(library_);
  }
  int Wait() override {
    if (thread_.joinable()) thread_.join();
    return result_;
  }
  bool Finished() const override { return finished_; }
  uint32_t ProcessId() const override { return processId_; }

 private:
  void* library_;
  ProgramEntry entry_;
  std::string commandLine_;
  uint32_t processId_;
  std::thread thread_;
  int result_ = 0;
  std::atomic<bool> finished_{false};
  const uint8_t* previous_ = nullptr;
  size_t previousSize_ = 0;
  std::string previousPath_;
};

}  // namespace

std::unique_ptr<RunningProgram> StartProgram(const std::string& win32Path, const std::string& commandLine,
                                             std::string* error) {
  std::string host;
  std::error_code ec;
  if (!MapWin32Path(win32Path, &host) || !std::filesystem::is_regular_file(host, ec)) {
    *error = win32Path + " is not a file of the PC";
    return nullptr;
  }
  void* library = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    *error = win32Path + " is no program image: " + dlerror();
    return nullptr;
  }
  auto entry = reinterpret_cast<ProgramEntry>(dlsym(library, "WinMain"));
  if (!entry) {
    dlclose(library);
    *error = win32Path + " has no WinMain";
    return nullptr;
  }
  return std::unique_ptr<RunningProgram>(new Program(library, entry, commandLine, win32Path));
}

}  // namespace platform
