// PC thread and process ids: one counter, as Windows draws thread and
// process ids from one table.
#include "platform/machine/pc_threads.h"

#include <atomic>

namespace platform {
namespace {

uint32_t FirstProcessId() {
  static const uint32_t id = NewPcClientId();
  return id;
}

thread_local uint32_t t_threadId = 0;   // 0: not given yet
thread_local uint32_t t_processId = 0;  // 0: the PC's first process

}  // namespace

uint32_t NewPcClientId() {
  static std::atomic<uint32_t> next{0x100};
  return next.fetch_add(4);
}

uint32_t CurrentPcThreadId() {
  if (!t_threadId) t_threadId = NewPcClientId();
  return t_threadId;
}

void SetCurrentPcThreadId(uint32_t threadId) { t_threadId = threadId; }

uint32_t CurrentPcProcessId() { return t_processId ? t_processId : FirstProcessId(); }

void SetCurrentPcProcessId(uint32_t processId) { t_processId = processId; }

}  // namespace platform
