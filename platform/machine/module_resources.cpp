// Resource files by module handle.
#include "platform/machine/module_resources.h"

#include <map>
#include <mutex>
#include <utility>

#include "platform/machine/pc_threads.h"

namespace platform {
namespace {

struct Table {
  std::mutex lock;
  // The null module is each process's own program: keyed by process id.
  std::map<std::pair<void*, uint32_t>, std::pair<const uint8_t*, size_t>> modules;
};

std::pair<void*, uint32_t> KeyOf(void* module) {
  return {module, module ? 0u : CurrentPcProcessId()};
}
Table& T() {
  static Table* t = new Table;
  return *t;
}

}  // namespace

void RegisterModuleResources(void* module, const uint8_t* data, size_t size) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  t.modules[KeyOf(module)] = {data, size};
}

void UnregisterModuleResources(void* module) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  t.modules.erase(KeyOf(module));
}

bool ModuleResources(void* module, const uint8_t** data, size_t* size) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  auto it = t.modules.find(KeyOf(module));
  if (it == t.modules.end()) return false;
  *data = it->second.first;
  *size = it->second.second;
  return true;
}

}  // namespace platform

namespace platform {

void RegisterProcessResources(uint32_t processId, const uint8_t* data, size_t size) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  t.modules[{nullptr, processId}] = {data, size};
}

void UnregisterProcessResources(uint32_t processId) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  t.modules.erase({nullptr, processId});
}

}  // namespace platform
