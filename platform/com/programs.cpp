// Starting a program image as a process of the PC, and CreateProcessA.
#include <windows.h>
#include <shellapi.h>

#include <dlfcn.h>
#include <pthread.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "platform/machine/com_control.h"
#include "platform/machine/handles.h"
#include "platform/machine/module_resources.h"
#include "platform/machine/notify_icons.h"
#include "platform/machine/paths.h"
#include "platform/machine/pc_threads.h"
#include "platform/machine/programs.h"
#include "platform/machine/waitable.h"
#include "platform/win32/sync_internal.h"
#include "platform/win32/window_manager.h"

namespace platform {
namespace {

typedef int(WINAPI* ProgramEntry)(HINSTANCE, HINSTANCE, LPSTR, int);

// A process as its handle sees it: signalled when it has ended.
class Process final : public EndingObject {
 public:
  using EndingObject::EndingObject;
  const char* Kind() const override { return "process"; }
};

// The first thread of a process, as CreateProcessA's thread handle sees it.
class FirstThread final : public SignalObject {
 public:
  const char* Kind() const override { return "thread"; }
};

struct Launch {
  std::shared_ptr<Process> process;
  std::shared_ptr<FirstThread> thread;
  uint32_t threadId = 0;
  void* library = nullptr;
  ProgramEntry entry = nullptr;
  std::string commandLine;
};

std::mutex g_observerLock;
ProgramStartObserver g_observer;

void Observe(const std::string& win32Path, uint32_t processId, bool started) {
  ProgramStartObserver observer;
  {
    std::lock_guard<std::mutex> hold(g_observerLock);
    observer = g_observer;
  }
  if (observer) observer(win32Path, processId, started);
}

// Loads a private copy of the image: the host's loader would hand a second
// load of the same file the first one's statics.
void* LoadPrivateCopy(const std::string& host, std::string* error) {
  std::string copy = (std::filesystem::temp_directory_path() / "qcam-image-XXXXXX").string();
  const int fd = mkstemp(&copy[0]);
  if (fd < 0) {
    *error = "no room for a copy of the image";
    return nullptr;
  }
  close(fd);
  std::error_code ec;
  std::filesystem::copy_file(host, copy, std::filesystem::copy_options::overwrite_existing, ec);
  void* library = ec ? nullptr : dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) *error = ec ? ec.message() : std::string(dlerror());
  // The loaded image stays mapped; the file is not needed any more.
  std::filesystem::remove(copy, ec);
  return library;
}

// Everything a process leaves behind goes when its first thread returns.
// `onItsThread`: called by the process's first thread (not by a starter
// whose thread could not be made).
void EndProcess(Launch& launch, int result, bool onItsThread) {
  const uint32_t id = launch.process->id;
  EndPcProcessThreads(id);
  if (onItsThread) AbandonMutexesOfThisThread();
  win32::RemoveProcessWindows(id);
  NotifyIcons();  // drops the icons of the windows that went
  CloseProcessHandles(id);
  UnregisterProcessResources(id);
  SetProcessProgramPath(id, "");
  dlclose(launch.library);
  ForgetPcProcess(id);
  launch.thread->Set();
  launch.process->End(DWORD(result));
}

void* RunProcess(void* argument) {
  std::unique_ptr<Launch> launch(static_cast<Launch*>(argument));
  SetCurrentPcThreadId(launch->threadId);
  SetCurrentPcProcessId(launch->process->id);
  const int result = launch->entry(GetModuleHandleA(NULL), NULL, &launch->commandLine[0], SW_SHOWNORMAL);
  EndProcess(*launch, result, true);
  return nullptr;
}

// Starts the process; null with `error` (and a Win32 error code) on failure.
std::unique_ptr<Launch> Start(const std::string& win32Path, const std::string& commandLine,
                              const std::string& currentDirectory, std::string* error, DWORD* code) {
  std::string host;
  std::error_code ec;
  if (!MapWin32Path(win32Path, &host) || !std::filesystem::is_regular_file(host, ec)) {
    *error = win32Path + " is not a file of the PC";
    *code = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  std::string why;
  void* library = LoadPrivateCopy(host, &why);
  if (!library) {
    *error = win32Path + " is no program image: " + why;
    *code = ERROR_BAD_EXE_FORMAT;
    return nullptr;
  }
  auto entry = reinterpret_cast<ProgramEntry>(dlsym(library, "WinMain"));
  if (!entry) {
    dlclose(library);
    *error = win32Path + " has no WinMain";
    *code = ERROR_BAD_EXE_FORMAT;
    return nullptr;
  }
  auto launch = std::make_unique<Launch>();
  launch->process = std::make_shared<Process>(NewPcClientId());
  launch->thread = std::make_shared<FirstThread>();
  launch->threadId = NewPcClientId();
  launch->library = library;
  launch->entry = entry;
  launch->commandLine = commandLine;
  const uint32_t id = launch->process->id;
  const auto* begin = static_cast<const uint8_t*>(dlsym(library, "qcam_module_resources"));
  const auto* end = static_cast<const uint8_t*>(dlsym(library, "qcam_module_resources_end"));
  if (begin && end > begin) RegisterProcessResources(id, begin, size_t(end - begin));
  SetProcessProgramPath(id, win32Path);
  SetPcProcessDirectory(id, currentDirectory.empty() ? PcProcessDirectory(CurrentPcProcessId()) : currentDirectory);
  return launch;
}

bool Run(std::unique_ptr<Launch> launch) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t host;
  Launch* raw = launch.release();
  const int failed = pthread_create(&host, &attributes, RunProcess, raw);
  pthread_attr_destroy(&attributes);
  if (failed) {
    launch.reset(raw);
    EndProcess(*launch, -1, false);
  }
  return !failed;
}

class Program final : public RunningProgram {
 public:
  explicit Program(std::shared_ptr<Process> process) : process_(std::move(process)) {}
  ~Program() override { Wait(); }
  int Wait() override {
    WaitForObjects({process_}, false, kWaitForever);
    return int(process_->ExitCode());
  }
  bool Finished() const override { return process_->IsSet(); }
  uint32_t ProcessId() const override { return process_->id; }

 private:
  std::shared_ptr<Process> process_;
};

}  // namespace

std::unique_ptr<RunningProgram> StartProgram(const std::string& win32Path, const std::string& commandLine,
                                             std::string* error, const std::string& currentDirectory) {
  DWORD code = 0;
  std::unique_ptr<Launch> launch = Start(win32Path, commandLine, currentDirectory, error, &code);
  if (!launch) {
    Observe(win32Path, 0, false);
    return nullptr;
  }
  std::shared_ptr<Process> process = launch->process;
  Observe(win32Path, process->id, true);
  if (!Run(std::move(launch))) {
    *error = win32Path + " could not be given a thread";
    return nullptr;
  }
  return std::unique_ptr<RunningProgram>(new Program(process));
}

ProgramStartObserver SetProgramStartObserver(ProgramStartObserver observer) {
  std::lock_guard<std::mutex> hold(g_observerLock);
  std::swap(g_observer, observer);
  return observer;
}

}  // namespace platform

namespace {

// The first token of a command line: a quoted name or the text up to the
// first blank; `rest` gets what follows it, without the blanks between.
std::string FirstToken(const std::string& line, std::string* rest) {
  size_t i = 0;
  std::string token;
  if (!line.empty() && line[0] == '"') {
    const size_t close = line.find('"', 1);
    token = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    i = close == std::string::npos ? line.size() : close + 1;
  } else {
    i = line.find_first_of(" \t");
    if (i == std::string::npos) i = line.size();
    token = line.substr(0, i);
  }
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  *rest = line.substr(i);
  return token;
}

bool IsAbsolute(const std::string& path) {
  return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
         (!path.empty() && (path[0] == '\\' || path[0] == '%'));
}

// "C:\\a\\.\\b\\..\\c" as "C:\\a\\c": Windows keeps full paths in this form.
std::string Canonical(const std::string& path) {
  if (path.size() < 3 || path[1] != ':') return path;
  std::vector<std::string> parts;
  size_t start = 3;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out = path.substr(0, 2) + "\\";
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
  return out;
}

std::string Resolve(const std::string& path) {
  if (IsAbsolute(path)) return Canonical(path);
  std::string dir = platform::PcProcessDirectory(platform::CurrentPcProcessId());
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  return Canonical(dir + path);
}

}  // namespace

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                           BOOL, DWORD, LPVOID, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
  if (!lpStartupInfo || !lpProcessInformation || (!lpApplicationName && !lpCommandLine)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // WinMain gets the command line without the program's own name.
  std::string tail;
  const std::string first = lpCommandLine ? FirstToken(lpCommandLine, &tail) : std::string();
  std::string path = lpApplicationName ? std::string(lpApplicationName) : first;
  if (!lpApplicationName && path.find('.', path.find_last_of("\\/") + 1) == std::string::npos) path += ".exe";
  path = Resolve(path);
  std::string directory;
  if (lpCurrentDirectory) {
    directory = Resolve(lpCurrentDirectory);
    std::string host;
    std::error_code ec;
    if (!platform::MapWin32Path(directory, &host) || !std::filesystem::is_directory(host, ec)) {
      SetLastError(ERROR_DIRECTORY);
      return FALSE;
    }
  }
  std::string error;
  DWORD code = 0;
  std::unique_ptr<platform::Launch> launch = platform::Start(path, tail, directory, &error, &code);
  if (!launch) {
    platform::Observe(path, 0, false);
    SetLastError(code);
    return FALSE;
  }
  std::shared_ptr<platform::Process> process = launch->process;
  std::shared_ptr<platform::FirstThread> thread = launch->thread;
  const DWORD threadId = launch->threadId;
  platform::Observe(path, process->id, true);
  if (!platform::Run(std::move(launch))) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  lpProcessInformation->hProcess = platform::NewHandle(process);
  lpProcessInformation->hThread = platform::NewHandle(thread);
  lpProcessInformation->dwProcessId = process->id;
  lpProcessInformation->dwThreadId = threadId;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  std::shared_ptr<platform::Process> process = platform::LookupHandleAs<platform::Process>(hProcess);
  if (!process || !lpExitCode) {
    SetLastError(process ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *lpExitCode = process->ExitCode();
  return TRUE;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  const std::string dir = platform::PcProcessDirectory(platform::CurrentPcProcessId());
  if (!lpBuffer || nBufferLength <= dir.size()) return DWORD(dir.size() + 1);
  std::memcpy(lpBuffer, dir.c_str(), dir.size() + 1);
  return DWORD(dir.size());
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  if (!lpPathName || !*lpPathName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string dir = Resolve(lpPathName);
  std::string host;
  std::error_code ec;
  if (!platform::MapWin32Path(dir, &host) || !std::filesystem::is_directory(host, ec)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  platform::SetPcProcessDirectory(platform::CurrentPcProcessId(), dir);
  return TRUE;
}
