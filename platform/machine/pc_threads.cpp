// PC thread and process ids: one counter, as Windows draws thread and
// process ids from one table; and the per-process records.
#include "platform/machine/pc_threads.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>

namespace platform {
namespace {

thread_local uint32_t t_threadId = 0;   // 0: not given yet
thread_local uint32_t t_processId = 0;  // 0: the PC's first process

struct ProcessRecord {
  std::string directory = "C:\\";
  int threads = 0;
  bool ending = false;
};

struct ProcessTable {
  std::mutex lock;
  std::condition_variable changed;
  std::map<uint32_t, ProcessRecord> processes;
};
ProcessTable& P() {
  static ProcessTable* p = new ProcessTable;  // never destroyed: threads may end during exit
  return *p;
}

}  // namespace

uint32_t NewPcClientId() {
  static std::atomic<uint32_t> next{0x100};
  return next.fetch_add(4);
}

uint32_t FirstPcProcessId() {
  static const uint32_t id = NewPcClientId();
  return id;
}

uint32_t CurrentPcThreadId() {
  if (!t_threadId) t_threadId = NewPcClientId();
  return t_threadId;
}

void SetCurrentPcThreadId(uint32_t threadId) { t_threadId = threadId; }

uint32_t CurrentPcProcessId() { return t_processId ? t_processId : FirstPcProcessId(); }

void SetCurrentPcProcessId(uint32_t processId) { t_processId = processId; }

std::string PcProcessDirectory(uint32_t processId) {
  ProcessTable& p = P();
  std::lock_guard<std::mutex> hold(p.lock);
  auto it = p.processes.find(processId);
  return it == p.processes.end() ? std::string("C:\\") : it->second.directory;
}

void SetPcProcessDirectory(uint32_t processId, const std::string& win32Path) {
  ProcessTable& p = P();
  std::lock_guard<std::mutex> hold(p.lock);
  p.processes[processId].directory = win32Path;
}

void PcProcessThreadStarted(uint32_t processId) {
  ProcessTable& p = P();
  std::lock_guard<std::mutex> hold(p.lock);
  ++p.processes[processId].threads;
}

void PcProcessThreadEnded(uint32_t processId) {
  ProcessTable& p = P();
  std::lock_guard<std::mutex> hold(p.lock);
  auto it = p.processes.find(processId);
  if (it != p.processes.end() && it->second.threads > 0) --it->second.threads;
  p.changed.notify_all();
}

bool PcProcessEnding(uint32_t processId) {
  ProcessTable& p = P();
  std::lock_guard<std::mutex> hold(p.lock);
  auto it = p.processes.find(processId);
  return it != p.processes.end() && it->second.ending;
}

void EndPcProcessThreads(uint32_t processId) {
  ProcessTable& p = P();
  std::unique_lock<std::mutex> hold(p.lock);
  ProcessRecord& record = p.processes[processId];
  record.ending = true;
  p.changed.wait(hold, [&] { return p.processes[processId].threads == 0; });
}

void ForgetPcProcess(uint32_t processId) {
  ProcessTable& p = P();
  std::lock_guard<std::mutex> hold(p.lock);
  p.processes.erase(processId);
}

}  // namespace platform
