// Programs of the simulated PC: an executable image below the PC root (a
// program built with qcam_add_program, its resources embedded), started as
// a process of its own. The runner loads the image, makes it the program's
// module (GetModuleHandle(NULL), GetModuleFileName(NULL, ...) and the
// resource calls with a null module see it), and runs its WinMain on a new
// PC thread in a new PC process. One program image is the program module at
// a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class RunningProgram {
 public:
  virtual ~RunningProgram() = default;
  // Waits for WinMain to return and gives its result (repeatable).
  virtual int Wait() = 0;
  virtual bool Finished() const = 0;
  // The PC process id the program runs as.
  virtual uint32_t ProcessId() const = 0;
};

// Starts the image at `win32Path` ("C:\\Program Files\\...\\NAME.exe") with
// `commandLine`. Null with a one-line reason when the file is missing, is no
// program image or has no WinMain. Destroying the result waits for the
// program and unloads its image.
std::unique_ptr<RunningProgram> StartProgram(const std::string& win32Path, const std::string& commandLine,
                                             std::string* error);

}  // namespace platform
