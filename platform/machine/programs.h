// Programs of the simulated PC: an executable image below the PC root (a
// program built with qcam_add_program, its resources embedded), started as
// a process of its own. Every start loads a private copy of the image, so a
// program started twice runs as two processes with their own statics, as
// two processes of one .exe do on Windows. The process gets its own module
// (GetModuleHandle(NULL), GetModuleFileName(NULL, ...) and the resource
// calls with a null module see its image), its own current directory and
// its own handles, and its WinMain runs on a new PC thread.
//
// The process ends when WinMain returns: its other threads stop at their
// next sleep or wait, its windows, window classes, timers and notification
// icons go, its handles are closed (a named mutex it held is free again),
// and its image is unloaded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class RunningProgram {
 public:
  virtual ~RunningProgram() = default;
  // Waits for the process to end and gives WinMain's result (repeatable).
  virtual int Wait() = 0;
  virtual bool Finished() const = 0;
  // The PC process id the program runs as.
  virtual uint32_t ProcessId() const = 0;
};

// Starts the image at `win32Path` ("C:\\Program Files\\...\\NAME.exe") with
// `commandLine` (what WinMain gets) in `currentDirectory` (empty: the
// caller's own). Null with a one-line reason when the file is missing, is no
// program image or has no WinMain. Destroying the result waits for the
// program to end.
std::unique_ptr<RunningProgram> StartProgram(const std::string& win32Path, const std::string& commandLine,
                                             std::string* error, const std::string& currentDirectory = "");

// Called for every start attempt, by StartProgram or by a program's
// CreateProcessA: the Win32 path, the new process id (0 when it failed) and
// whether it started. Called on the starting thread before the program
// runs. Returns the observer it replaces; an empty function removes it.
typedef std::function<void(const std::string& win32Path, uint32_t processId, bool started)> ProgramStartObserver;
ProgramStartObserver SetProgramStartObserver(ProgramStartObserver observer);

}  // namespace platform
