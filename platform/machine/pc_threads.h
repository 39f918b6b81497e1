// Thread and process identities of the simulated PC's user mode. Every host
// thread that calls into the user-mode stand-ins gets a PC thread id on its
// first use (what GetCurrentThreadId reports and what owns a mutex); every
// thread belongs to a PC process (GetCurrentProcessId). Threads started with
// CreateThread join their creator's process; a program started as a process
// of its own gives its first thread a new process id.
//
// Processes also keep what Windows keeps per process and the stand-ins
// need: the current directory, and the count of threads still running in
// it, so that a process that ends (its first thread returned from WinMain)
// can stop its other threads at their next wait or sleep, as ExitProcess
// ends every thread, before its image is unloaded.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The calling thread's PC thread id: non-zero, a multiple of four, never
// reused while the PC runs.
uint32_t CurrentPcThreadId();
// A thread started by the PC gets its id from its creator (who must report
// it before the thread runs) and takes it as its first step.
void SetCurrentPcThreadId(uint32_t threadId);

// The calling thread's PC process id. Threads that were never placed in a
// process belong to the PC's first process.
uint32_t CurrentPcProcessId();
// Places the calling thread in process `processId` (for the first thread of
// a new process, and for threads that join their creator's process).
void SetCurrentPcProcessId(uint32_t processId);
// A new thread or process id: one counter serves both, as on Windows.
uint32_t NewPcClientId();
// The PC's first process (tools and tests run in it).
uint32_t FirstPcProcessId();

// --- process life ------------------------------------------------------------------
// The current directory of a process ("C:\\" until set). A new process takes
// the one it is given at its start.
std::string PcProcessDirectory(uint32_t processId);
void SetPcProcessDirectory(uint32_t processId, const std::string& win32Path);

// A thread made by CreateThread counts itself in its process while it runs.
void PcProcessThreadStarted(uint32_t processId);
void PcProcessThreadEnded(uint32_t processId);
// True once the process has begun to end: its remaining threads stop at
// their next sleep or wait.
bool PcProcessEnding(uint32_t processId);
// Marks the process ending and waits until every counted thread of it has
// stopped.
void EndPcProcessThreads(uint32_t processId);
// Forgets what the table holds for a process that has ended.
void ForgetPcProcess(uint32_t processId);

}  // namespace platform
