// Thread and process identities of the simulated PC's user mode. Every host
// thread that calls into the user-mode stand-ins gets a PC thread id on its
// first use (what GetCurrentThreadId reports and what owns a mutex); every
// thread belongs to a PC process (GetCurrentProcessId). Threads started with
// CreateThread join their creator's process; a program started as a process
// of its own gives its first thread a new process id.
#pragma once

#include <cstdint>

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

}  // namespace platform
