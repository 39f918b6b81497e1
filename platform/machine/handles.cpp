// The handle table of the simulated PC's user mode.
#include "platform/machine/handles.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "platform/machine/pc_threads.h"

namespace platform {
namespace {

struct Table {
  std::mutex lock;
  std::map<uintptr_t, std::shared_ptr<KernelObject>> live;
  std::map<uintptr_t, uint32_t> owners;  // the process that holds each handle
  std::map<std::string, std::weak_ptr<KernelObject>> names;  // lower-case names
  uintptr_t next = 0x1000;
};
Table& T() {
  static Table* table = new Table;  // never destroyed: handles may be closed during exit
  return *table;
}

std::string Lower(const std::string& s) {
  std::string out = s;
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return out;
}

}  // namespace

void* NewHandle(std::shared_ptr<KernelObject> object) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  uintptr_t h = t.next;
  t.next += 4;  // handle values are multiples of four, as on Windows
  t.live[h] = std::move(object);
  t.owners[h] = CurrentPcProcessId();
  return reinterpret_cast<void*>(h);
}

std::shared_ptr<KernelObject> LookupHandle(void* handle) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  auto it = t.live.find(reinterpret_cast<uintptr_t>(handle));
  return it == t.live.end() ? nullptr : it->second;
}

bool CloseHandleEntry(void* handle) {
  std::shared_ptr<KernelObject> last;  // destroyed outside the lock
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  auto it = t.live.find(reinterpret_cast<uintptr_t>(handle));
  if (it == t.live.end()) return false;
  last = std::move(it->second);
  t.live.erase(it);
  t.owners.erase(reinterpret_cast<uintptr_t>(handle));
  return true;
}

void CloseProcessHandles(uint32_t processId) {
  std::vector<std::shared_ptr<KernelObject>> last;  // destroyed outside the lock
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  for (auto it = t.owners.begin(); it != t.owners.end();) {
    if (it->second != processId) {
      ++it;
      continue;
    }
    auto entry = t.live.find(it->first);
    if (entry != t.live.end()) {
      last.push_back(std::move(entry->second));
      t.live.erase(entry);
    }
    it = t.owners.erase(it);
  }
}

size_t LiveHandleCount() {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  return t.live.size();
}

std::shared_ptr<KernelObject> FindNamedObject(const std::string& name) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  auto it = t.names.find(Lower(name));
  if (it == t.names.end()) return nullptr;
  std::shared_ptr<KernelObject> object = it->second.lock();
  if (!object) t.names.erase(it);
  return object;
}

void NameObject(const std::string& name, const std::shared_ptr<KernelObject>& object) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  t.names[Lower(name)] = object;
}

}  // namespace platform
