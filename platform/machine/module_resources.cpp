// Resource files by module handle.
#include "platform/machine/module_resources.h"

#include <map>
#include <mutex>
#include <utility>

namespace platform {
namespace {

struct Table {
  std::mutex lock;
  std::map<void*, std::pair<const uint8_t*, size_t>> modules;
};
Table& T() {
  static Table* t = new Table;
  return *t;
}

}  // namespace

void RegisterModuleResources(void* module, const uint8_t* data, size_t size) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  t.modules[module] = {data, size};
}

void UnregisterModuleResources(void* module) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  t.modules.erase(module);
}

bool ModuleResources(void* module, const uint8_t** data, size_t* size) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  auto it = t.modules.find(module);
  if (it == t.modules.end()) return false;
  *data = it->second.first;
  *size = it->second.second;
  return true;
}

}  // namespace platform
